#pragma once
// Fetches "http://" and "ftp://" sources into temporary files that the parser deletes when it
// is destroyed.

#include <memory>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "xml/reader/Limits.h"

namespace velmora {

class TXpDirContext;

inline constexpr const char* SCannotOpenInternet = "Cannot open WININET, Microsoft IE required";
inline constexpr const char* SUnableOpenInternet = "Unable to open Internet";
inline constexpr const char* SUnableConnect = "Unable to make Internet connection";
inline constexpr const char* SUnableOpenHttpRequest = "Unable to open http request";
inline constexpr const char* SUnableSendHttpRequest = "Unable to send http request";
inline constexpr const char* SInvalidFtpLocation = "Invalid ftp location";
inline constexpr const char* SInvalidFtpDirectory = "Invalid ftp directory";
inline constexpr const char* SUnableOpenFtpFile = "Unable to open ftp file";
inline constexpr const char* SHttpNotAvailable = "Http data not available";
inline constexpr const char* SRemoteSourceTooLarge = "Remote source exceeds the size limit";

inline constexpr const char* XpHttpAgent = "Dornel";
inline constexpr const char* XpFtpAgent = "Halvik Dornel";

// Fetches the location into a temporary file and answers a stream over it, or none after
// adding the reason to errors. Throws EXpParserError "Http data not available" when the
// server answers that the document is not there.
std::unique_ptr<TStream> XpFetch(const TXpDirContext& location, const std::string& userName,
                                 const std::string& password, std::vector<std::string>& errors,
                                 std::vector<std::string>& tempFiles);

}  // namespace velmora
