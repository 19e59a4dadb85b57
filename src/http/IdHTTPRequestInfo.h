#pragma once
// One received HTTP request as the get handler sees it: the request line's parts, the header fields,
// the decoded path and parameters, the cookies, the credentials and the session.

#include <memory>
#include <string>

#include "base/Stream.h"
#include "http/IdHTTPHeaderInfo.h"
#include "http/IdServerCookies.h"
#include "http/IdStrings.h"

namespace velmora {

class TIdHTTPSession;

class TIdHTTPRequestInfo : public TIdRequestHeaderInfo {
public:
    bool HasCredentials = false;
    TIdServerCookies CookieList;
    // Decoded parameters, one "name=value" line each; look them up with ParamList.value(name).
    TIdStringList ParamList;
    // The stream OnCreatePostStream supplied, with the body in it; none otherwise.
    std::unique_ptr<TStream> RequestBody;
    std::string RequestLine;
    std::string PeerAddress;
    std::shared_ptr<TIdHTTPSession> Session;
    // Decoded; begins with "/" for every ordinary request.
    std::string Path;
    // Upper case.
    std::string Method;
    std::string HttpVersion;
    std::string CredentialUser;
    std::string CredentialPassword;
    std::string ParamText;
    std::string QueryText;
    std::string FormText;
};

}  // namespace velmora
