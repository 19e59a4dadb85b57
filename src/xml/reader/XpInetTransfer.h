#pragma once
// The transfer of a remote source through the platform's Internet client: libcurl, loaded when
// first needed, on POSIX systems (XpInetPosix.cpp); the Windows Internet library, WININET.DLL, on
// Windows (XpInetWindows.cpp). XpFetch around it keeps the bytes and says what went wrong.

#include <cstddef>
#include <string>

namespace velmora {

struct TXpTransferRequest {
    bool Http = true;
    // Host and path after "http://" or "ftp://".
    std::string Location;
    std::string UserName, Password;
};

enum class TXpTransferResult {
    Done,
    NoLibrary,
    UnableOpenInternet,
    UnableConnect,
    UnableOpenRequest,
    UnableSendRequest,
    InvalidFtpDirectory,
    UnableOpenFtpFile,
    // The server answered that the document is not there (an HTTP status of 400 or more).
    NotAvailable,
    // The sink ended the transfer.
    Stopped,
};

// Takes the bytes as they arrive; answering false ends the transfer.
class IXpTransferSink {
public:
    virtual ~IXpTransferSink() = default;
    virtual bool Append(const char* data, size_t size) = 0;
    // A problem the transfer went on past (an FTP folder it could not change to).
    virtual void Note(TXpTransferResult problem) = 0;
};

TXpTransferResult XpTransfer(const TXpTransferRequest& request, IXpTransferSink& sink);

}  // namespace velmora
