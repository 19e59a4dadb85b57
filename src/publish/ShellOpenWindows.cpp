#include <windows.h>

#include <shellapi.h>

#include "base/Utf16.h"
#include "publish/FormSupport.h"

namespace velmora {

bool ShellOpen(const std::string& target, const std::string& opener)
{
    const std::wstring file = WideOf(opener.empty() ? target : opener);
    // The target as the opener's one argument, quoted as the C runtime reads a command line.
    const std::wstring parameters = opener.empty() ? std::wstring() : L"\"" + WideOf(target) + L"\"";
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_HIDE));
    // The shell answers a value above 32 when the launch was made.
    return result > 32;
}

}  // namespace velmora
