#include "xml/reader/XpInet.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

#include "xml/reader/XpChrFlt.h"
#include "xml/reader/XpExcept.h"

namespace velmora {

namespace {

bool globalInit()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
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
    CURL* handle = curl_easy_init();
    curl_slist* headers = nullptr;
    ~CurlHandle()
    {
        curl_slist_free_all(headers);
        if (handle)
            curl_easy_cleanup(handle);
    }
};

bool isConnectFailure(CURLcode code)
{
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
           code == CURLE_OPERATION_TIMEDOUT || code == CURLE_LOGIN_DENIED || code == CURLE_URL_MALFORMAT;
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
    if (!globalInit()) {
        errors.push_back(SCannotOpenInternet);
        return nullptr;
    }
    CurlHandle curl;
    TempFile file;
    if (!curl.handle || file.fd < 0) {
        errors.push_back(SUnableOpenInternet);
        return nullptr;
    }
    CURL* h = curl.handle;
    std::string url = (http ? "http://" : "ftp://") + rest;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, http ? "http" : "ftp");
#endif
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, XpConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, XpFetchTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBlock);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &file);
    if (http) {
        curl_easy_setopt(h, CURLOPT_USERAGENT, XpHttpAgent);
        curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl.headers = curl_slist_append(curl.headers, "Pragma: no-cache");
        curl.headers = curl_slist_append(curl.headers, "Cache-Control: no-cache");
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
        // Credentials go out only for a named user with a password.
        if (userName != "anonymous" && !password.empty()) {
            curl_easy_setopt(h, CURLOPT_USERNAME, userName.c_str());
            curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
        }
    } else {
        curl_easy_setopt(h, CURLOPT_USERAGENT, XpFtpAgent);
        curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 1L);
        curl_easy_setopt(h, CURLOPT_USERNAME, userName.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    }
    CURLcode code = curl_easy_perform(h);
    long status = 0;
    if (http)
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
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
