#include <cerrno>

#include "SystemTexts.h"
#include "base/FileSystem.h"

namespace velmora::test {

std::string MissingFolderReason()
{
    return SystemErrorText(ENOENT);
}

}  // namespace velmora::test
