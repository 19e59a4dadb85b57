#include <cerrno>
#include <fstream>

#include "SystemTexts.h"
#include "base/FileSystem.h"

namespace velmora::test {

std::string MissingFolderReason()
{
    return SystemErrorText(ENOENT);
}

std::string FolderInTheWayReason()
{
    return SystemErrorText(EISDIR);
}

std::string OwnProgramName()
{
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool RunningUnderWine()
{
    return false;
}

}  // namespace velmora::test
