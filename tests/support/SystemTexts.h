#pragma once
// The system's own words for the failures tests provoke, as the program quotes them in its
// messages. One implementation per platform: SystemTextsPosix.cpp, SystemTextsWindows.cpp.

#include <string>

namespace velmora::test {

// Why a file in a folder that does not exist cannot be opened or created.
std::string MissingFolderReason();

}  // namespace velmora::test
