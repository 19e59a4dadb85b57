#include "operator/ManifestIndex.h"

#include <gtest/gtest.h>

#include "base/Stream.h"
#include "screen/ManifestBuilder.h"

namespace velmora {
namespace {

TEST(ManifestIndex, AUrlBecomesThePathTheServerDecodesFromItsRequest)
{
    const struct {
        const char* url;
        const char* path;
    } rows[] = {
        {"http://192.168.0.10:8099/screen.xml", "/screen.xml"},
        {"http://192.168.0.10:8099/Images/luz.png", "/Images/luz.png"},
        {"http://192.168.0.10:8099/Images/sala de estar.png", "/Images/sala de estar.png"},
        {"http://192.168.0.10:8099/Images/a%20b.png", "/Images/a b.png"},
        {"http://192.168.0.10:8099/Images/sub\\x.png", "/Images/sub/x.png"},
        {"http://192.168.0.10:8099/Images/q.png?v=2", "/Images/q.png"},
        {"screen.xml", "/screen.xml"},
        {"luz.png", "/luz.png"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RequestPathOf(row.url), row.path) << row.url;
}

TEST(ManifestIndex, KeysIgnoreLetterCaseAndTheKindAndNumberOfSeparators)
{
    const struct {
        const char* path;
        const char* key;
    } rows[] = {
        {"/Images/Luz.PNG", "images/luz.png"},
        {"\\Images\\luz.png", "images/luz.png"},
        {"//Images//luz.png", "images/luz.png"},
        {"/", ""},
        {"/AÇÃO.png", "aÇÃo.png"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RequestPathKey(row.path), row.key) << row.path;
    for (const char* manifest : {"/", "/arquivos.xml", "/ARQUIVOS.XML", "\\arquivos.xml"})
        EXPECT_TRUE(IsManifestRequest(manifest)) << manifest;
    for (const char* other : {"/Images/arquivos.xml", "/arquivos.xm", "/screen.xml", ""})
        EXPECT_FALSE(IsManifestRequest(other)) << other;
}

TEST(ManifestIndex, EntriesReadBackFromAWrittenManifestAndRepeatsAreListedOnce)
{
    TMenu_Geral menus(1);
    menus[0].Janelas.resize(1);
    TJanelas& window = menus[0].Janelas[0];
    window.Imagem = "fundo & sala.png";
    for (const char* image : {"luz.png", "Luz.png", "<aspas\">.png"}) {
        window.Botoes.emplace_back();
        window.Botoes.back().Imagem = image;
    }
    TStringStream stream;
    WriteManifestToStream(menus, {"http://10.0.0.5:8099/", "http://10.0.0.5:8099/Images/"}, stream);

    const std::vector<TManifestEntry> entries = ReadManifestEntries(stream.DataString());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].Name, "screen.xml");
    EXPECT_EQ(entries[0].RequestPath, "/screen.xml");
    EXPECT_EQ(entries[1].Name, "fundo & sala.png");
    EXPECT_EQ(entries[1].Url, "http://10.0.0.5:8099/Images/fundo & sala.png");
    EXPECT_EQ(entries[4].Name, "<aspas\">.png");

    const TManifestIndex index(entries);
    ASSERT_EQ(index.size(), 4u) << "luz.png and Luz.png name one file";
    EXPECT_EQ(index.Find("/images/LUZ.png"), 2u);
    EXPECT_EQ(index.Find("/Images/fundo & sala.png"), 1u);
    EXPECT_EQ(index.Find("/Images/outra.png"), std::nullopt);
}

TEST(ManifestIndex, AManifestThatIsNotWellFormedIsAnErrorWithTheReadersReason)
{
    for (const char* bytes : {"", "<ARQUIVOS><ARQUIVO", "<ARQUIVOS></arquivos>"}) {
        try {
            ReadManifestEntries(bytes);
            ADD_FAILURE() << "accepted: " << bytes;
        } catch (const EManifestUnreadable& error) {
            EXPECT_EQ(error.Message().rfind("Não foi possível ler o manifesto: ", 0), 0u) << error.Message();
            EXPECT_GT(error.Message().size(), 34u) << "the reason follows";
        }
    }
    EXPECT_TRUE(ReadManifestEntries("<ARQUIVOS><OUTRO/></ARQUIVOS>").empty());
}

}  // namespace
}  // namespace velmora
