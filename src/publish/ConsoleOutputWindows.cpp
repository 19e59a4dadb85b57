#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>

#include "base/Utf16.h"
#include "publish/ConsoleOutput.h"

namespace velmora {

namespace {

// How long the writer pauses while a pipe's reader leaves it full, before it tries again and asks
// for the deadline.
constexpr DWORD FullPipePauseMs = 20;
// A pipe that does not wait takes a write whole or not at all when its buffer is short of room: in
// pieces no larger than a small pipe's buffer, a batch of lines keeps moving as the reader reads.
constexpr size_t PipeWritePiece = 512;

HANDLE handleOf(int descriptor)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode);
}

// A console window: the text goes in UTF-16, whatever the console's code page, so that accented
// names and the QR code's blocks show as they are.
class TConsoleWindowOutput : public TConsoleOutput {
public:
    explicit TConsoleWindowOutput(HANDLE handle) : m_handle(handle) {}

    bool WriteAll(const std::string& bytes, const TDeadline&) override
    {
        const std::wstring text = WideOf(bytes);
        m_writer.store(::OpenThread(THREAD_TERMINATE, FALSE, ::GetCurrentThreadId()));
        size_t done = 0;
        bool ok = true;
        while (ok && done < text.size()) {
            DWORD put = 0;
            ok = ::WriteConsoleW(m_handle, text.data() + done, static_cast<DWORD>(text.size() - done), &put, nullptr) &&
                put > 0;
            done += put;
        }
        if (HANDLE writer = m_writer.exchange(nullptr))
            ::CloseHandle(writer);
        return ok;
    }

    // A console whose operator is selecting text holds every write until the selection ends.
    void Cancel() override
    {
        if (HANDLE writer = m_writer.exchange(nullptr)) {
            ::CancelSynchronousIo(writer);
            ::CloseHandle(writer);
        }
    }

private:
    HANDLE m_handle;
    std::atomic<HANDLE> m_writer{nullptr};
};

// A pipe or a file. A pipe is put in non-waiting mode, so that a reader who stops reading holds
// up only the pauses, which the deadline ends.
class THandleOutput : public TConsoleOutput {
public:
    explicit THandleOutput(HANDLE handle) : m_handle(handle)
    {
        if (::GetFileType(handle) == FILE_TYPE_PIPE) {
            DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
            ::SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
        }
    }

    bool WriteAll(const std::string& bytes, const TDeadline& deadline) override
    {
        size_t done = 0;
        std::chrono::steady_clock::time_point until = deadline();
        while (done < bytes.size()) {
            if (m_cancelled.load() || std::chrono::steady_clock::now() >= until)
                return false;
            DWORD put = 0;
            const auto piece = static_cast<DWORD>(std::min(bytes.size() - done, PipeWritePiece));
            if (!::WriteFile(m_handle, bytes.data() + done, piece, &put, nullptr))
                return false;
            done += put;
            if (put == 0) {
                ::Sleep(FullPipePauseMs);
                until = std::min(until, deadline());
            }
        }
        return true;
    }

    void Cancel() override { m_cancelled.store(true); }

private:
    HANDLE m_handle;
    std::atomic<bool> m_cancelled{false};
};

}  // namespace

std::unique_ptr<TConsoleOutput> OpenConsoleOutput(int descriptor)
{
    HANDLE handle = handleOf(descriptor);
    if (isConsole(handle))
        return std::make_unique<TConsoleWindowOutput>(handle);
    return std::make_unique<THandleOutput>(handle);
}

bool ConsoleShowsColours(int descriptor)
{
    HANDLE handle = handleOf(descriptor);
    DWORD mode = 0;
    if (!isConsole(handle) || !::GetConsoleMode(handle, &mode))
        return false;
    return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace velmora
