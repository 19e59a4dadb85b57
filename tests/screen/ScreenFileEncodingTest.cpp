// Screen files as they come from Windows, read end to end into the model and the manifest's
// UTF-8 bytes: code pages, byte-order marks, UTF-16 without a mark, DTDs named with Windows paths.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "AccentedScreen.h"
#include "screen/ManifestBuilder.h"
#include "screen/ScreenLoader.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const TManifestUrls kUrls{"http://10.0.0.5:8099/", "http://10.0.0.5:8099/Images/"};

class ScreenFileEncoding : public ::testing::Test {
protected:
    ScreenFileEncoding()
    {
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "dtd");
    }
    ~ScreenFileEncoding() override
    {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(m_folder / name, std::ios::binary) << bytes;
    }
    // Loads screen.xml; answers the manifest, or the reader's first error line.
    std::string Load(const std::string& bytes)
    {
        Write("screen.xml", bytes);
        menus.clear();
        LoadScreen(model, (m_folder / "screen.xml").string(), menus);
        if (!model.Errors().empty())
            return model.Errors().front();
        TStringStream manifest;
        WriteManifestToStream(menus, kUrls, manifest);
        return manifest.DataString();
    }

    TXpObjModel model;
    TMenu_Geral menus;
    fs::path m_folder = fs::temp_directory_path() / ("velmora-screen-enc-" + std::to_string(::getpid()));
};

TEST_F(ScreenFileEncoding, EveryEncodingGivesTheSameModelAndManifestBytes)
{
    for (const auto& variant : AccentedScreenVariants()) {
        EXPECT_EQ(Load(variant.bytes), AccentedManifest(kUrls.ServerUrl)) << variant.name;
        ASSERT_EQ(menus.size(), 1u) << variant.name;
        EXPECT_EQ(menus[0].Nome, "T\xC3\xA9rreo") << variant.name;
        ASSERT_EQ(menus[0].Janelas.size(), 1u) << variant.name;
        EXPECT_EQ(menus[0].Janelas[0].Nome, "Ilumina\xC3\xA7\xC3\xA3o") << variant.name;
        ASSERT_EQ(menus[0].Janelas[0].Botoes.size(), 1u) << variant.name;
        EXPECT_EQ(menus[0].Janelas[0].Botoes[0].Caption, "\xE2\x80\x9CSala\xE2\x80\x9D \xE2\x82\xAC 5") << variant.name;
    }
}

TEST_F(ScreenFileEncoding, ADtdNamedWithAWindowsPathIsFoundAndReadInItsCodePage)
{
    // The DTD supplies a default window image through an entity, in Windows-1252.
    const std::string dtd = EncodeWindows1252("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                                              "<!ENTITY noite \"sala\xE2\x80\x93noite.png\">\r\n"
                                              "<!ATTLIST JANELA j_imagem CDATA \"&noite;\" j_corr CDATA \"1\">\r\n");
    Write("dtd/screen.dtd", dtd);
    Write("screen.dtd", dtd);
    for (const char* systemId : {"dtd\\screen.dtd", "C:\\VelmScreen\\screen.dtd", "file:///C:/VelmScreen/screen.dtd"}) {
        std::string text =
            AccentedScreenText("windows-1252", std::string("<!DOCTYPE SCREEN SYSTEM \"") + systemId + "\">\r\n");
        // The window names no image of its own: the DTD's default gives it.
        text.replace(text.find(" j_imagem=\""), std::string(" j_imagem=\"").size() + kAccentedImages[0].size() + 1, "");
        EXPECT_EQ(Load(EncodeWindows1252(text)), AccentedManifest(kUrls.ServerUrl)) << systemId;
        ASSERT_EQ(menus.size(), 1u) << systemId;
        EXPECT_EQ(menus[0].Janelas[0].Cor, 1) << systemId;
    }
}

TEST_F(ScreenFileEncoding, WhatCannotBeReadSaysSoAndNamesTheFile)
{
    // The reader writes locations with "/" between their parts.
    const std::string file = (m_folder / "screen.xml").generic_string();
    const struct {
        const char* name;
        std::string bytes;
        std::string error;
    } rows[] = {
        {"a label the reader cannot decode", AccentedScreenText("KOI8-R"),
         "File: " + file + ". Line: 1 Col: 38 Error: Unsupported encoding: 'KOI8-R'"},
        {"Windows-1252 bytes labelled UTF-8", EncodeWindows1252(AccentedScreenText("UTF-8")),
         "File: " + file + ". Line: 4 Col: 21 Error: Badly formed UTF-8 character in stream"},
        {"a DTD that is nowhere", AccentedScreenText("UTF-8", "<!DOCTYPE SCREEN SYSTEM \"C:\\Outro\\absent.dtd\">"),
         "File C:\\Outro\\absent.dtd could not be found"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Load(row.bytes), row.error) << row.name;
        EXPECT_TRUE(menus.empty()) << row.name;
    }
}

}  // namespace
}  // namespace velmora::test
