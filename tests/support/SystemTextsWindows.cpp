#include <windows.h>

#include "SystemTexts.h"
#include "base/FileSystem.h"

namespace velmora::test {

std::string MissingFolderReason()
{
    return SystemErrorText(ERROR_PATH_NOT_FOUND);
}

}  // namespace velmora::test
