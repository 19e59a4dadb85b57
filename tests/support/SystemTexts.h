#pragma once
// The system's own words for the failures tests provoke, as the program quotes them in its
// messages, and what the system under the tests can tell. One implementation per platform: SystemTextsPosix.cpp,
// SystemTextsWindows.cpp.

#include <string>

namespace velmora::test {

// Why a file in a folder that does not exist cannot be opened or created.
std::string MissingFolderReason();
// Why a file cannot be created where a folder of its name stands.
std::string FolderInTheWayReason();

// The file name of this process's program, as the system names a port's owner.
std::string OwnProgramName();

// Whether the tests run under Wine, which names no process as the owner of a port.
bool RunningUnderWine();

}  // namespace velmora::test
