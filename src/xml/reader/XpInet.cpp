#include "xml/reader/XpInet.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

#include "xml/reader/XpChrFlt.h"
#include "xml/reader/XpExcept.h"

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

// The temporary file that receives the fetched bytes; removed unless kept.
struct TempFile {
    std::string path;
    int fd = -1;
    size_t written = 0;
    bool firstBlock = true;
    bool notFound = false;
    bool tooLarge = false;
    bool writeFailed = false;

    TempFile()
    {
        std::error_code ignored;
        std::string dir = std::filesystem::temp_directory_path(ignored).string();
        if (dir.empty())
            dir = "/tmp";
        std::string pattern = dir + "/DornelXXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = ::mkstemp(name.data());
        if (fd >= 0)
            path = name.data();
    }
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!path.empty())
            ::unlink(path.c_str());
    }
    std::string Keep()
    {
        ::close(fd);
        fd = -1;
        std::string kept = path;
        path.clear();
        return kept;
    }
};

size_t writeBlock(char* data, size_t size, size_t count, void* user)
{
    auto* file = static_cast<TempFile*>(user);
    size_t bytes = size * count;
    if (file->firstBlock) {
        file->firstBlock = false;
        if (std::string_view(data, bytes).find("404 Not Found") != std::string_view::npos) {
            file->notFound = true;
            return 0;
        }
    }
    if (file->written + bytes > MaxRemoteSourceBytes) {
        file->tooLarge = true;
        return 0;
    }
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = ::write(file->fd, data + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            file->writeFailed = true;
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    file->written += bytes;
    return bytes;
}

struct CurlHandle {
    explicit CurlHandle(const CurlLibrary& library) : curl(library), handle(library.easy_init()) {}
    ~CurlHandle()
    {
        curl.slist_free_all(headers);
        if (handle)
            curl.easy_cleanup(handle);
    }
    const CurlLibrary& curl;
    CURL* handle;
    curl_slist* headers = nullptr;
};

bool isConnectFailure(CURLcode code)
{
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT || code == CURLE_OPERATION_TIMEDOUT ||
        code == CURLE_LOGIN_DENIED || code == CURLE_URL_MALFORMAT;
}

}  // namespace

std::unique_ptr<TStream> XpFetch(const TXpDirContext& location, const std::string& userName,
                                 const std::string& password, std::vector<std::string>& errors,
                                 std::vector<std::string>& tempFiles)
{
    const bool http = location.Kind == TXpDirKind::Http;
    std::string rest = location.FullLocation();
    if (!http && rest.find('/') == std::string::npos) {
        errors.push_back(SInvalidFtpLocation);
        return nullptr;
    }
    const CurlLibrary* library = curlLibrary();
    if (!library) {
        errors.push_back(SCannotOpenInternet);
        return nullptr;
    }
    CurlHandle curl(*library);
    TempFile file;
    if (!curl.handle || file.fd < 0) {
        errors.push_back(SUnableOpenInternet);
        return nullptr;
    }
    CURL* h = curl.handle;
    std::string url = (http ? "http://" : "ftp://") + rest;
    library->easy_setopt(h, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    library->easy_setopt(h, CURLOPT_PROTOCOLS_STR, http ? "http" : "ftp");
#endif
    library->easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    library->easy_setopt(h, CURLOPT_CONNECTTIMEOUT, XpConnectTimeoutSeconds);
    library->easy_setopt(h, CURLOPT_TIMEOUT, XpFetchTimeoutSeconds);
    library->easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBlock);
    library->easy_setopt(h, CURLOPT_WRITEDATA, &file);
    if (http) {
        library->easy_setopt(h, CURLOPT_USERAGENT, XpHttpAgent);
        library->easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl.headers = library->slist_append(curl.headers, "Pragma: no-cache");
        curl.headers = library->slist_append(curl.headers, "Cache-Control: no-cache");
        library->easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
        // Credentials go out only for a named user with a password.
        if (userName != "anonymous" && !password.empty()) {
            library->easy_setopt(h, CURLOPT_USERNAME, userName.c_str());
            library->easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
        }
    } else {
        library->easy_setopt(h, CURLOPT_USERAGENT, XpFtpAgent);
        library->easy_setopt(h, CURLOPT_TRANSFERTEXT, 1L);
        library->easy_setopt(h, CURLOPT_USERNAME, userName.c_str());
        library->easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    }
    CURLcode code = library->easy_perform(h);
    long status = 0;
    if (http)
        library->easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (file.notFound || (http && status >= 400))
        throw EXpParserError(SHttpNotAvailable, rest, 0, 0);
    if (file.tooLarge) {
        errors.push_back(SRemoteSourceTooLarge);
        return nullptr;
    }
    if (code != CURLE_OK) {
        if (isConnectFailure(code))
            errors.push_back(SUnableConnect);
        else if (http)
            errors.push_back(SUnableSendHttpRequest);
        else if (code == CURLE_REMOTE_ACCESS_DENIED)
            errors.push_back(SInvalidFtpDirectory);
        else
            errors.push_back(SUnableOpenFtpFile);
        return nullptr;
    }
    std::string kept = file.Keep();
    tempFiles.push_back(kept);
    return std::make_unique<TXpFileStream>(kept);
}

}  // namespace velmora
