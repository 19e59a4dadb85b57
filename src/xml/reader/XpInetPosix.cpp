#include <curl/curl.h>
#include <dlfcn.h>
#include <mutex>

#include "xml/reader/Limits.h"
#include "xml/reader/XpInet.h"
#include "xml/reader/XpInetTransfer.h"

namespace velmora {

namespace {

// The HTTP and FTP client library, loaded on first use and kept for the life of the process,
// so that a program that reads only local files never maps it.
struct CurlLibrary {
    CURLcode (*global_init)(long);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_perform)(CURL*);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    void (*easy_cleanup)(CURL*);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
};

template <class F>
bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

// None when the library cannot be loaded.
const CurlLibrary* curlLibrary()
{
    static std::once_flag once;
    static CurlLibrary curl;
    static bool ok = false;
    std::call_once(once, [] {
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        ok = library && bind(library, "curl_global_init", curl.global_init) &&
            bind(library, "curl_easy_init", curl.easy_init) && bind(library, "curl_easy_setopt", curl.easy_setopt) &&
            bind(library, "curl_easy_perform", curl.easy_perform) &&
            bind(library, "curl_easy_getinfo", curl.easy_getinfo) &&
            bind(library, "curl_easy_cleanup", curl.easy_cleanup) &&
            bind(library, "curl_slist_append", curl.slist_append) &&
            bind(library, "curl_slist_free_all", curl.slist_free_all) &&
            curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
    return ok ? &curl : nullptr;
}

size_t writeBlock(char* data, size_t size, size_t count, void* user)
{
    const size_t bytes = size * count;
    return static_cast<IXpTransferSink*>(user)->Append(data, bytes) ? bytes : 0;
}

struct CurlHandle {
    explicit CurlHandle(const CurlLibrary& library) : curl(library), handle(library.easy_init()) {}
    ~CurlHandle()
    {
        curl.slist_free_all(headers);
        if (handle)
            curl.easy_cleanup(handle);
    }
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
    const CurlLibrary& curl;
    CURL* handle;
    curl_slist* headers = nullptr;
};

bool isConnectFailure(CURLcode code)
{
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT || code == CURLE_OPERATION_TIMEDOUT ||
        code == CURLE_LOGIN_DENIED || code == CURLE_URL_MALFORMAT;
}

TXpTransferResult resultOf(CURLcode code, bool http)
{
    if (code == CURLE_OK)
        return TXpTransferResult::Done;
    if (code == CURLE_WRITE_ERROR)
        return TXpTransferResult::Stopped;
    if (isConnectFailure(code))
        return TXpTransferResult::UnableConnect;
    if (http)
        return TXpTransferResult::UnableSendRequest;
    return code == CURLE_REMOTE_ACCESS_DENIED ? TXpTransferResult::InvalidFtpDirectory
                                              : TXpTransferResult::UnableOpenFtpFile;
}

}  // namespace

TXpTransferResult XpTransfer(const TXpTransferRequest& request, IXpTransferSink& sink)
{
    const CurlLibrary* library = curlLibrary();
    if (!library)
        return TXpTransferResult::NoLibrary;
    CurlHandle curl(*library);
    if (!curl.handle)
        return TXpTransferResult::UnableOpenInternet;
    CURL* h = curl.handle;
    const std::string url = (request.Http ? "http://" : "ftp://") + request.Location;
    library->easy_setopt(h, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    library->easy_setopt(h, CURLOPT_PROTOCOLS_STR, request.Http ? "http" : "ftp");
#endif
    library->easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    library->easy_setopt(h, CURLOPT_CONNECTTIMEOUT, XpConnectTimeoutSeconds);
    library->easy_setopt(h, CURLOPT_TIMEOUT, XpFetchTimeoutSeconds);
    library->easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBlock);
    library->easy_setopt(h, CURLOPT_WRITEDATA, static_cast<IXpTransferSink*>(&sink));
    if (request.Http) {
        library->easy_setopt(h, CURLOPT_USERAGENT, XpHttpAgent);
        library->easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl.headers = library->slist_append(curl.headers, "Pragma: no-cache");
        curl.headers = library->slist_append(curl.headers, "Cache-Control: no-cache");
        library->easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
        // Credentials go out only for a named user with a password.
        if (request.UserName != "anonymous" && !request.Password.empty()) {
            library->easy_setopt(h, CURLOPT_USERNAME, request.UserName.c_str());
            library->easy_setopt(h, CURLOPT_PASSWORD, request.Password.c_str());
        }
    } else {
        library->easy_setopt(h, CURLOPT_USERAGENT, XpFtpAgent);
        library->easy_setopt(h, CURLOPT_TRANSFERTEXT, 1L);
        library->easy_setopt(h, CURLOPT_USERNAME, request.UserName.c_str());
        library->easy_setopt(h, CURLOPT_PASSWORD, request.Password.c_str());
    }
    const CURLcode code = library->easy_perform(h);
    long status = 0;
    if (request.Http)
        library->easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (request.Http && status >= 400)
        return TXpTransferResult::NotAvailable;
    return resultOf(code, request.Http);
}

}  // namespace velmora
