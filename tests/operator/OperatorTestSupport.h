#pragma once
// What the operator's tests share: a temporary project written from a list of images, a view that
// records what both controllers show, interfaces as the test sets them, and a loopback client that
// speaks from a chosen 127.0.0.0/8 address.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "AppTestSupport.h"
#include "Loopback.h"
#include "app/PublishController.h"
#include "operator/OperatorView.h"

namespace velmora::test {

namespace fs = std::filesystem;

// A project folder whose screen.xml names one window with the images as its buttons' images.
class TempProject {
public:
    struct Image {
        std::string name;
        size_t bytes;
    };

    TempProject(const std::string& name, const std::vector<Image>& images)
        : m_folder(fs::temp_directory_path() / ("velmora-operator-" + std::to_string(::getpid()) + "-" + name))
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
    std::string screen() const { return (m_folder / "screen.xml").string(); }
    std::string manifest() const { return (m_folder / "arquivos.xml").string(); }

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
        std::ofstream(m_folder / relative, std::ios::binary | std::ios::trunc) << bytes;
    }
    uint64_t size(const std::string& relative) const { return fs::file_size(m_folder / relative); }

private:
    fs::path m_folder;
};

// The window stand-in for both controllers: what they showed, kept for the test to read.
class RecordingPanel : public IPublishView, public IOperatorView {
public:
    std::optional<std::string> chosen;
    std::string port = "8099";
    std::vector<std::string> shownAddresses;
    std::vector<std::string> errors;
    bool active = false;

    std::vector<TOperatorAddress> addresses;
    int chosenIndex = -2;
    std::string qrUrl;
    TQrMatrix qr;
    std::vector<std::string> checkLines;
    std::vector<TPhoneSnapshot> phones;
    std::optional<bool> reachable;
    std::string reachability;
    std::vector<std::string> hint;
    int hintCalls = 0;

    std::optional<std::string> ChooseScreenFile() override { return chosen; }
    std::string PortText() override { return port; }
    void ShowAddress(const std::string& address) override { shownAddresses.push_back(address); }
    void ShowServerActive() override { active = true; }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    void ShowAddresses(const std::vector<TOperatorAddress>& list, int index) override
    {
        addresses = list;
        chosenIndex = index;
    }
    void ShowQr(const std::string& url, const TQrMatrix& matrix) override
    {
        qrUrl = url;
        qr = matrix;
    }
    void ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>& lines) override { checkLines = lines; }
    void ShowPhones(const std::vector<TPhoneSnapshot>& list) override { phones = list; }
    void ShowReachability(bool ok, const std::string& text) override
    {
        reachable = ok;
        reachability = text;
    }
    void ShowHint(const std::vector<std::string>& lines) override
    {
        hint = lines;
        ++hintCalls;
    }
};

inline TInterfaceAddress up(const std::string& name, const std::string& address, bool defaultRoute = false,
                            bool loopback = false)
{
    return {name, address, true, loopback, defaultRoute};
}

// The reply to a GET of the path from a client bound to the source address; empty when nothing
// listens. Bounded by a receive time-out.
inline std::string fetchFrom(const std::string& source, int port, const std::string& path)
{
    auto connection = tryConnectLoopback(port, source);
    if (!connection)
        return {};
    connection->sendAll("GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    return connection->receiveAll();
}

}  // namespace velmora::test
