// A project from Windows published end to end: its screen file in each encoding a design tool
// writes, its images on disk as Windows (NFC) or a Mac (NFD) stores them, in any letter case;
// the manifest's UTF-8 bytes and every image it lists served by name.
#include <cctype>
#include <fstream>
#include <gtest/gtest.h>

#include "../screen/AccentedScreen.h"
#include "Projects.h"
#include "RecordingView.h"
#include "HttpTestSupport.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// The request target the phone sends for a URL: every byte outside the unreserved set escaped.
std::string percentEncoded(const std::string& path)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Reply {
    int status = 0;
    std::string body;
};

Reply get(int port, const std::string& path)
{
    std::string raw = rawRequest(port, "GET " + percentEncoded(path) + " HTTP/1.1\r\n\r\n");
    Reply reply;
    if (raw.size() > 12)
        reply.status = std::stoi(raw.substr(9, 3));
    size_t end = raw.find("\r\n\r\n");
    reply.body = end == std::string::npos ? "" : raw.substr(end + 4);
    return reply;
}

TEST(AccentedProject, EveryEncodingAndEveryFormOnDiskIsServedWhole)
{
    // The names on disk, in the order of kAccentedImages.
    const struct {
        const char* form;
        std::vector<std::string> names;
    } disks[] = {
        {"as the screen file names them", kAccentedImages},
        {"decomposed, as a Mac stores them",
         {"sala\xE2\x80\x93noite.png",
          "ILUMINAC\xCC\xA7"
          "A\xCC\x83O.PNG",
          "Cortina \xE2\x80\x9CSul\xE2\x80\x9D.png"}},
        {"decomposed and in lower case",
         {"SALA\xE2\x80\x93NOITE.PNG",
          "iluminac\xCC\xA7"
          "a\xCC\x83o.png",
          "cortina \xE2\x80\x9Csul\xE2\x80\x9D.PNG"}},
        {"composed and in lower case",
         {"sala\xE2\x80\x93noite.PNG", "ilumina\xC3\xA7\xC3\xA3o.png", "CORTINA \xE2\x80\x9CSUL\xE2\x80\x9D.png"}},
    };
    for (const auto& disk : disks) {
        fs::path project = makeProject("accented");
        for (size_t i = 0; i < disk.names.size(); ++i)
            writeFile(project / "Images" / PathOf(disk.names[i]), "image " + std::to_string(i));
        RecordingView view;
        ReservedPort reserved;
        view.port = std::to_string(reserved.port());
        view.chosen = (project / "screen.xml").string();
        TPublishController publisher(view, nullptr, [] { return std::string("192.168.7.7"); });
        const std::string serverUrl = "http://192.168.7.7:" + view.port + "/";

        for (const auto& variant : AccentedScreenVariants()) {
            const std::string what = std::string(variant.name) + ", images " + disk.form;
            writeFile(project / "screen.xml", variant.bytes);
            publisher.ButtonIniciarClick();
            ASSERT_TRUE(view.errors.empty()) << what << ": " << view.errors.front();
            const std::string manifest = ReadWholeFile((project / "arquivos.xml").string());
            EXPECT_EQ(manifest, AccentedManifest(serverUrl)) << what;
            EXPECT_EQ(get(std::stoi(view.port), "/").body, manifest) << what;
            for (size_t i = 0; i < kAccentedImages.size(); ++i) {
                Reply reply = get(std::stoi(view.port), "/Images/" + kAccentedImages[i]);
                EXPECT_EQ(reply.status, 200) << what << ": " << kAccentedImages[i];
                EXPECT_EQ(reply.body, "image " + std::to_string(i)) << what << ": " << kAccentedImages[i];
            }
        }
        fs::remove_all(project);
    }
}

// Names outside Windows-1252 catch a path that went through the system's ANSI code page anywhere.
TEST(AccentedProject, AProjectNamedOutsideTheAnsiCodePageLoadsAndServesEveryFile)
{
    const std::vector<TempProject::Image> images = {{"ILUMINA\xC3\x87\xC3\x83O.PNG", 5},
                                                    {"\xE6\x9D\xB1\xE4\xBA\xAC.png", 7}};
    TempProject project("Jo\xC3\xA3o Projeto \xC5\x81\xC3\xB3\x64\xC5\xBA", images);
    RecordingView view;
    ReservedPort reserved;
    view.port = std::to_string(reserved.port());
    TPublishController publisher(view, nullptr, [] { return std::string("192.168.7.7"); });
    publisher.PublishFile(project.screen());
    const std::string manifest = ReadWholeFile(project.manifest());
    EXPECT_EQ(get(reserved.port(), "/").body, manifest);
    for (const auto& image : images) {
        EXPECT_NE(manifest.find("Images/" + image.name), std::string::npos) << image.name;
        Reply reply = get(reserved.port(), "/Images/" + image.name);
        EXPECT_EQ(reply.status, 200) << image.name;
        EXPECT_EQ(reply.body, std::string(image.bytes, 'i')) << image.name;
    }
}

}  // namespace
}  // namespace velmora::test
