#pragma once
// Temporary project folders for the tests: one copied from the fixture screen files, or one whose
// screen.xml names a list of images written beside it.

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/FileSystem.h"

namespace velmora::test {

namespace fs = std::filesystem;

// A project folder holding the fixture screen files (tests/support/project) under their own names.
inline fs::path makeProject(const std::string& name)
{
    auto folder = fs::temp_directory_path() / PathOf("velmora-app-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder / "Images");
    for (const auto& entry : fs::directory_iterator(VELMORA_TEST_PROJECT))
        fs::copy_file(entry.path(), folder / entry.path().filename());
    return folder;
}

// A project folder whose screen.xml names one window with the images as its buttons' images.
class TempProject {
public:
    struct Image {
        std::string name;
        size_t bytes;
    };

    TempProject(const std::string& name, const std::vector<Image>& images)
        : m_folder(fs::temp_directory_path() / PathOf("velmora-operator-" + std::to_string(::getpid()) + "-" + name))
    {
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "Images");
        WriteScreen(images);
        for (const Image& image : images)
            WriteImage(image);
    }
    ~TempProject() { fs::remove_all(m_folder); }
    TempProject(const TempProject&) = delete;
    TempProject& operator=(const TempProject&) = delete;

    const fs::path& folder() const { return m_folder; }
    std::string screen() const { return TextOf(m_folder / "screen.xml"); }
    std::string manifest() const { return TextOf(m_folder / "arquivos.xml"); }

    void WriteScreen(const std::vector<Image>& images) const
    {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCREEN><MENUS><MENU menu_nome=\"Casa\">"
                          "<JANELA j_nome=\"Sala\" j_numero=\"1\">";
        for (const Image& image : images)
            xml += "<BOTAO b_caption=\"x\" b_imagem=\"" + image.name + "\"/>";
        xml += "</JANELA></MENU></MENUS></SCREEN>\n";
        Write("screen.xml", xml);
    }
    void WriteImage(const Image& image) const { Write("Images/" + image.name, std::string(image.bytes, 'i')); }
    void Write(const std::string& relative, const std::string& bytes) const
    {
        std::ofstream(m_folder / PathOf(relative), std::ios::binary | std::ios::trunc) << bytes;
    }
    uint64_t size(const std::string& relative) const { return fs::file_size(m_folder / PathOf(relative)); }

private:
    fs::path m_folder;
};

}  // namespace velmora::test
