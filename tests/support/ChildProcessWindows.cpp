#include <windows.h>

#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "base/Utf16.h"

namespace velmora::test {

namespace {

// One argument as the C runtime of the child splits its command line.
std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

// A pipe whose write end the child inherits.
void makePipe(HANDLE& read, HANDLE& write, DWORD size)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    EXPECT_TRUE(::CreatePipe(&read, &write, &inherit, size));
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
}

// A control event reaches every process of a console, and only from a process attached to it: this
// one joins the child's console for the moment of sending. It ignores control events from then on,
// since one may reach it after it has left the console again. Answers whether the event was sent:
// Wine sends none when the tests run without a terminal.
bool sendToConsole(DWORD pid, DWORD event)
{
    static std::mutex consoleMutex;
    std::lock_guard lock(consoleMutex);
    ::FreeConsole();
    if (!::AttachConsole(pid))
        return false;
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    const bool sent = ::GenerateConsoleCtrlEvent(event, 0) != 0;
    ::FreeConsole();
    return sent;
}

std::string readToEnd(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

}  // namespace

class ChildProcess::Impl {
public:
    PROCESS_INFORMATION process{};
    HANDLE out = nullptr, err = nullptr;
    bool ended = false;
    std::thread drainer;
};

ChildProcess::ChildProcess(
    const char* program,
    std::vector<std::string> args,  // NOLINT(performance-unnecessary-value-param): the POSIX half takes it over
    int outputPipeSize, const std::string& inputFile)
    : m_impl(std::make_unique<Impl>())
{
    HANDLE outWrite = nullptr, errWrite = nullptr;
    makePipe(m_impl->out, outWrite, static_cast<DWORD>(outputPipeSize));
    makePipe(m_impl->err, errWrite, 0);
    std::wstring commandLine = quoted(WideOf(program));
    for (const std::string& arg : args)
        commandLine += L" " + quoted(WideOf(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE input = inputFile.empty() ? nullptr
                                     : ::CreateFileW(WideOf(inputFile).c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.hStdInput = input ? input : ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    // A console of its own, so that a Ctrl+C or Ctrl+Break reaches the child and not this test.
    EXPECT_TRUE(::CreateProcessW(WideOf(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &m_impl->process))
        << program;
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    if (input)
        ::CloseHandle(input);
}

ChildProcess::~ChildProcess()
{
    if (m_impl->process.hProcess) {
        if (!m_impl->ended) {
            ::TerminateProcess(m_impl->process.hProcess, 137);
            ::WaitForSingleObject(m_impl->process.hProcess, INFINITE);
        }
        ::CloseHandle(m_impl->process.hProcess);
        ::CloseHandle(m_impl->process.hThread);
    }
    if (m_impl->drainer.joinable())
        m_impl->drainer.join();
    ::CloseHandle(m_impl->out);
    ::CloseHandle(m_impl->err);
}

void ChildProcess::drainOutput()
{
    m_impl->drainer = std::thread([pipe = m_impl->out] { readToEnd(pipe); });
}

std::optional<std::string> ChildProcess::nextLine(std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return line;
        }
        DWORD available = 0;
        if (!::PeekNamedPipe(m_impl->out, nullptr, 0, nullptr, &available, nullptr))
            return std::nullopt;
        if (available == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!::ReadFile(m_impl->out, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0)
            return std::nullopt;
        m_pending.append(buffer, got);
    }
}

void ChildProcess::stop()
{
    if (!sendToConsole(m_impl->process.dwProcessId, CTRL_BREAK_EVENT))
        endSession();
}

bool ChildProcess::interrupt()
{
    return sendToConsole(m_impl->process.dwProcessId, CTRL_C_EVENT);
}

// Windows has no hang-up to send.
void ChildProcess::hangUp()
{
}

bool ChildProcess::CanHangUp()
{
    return false;
}

// As Windows tells a program at log-off: the query and then the end of the session, to each
// top-level window of the process.
void ChildProcess::endSession()
{
    struct Target {
        DWORD pid;
        std::vector<HWND> windows;
    } target{m_impl->process.dwProcessId, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* wanted = reinterpret_cast<Target*>(data);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid == wanted->pid)
                wanted->windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&target));
    EXPECT_FALSE(target.windows.empty()) << "a window that hears the session end";
    for (HWND window : target.windows) {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &answer);
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &answer);
    }
}

bool ChildProcess::CanEndSession()
{
    return true;
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    if (::WaitForSingleObject(m_impl->process.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return -1;
    m_impl->ended = true;
    DWORD status = 0;
    ::GetExitCodeProcess(m_impl->process.hProcess, &status);
    return static_cast<int>(status);
}

std::string ChildProcess::errors()
{
    return readToEnd(m_impl->err);
}

std::string ChildProcess::output()
{
    return m_pending + readToEnd(m_impl->out);
}

int ChildProcess::pid() const
{
    return static_cast<int>(m_impl->process.dwProcessId);
}

}  // namespace velmora::test
