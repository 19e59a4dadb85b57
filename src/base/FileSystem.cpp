#include "base/FileSystem.h"

#include <system_error>

namespace velmora {

std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string TextOf(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    auto full = std::filesystem::absolute(PathOf(path), error);
    return error ? path : TextOf(full.lexically_normal());
}

std::string CurrentFolder()
{
    std::error_code error;
    std::string folder = TextOf(std::filesystem::current_path(error));
    if (error || folder.empty())
        return {};
    if (!IsPathSeparator(folder.back()))
        folder += TextOf(std::filesystem::path("/").make_preferred());
    return folder;
}

std::string TempFolder()
{
    std::error_code error;
    std::string folder = TextOf(std::filesystem::temp_directory_path(error));
    return error ? std::string() : folder;
}

}  // namespace velmora
