#include "xml/reader/XpInet.h"

#include <random>
#include <string_view>
#include <utility>

#include "base/FileSystem.h"
#include "xml/reader/XpChrFlt.h"
#include "xml/reader/XpExcept.h"
#include "xml/reader/XpInetTransfer.h"

namespace velmora {

namespace {

// The temporary file that receives the fetched bytes, named from the prefix "Dornel" in the
// system's temporary folder; removed unless kept.
class TFetchFile : public IXpTransferSink {
public:
    explicit TFetchFile(std::vector<std::string>& errors) : m_errors(errors)
    {
        std::string folder = TempFolder();
        if (!folder.empty() && !IsPathSeparator(folder.back()))
            folder += '/';
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_file == InvalidFileHandle; ++attempt) {
            m_path = folder + "Dornel" + std::to_string(random() % 1000000u) + ".tmp";
            int error = 0;
            m_file = OpenFileHandle(m_path, TFileMode::CreateNew, error);
        }
        if (m_file == InvalidFileHandle)
            m_path.clear();
    }
    ~TFetchFile() override
    {
        if (m_file != InvalidFileHandle)
            CloseFileHandle(m_file);
        if (!m_path.empty())
            DeletePath(m_path);
    }
    TFetchFile(const TFetchFile&) = delete;
    TFetchFile& operator=(const TFetchFile&) = delete;

    bool Open() const { return m_file != InvalidFileHandle; }
    bool NotFound() const { return m_notFound; }
    bool TooLarge() const { return m_tooLarge; }

    // Closes the file and hands it over: the parser deletes it when it is destroyed.
    std::string Keep()
    {
        CloseFileHandle(m_file);
        m_file = InvalidFileHandle;
        return std::exchange(m_path, std::string());
    }

    bool Append(const char* data, size_t size) override
    {
        if (m_firstBlock) {
            m_firstBlock = false;
            if (std::string_view(data, size).find("404 Not Found") != std::string_view::npos) {
                m_notFound = true;
                return false;
            }
        }
        if (m_written + size > MaxRemoteSourceBytes) {
            m_tooLarge = true;
            return false;
        }
        for (size_t done = 0; done < size;) {
            const int64_t put = WriteToFile(m_file, data + done, size - done);
            if (put <= 0)
                return false;
            done += static_cast<size_t>(put);
        }
        m_written += size;
        return true;
    }

    void Note(TXpTransferResult problem) override
    {
        if (problem == TXpTransferResult::InvalidFtpDirectory)
            m_errors.push_back(SInvalidFtpDirectory);
    }

private:
    std::vector<std::string>& m_errors;
    std::string m_path;
    TFileHandle m_file = InvalidFileHandle;
    size_t m_written = 0;
    bool m_firstBlock = true;
    bool m_notFound = false;
    bool m_tooLarge = false;
};

const char* messageOf(TXpTransferResult result, bool http)
{
    switch (result) {
    case TXpTransferResult::NoLibrary:
        return SCannotOpenInternet;
    case TXpTransferResult::UnableOpenInternet:
        return SUnableOpenInternet;
    case TXpTransferResult::UnableConnect:
        return SUnableConnect;
    case TXpTransferResult::UnableOpenRequest:
        return SUnableOpenHttpRequest;
    case TXpTransferResult::InvalidFtpDirectory:
        return SInvalidFtpDirectory;
    case TXpTransferResult::UnableOpenFtpFile:
        return SUnableOpenFtpFile;
    default:
        return http ? SUnableSendHttpRequest : SUnableOpenFtpFile;
    }
}

}  // namespace

std::unique_ptr<TStream> XpFetch(const TXpDirContext& location, const std::string& userName,
                                 const std::string& password, std::vector<std::string>& errors,
                                 std::vector<std::string>& tempFiles)
{
    const bool http = location.Kind == TXpDirKind::Http;
    const std::string rest = location.FullLocation();
    if (!http && rest.find('/') == std::string::npos) {
        errors.push_back(SInvalidFtpLocation);
        return nullptr;
    }
    TFetchFile file(errors);
    if (!file.Open()) {
        errors.push_back(SUnableOpenInternet);
        return nullptr;
    }
    const TXpTransferResult result = XpTransfer({http, rest, userName, password}, file);
    if (file.NotFound() || result == TXpTransferResult::NotAvailable)
        throw EXpParserError(SHttpNotAvailable, rest, 0, 0);
    if (file.TooLarge()) {
        errors.push_back(SRemoteSourceTooLarge);
        return nullptr;
    }
    if (result != TXpTransferResult::Done) {
        errors.push_back(messageOf(result, http));
        return nullptr;
    }
    std::string kept = file.Keep();
    tempFiles.push_back(kept);
    return std::make_unique<TXpFileStream>(kept);
}

}  // namespace velmora
