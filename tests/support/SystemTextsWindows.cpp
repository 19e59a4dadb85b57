#include <windows.h>

#include "SystemTexts.h"
#include "base/FileSystem.h"
#include "base/Utf16.h"

namespace velmora::test {

std::string MissingFolderReason()
{
    return SystemErrorText(ERROR_PATH_NOT_FOUND);
}

std::string FolderInTheWayReason()
{
    return SystemErrorText(ERROR_ACCESS_DENIED);
}

std::string OwnProgramName()
{
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    const std::wstring_view full(path, length);
    const size_t slash = full.find_last_of(L"\\/");
    return Utf8OfWide(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
}

bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace velmora::test
