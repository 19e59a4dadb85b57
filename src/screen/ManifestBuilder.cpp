#include "screen/ManifestBuilder.h"

#include <random>

#include "base/FileSystem.h"
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
TFileHandle createSibling(const std::string& target, std::string& siblingPath, int& error)
{
    const std::filesystem::path path = PathOf(target);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name.append(TextOf(path.filename())).append(".").append(std::to_string(random() % 1000000000u)).append(".tmp");
        siblingPath = TextOf(path.parent_path() / PathOf(name));
        const TFileHandle file = OpenFileHandle(siblingPath, TFileMode::CreateNew, error);
        if (file != InvalidFileHandle || StatusOfPath(siblingPath).Kind == TFileKind::Missing)
            return file;
    }
    return InvalidFileHandle;
}

bool writeAll(TFileHandle file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t put = WriteToFile(file, bytes.data() + done, bytes.size() - done);
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Writes the bytes next to the target and moves them over it in one step.
void replaceFile(const std::string& path, const std::string& bytes)
{
    std::string sibling;
    int error = 0;
    const TFileHandle file = createSibling(path, sibling, error);
    if (file == InvalidFileHandle)
        throw MakeFCreateError(path, error);
    bool written = writeAll(file, bytes);
    if (!written)
        error = LastSystemError();
    else if ((error = FlushToDisk(file)) != 0)
        written = false;
    CloseFileHandle(file);
    if (written && (error = MoveReplacing(sibling, path)) != 0)
        written = false;
    if (!written) {
        DeletePath(sibling);
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
