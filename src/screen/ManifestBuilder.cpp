#include "screen/ManifestBuilder.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "xml/writer/XMLDoc.h"

namespace velmora {

namespace {

void appendEntry(const IXMLNode& arquivos, const std::string& name, const std::string& url)
{
    IXMLNode entry = arquivos->AppendChildElement("ARQUIVO");
    entry->SetAttribute("arquivo_nome", name);
    entry->SetAttribute("arquivo_caminho", url);
}

void appendImage(const IXMLNode& arquivos, const TManifestUrls& urls, const std::string& name)
{
    if (!name.empty())
        appendEntry(arquivos, name, urls.ImagesUrl + name);
}

std::string buildManifest(const TMenu_Geral& menus, const TManifestUrls& urls)
{
    auto document = TXMLDocument::Create();
    document->SetActive(true);
    document->SetVersion("1.0");
    document->SetEncoding("UTF-8");
    IXMLNode arquivos = document->AppendChildElement("ARQUIVOS");
    appendEntry(arquivos, "screen.xml", urls.ServerUrl + "screen.xml");
    for (const TMenu& menu : menus) {
        for (const TJanelas& janela : menu.Janelas) {
            appendImage(arquivos, urls, janela.Imagem);
            for (const TBotoes& botao : janela.Botoes)
                appendImage(arquivos, urls, botao.Imagem);
            for (const TBotoesFB& botao : janela.BotoesFB) {
                appendImage(arquivos, urls, botao.ImagemOn);
                appendImage(arquivos, urls, botao.ImagemOff);
            }
        }
    }
    return document->SaveToXML();
}

// A sibling of the target that nobody else names: "." + file name + "." + random suffix.
// It is created with the mode of any new file (0666 less the umask), so that the file that
// replaces the manifest can be read by whoever could read the old one.
int createSibling(const std::filesystem::path& target, std::string& siblingPath)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name.append(target.filename().string()).append(".").append(std::to_string(random() % 1000000000u));
        name.append(".tmp");
        siblingPath = (target.parent_path() / name).string();
        int fd = ::open(siblingPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Writes the bytes next to the target and renames them over it in one step.
void replaceFile(const std::string& path, const std::string& bytes)
{
    std::string sibling;
    int fd = createSibling(std::filesystem::path(path), sibling);
    if (fd < 0)
        throw MakeFCreateError(path, errno);
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(sibling.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(sibling.c_str());
        throw MakeFCreateError(path, error);
    }
}

}  // namespace

void WriteManifestToStream(const TMenu_Geral& menus, const TManifestUrls& urls, TStream& stream)
{
    stream.WriteString(buildManifest(menus, urls));
}

void WriteManifest(const TMenu_Geral& menus, const TManifestUrls& urls, const std::string& path)
{
    replaceFile(path, buildManifest(menus, urls));
}

}  // namespace velmora
