#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "base/Utf16.h"
#include "xml/reader/Limits.h"
#include "xml/reader/XpInet.h"
#include "xml/reader/XpInetTransfer.h"

namespace velmora {

namespace {

// The Windows Internet library, loaded from WININET.DLL on first use and kept for the life of the
// process, so that a program that reads only local files never maps it.
struct WinInetLibrary {
    decltype(&::InternetOpenW) open;
    decltype(&::InternetConnectW) connect;
    decltype(&::InternetSetOptionW) setOption;
    decltype(&::HttpOpenRequestW) openRequest;
    decltype(&::HttpSendRequestW) sendRequest;
    decltype(&::HttpQueryInfoW) queryInfo;
    decltype(&::InternetQueryDataAvailable) dataAvailable;
    decltype(&::InternetReadFile) read;
    decltype(&::InternetCloseHandle) close;
    decltype(&::FtpSetCurrentDirectoryW) setFtpDirectory;
    decltype(&::FtpOpenFileW) openFtpFile;
};

template <class F>
bool bind(HMODULE library, const char* name, F& function)
{
    function = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
    return function != nullptr;
}

// None when the library cannot be loaded.
const WinInetLibrary* winInet()
{
    static std::once_flag once;
    static WinInetLibrary inet;
    static bool ok = false;
    std::call_once(once, [] {
        HMODULE library = ::LoadLibraryW(L"WININET.DLL");
        ok = library && bind(library, "InternetOpenW", inet.open) && bind(library, "InternetConnectW", inet.connect) &&
            bind(library, "InternetSetOptionW", inet.setOption) &&
            bind(library, "HttpOpenRequestW", inet.openRequest) &&
            bind(library, "HttpSendRequestW", inet.sendRequest) && bind(library, "HttpQueryInfoW", inet.queryInfo) &&
            bind(library, "InternetQueryDataAvailable", inet.dataAvailable) &&
            bind(library, "InternetReadFile", inet.read) && bind(library, "InternetCloseHandle", inet.close) &&
            bind(library, "FtpSetCurrentDirectoryW", inet.setFtpDirectory) &&
            bind(library, "FtpOpenFileW", inet.openFtpFile);
    });
    return ok ? &inet : nullptr;
}

// An Internet handle, closed when it goes.
class THandle {
public:
    THandle(const WinInetLibrary& inet, HINTERNET handle) : m_inet(inet), m_handle(handle) {}
    ~THandle()
    {
        if (m_handle)
            m_inet.close(m_handle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HINTERNET get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    const WinInetLibrary& m_inet;
    HINTERNET m_handle;
};

// The host of a location and its port: the one the location names after ":", else the service's.
struct THostPort {
    std::wstring Host;
    INTERNET_PORT Port;
};

THostPort hostPortOf(const std::string& authority, INTERNET_PORT standard)
{
    const size_t colon = authority.rfind(':');
    if (colon == std::string::npos)
        return {WideOf(authority), standard};
    const std::string digits = authority.substr(colon + 1);
    const unsigned long port = digits.empty() ? standard : std::strtoul(digits.c_str(), nullptr, 10);
    return {WideOf(authority.substr(0, colon)), static_cast<INTERNET_PORT>(port > 0 && port < 65536 ? port : standard)};
}

void setTimeouts(const WinInetLibrary& inet, HINTERNET session)
{
    DWORD connect = XpConnectTimeoutSeconds * 1000, whole = XpFetchTimeoutSeconds * 1000;
    inet.setOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    inet.setOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &whole, sizeof whole);
    inet.setOption(session, INTERNET_OPTION_SEND_TIMEOUT, &whole, sizeof whole);
}

// Copies what the request or file delivers into the sink, block by block.
TXpTransferResult copyInto(const WinInetLibrary& inet, HINTERNET source, IXpTransferSink& sink,
                           TXpTransferResult failure)
{
    char block[16384];
    for (;;) {
        DWORD available = 0;
        if (!inet.dataAvailable(source, &available, 0, 0))
            return failure;
        if (available == 0)
            return TXpTransferResult::Done;
        DWORD got = 0;
        if (!inet.read(source, block, std::min<DWORD>(available, sizeof block), &got))
            return failure;
        if (got == 0)
            return TXpTransferResult::Done;
        if (!sink.Append(block, got))
            return TXpTransferResult::Stopped;
    }
}

TXpTransferResult fetchHttp(const WinInetLibrary& inet, HINTERNET session, const TXpTransferRequest& request,
                            IXpTransferSink& sink)
{
    const size_t slash = request.Location.find('/');
    const THostPort host = hostPortOf(request.Location.substr(0, slash), INTERNET_DEFAULT_HTTP_PORT);
    const std::wstring object = WideOf(slash == std::string::npos ? "/" : request.Location.substr(slash));
    // Credentials go out only for a named user with a password.
    const bool credentials = request.UserName != "anonymous" && !request.Password.empty();
    const std::wstring user = WideOf(request.UserName), password = WideOf(request.Password);
    THandle connection(inet,
                       inet.connect(session, host.Host.c_str(), host.Port, credentials ? user.c_str() : nullptr,
                                    credentials ? password.c_str() : nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return TXpTransferResult::UnableConnect;
    THandle get(inet,
                inet.openRequest(connection.get(), L"GET", object.c_str(), L"HTTP/1.0", nullptr, nullptr,
                                 INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!get)
        return TXpTransferResult::UnableOpenRequest;
    if (!inet.sendRequest(get.get(), nullptr, 0, nullptr, 0))
        return ::GetLastError() == ERROR_INTERNET_CANNOT_CONNECT || ::GetLastError() == ERROR_INTERNET_NAME_NOT_RESOLVED
            ? TXpTransferResult::UnableConnect
            : TXpTransferResult::UnableSendRequest;
    DWORD status = 0, length = sizeof status;
    if (inet.queryInfo(get.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) &&
        status >= 400)
        return TXpTransferResult::NotAvailable;
    return copyInto(inet, get.get(), sink, TXpTransferResult::UnableSendRequest);
}

TXpTransferResult fetchFtp(const WinInetLibrary& inet, HINTERNET session, const TXpTransferRequest& request,
                           IXpTransferSink& sink)
{
    const size_t slash = request.Location.find('/');
    const std::string path = request.Location.substr(slash);
    const size_t last = path.rfind('/');
    const THostPort host = hostPortOf(request.Location.substr(0, slash), INTERNET_DEFAULT_FTP_PORT);
    const std::wstring folder = WideOf(path.substr(0, last));
    const std::wstring name = WideOf(path.substr(last + 1));
    const std::wstring user = WideOf(request.UserName), password = WideOf(request.Password);
    THandle connection(inet,
                       inet.connect(session, host.Host.c_str(), host.Port, user.c_str(), password.c_str(),
                                    INTERNET_SERVICE_FTP, 0, 0));
    if (!connection)
        return TXpTransferResult::UnableConnect;
    if (!folder.empty() && !inet.setFtpDirectory(connection.get(), folder.c_str()))
        sink.Note(TXpTransferResult::InvalidFtpDirectory);
    THandle file(inet,
                 inet.openFtpFile(connection.get(), name.c_str(), GENERIC_READ,
                                  FTP_TRANSFER_TYPE_ASCII | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!file)
        return TXpTransferResult::UnableOpenFtpFile;
    return copyInto(inet, file.get(), sink, TXpTransferResult::UnableOpenFtpFile);
}

}  // namespace

TXpTransferResult XpTransfer(const TXpTransferRequest& request, IXpTransferSink& sink)
{
    const WinInetLibrary* inet = winInet();
    if (!inet)
        return TXpTransferResult::NoLibrary;
    const std::wstring agent = WideOf(request.Http ? XpHttpAgent : XpFtpAgent);
    THandle session(*inet, inet->open(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return TXpTransferResult::UnableOpenInternet;
    setTimeouts(*inet, session.get());
    return request.Http ? fetchHttp(*inet, session.get(), request, sink)
                        : fetchFtp(*inet, session.get(), request, sink);
}

}  // namespace velmora
