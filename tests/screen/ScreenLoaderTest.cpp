// The screen file loader: which elements it visits, which attributes it takes, what failures give.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "base/StrToInt.h"
#include "screen/ScreenLoader.h"

namespace velmora {
namespace {

const std::string Data = VELMORA_TEST_DATA;

class ScreenLoaderTest : public ::testing::Test {
protected:
    ~ScreenLoaderTest() override
    {
        std::error_code ignored;
        std::filesystem::remove(m_file, ignored);
    }
    void LoadText(const std::string& text)
    {
        std::ofstream(m_file, std::ios::binary) << text;
        LoadScreen(model, m_file, menus);
    }
    TXpObjModel model;
    TMenu_Geral menus;
    std::string m_file =
        (std::filesystem::temp_directory_path() / ("velmora-screen-" + std::to_string(::getpid()) + ".xml")).string();
};

TEST_F(ScreenLoaderTest, FullFileFillsEveryField)
{
    LoadScreen(model, Data + "/screen_full.xml", menus);
    ASSERT_TRUE(model.Errors().empty());
    ASSERT_EQ(menus.size(), 2u);  // p:MENU is listed by local name but not taken
    EXPECT_EQ(menus[0].Nome, "T\xC3\xA9rreo");
    EXPECT_EQ(menus[1].Nome, "Interno");  // nested MENU: a menu of its own, after its container
    ASSERT_EQ(menus[0].Janelas.size(), 1u);  // the attribute-less JANELA is skipped
    ASSERT_EQ(menus[1].Janelas.size(), 1u);
    EXPECT_EQ(menus[1].Janelas[0].Nome, "Dentro");

    const TJanelas& j = menus[0].Janelas[0];
    EXPECT_EQ(j.Nome, "Sala");
    EXPECT_EQ(j.Cor, 44 + (128 << 16));  // 300 keeps its low 8 bits
    EXPECT_EQ(j.Imagem, "sala.jpg");
    EXPECT_EQ(j.Numero, 31);
    ASSERT_EQ(j.Botoes.size(), 1u);
    const TBotoes& b = j.Botoes[0];
    EXPECT_EQ(b.Caption, "Luz & Som");
    EXPECT_EQ(b.Imagem, "luz.png");
    EXPECT_EQ(b.Modulo, "M1");
    EXPECT_EQ(std::vector<int32_t>({b.Funcao, b.SubFuncao, b.PntCena, b.Acao, b.Left, b.Top, b.Height, b.Width, b.Style,
                                    b.Layout, b.FontSize, b.Continuo, b.Tipo}),
              std::vector<int32_t>({1, 2, 3, 4, 12, 31, 16, 16, 5, -1, 10, 1, 2}));
    EXPECT_EQ(b.Color, 8388863);
    EXPECT_EQ(b.FontColor, 255);
    EXPECT_EQ(b.FontType, "Tahoma");
    ASSERT_EQ(b.Acoes.size(), 1u);
    const TFuncoes& a = b.Acoes[0];
    EXPECT_EQ(std::vector<int32_t>({a.Funcao, a.SubFuncao, a.Continuo, a.Tipo, a.PntCena, a.Acao}),
              std::vector<int32_t>({7, 8, 1, 3, 9, 10}));
    EXPECT_EQ(a.Descricao, "Acende");
    EXPECT_EQ(a.Modulo, "M2");

    ASSERT_EQ(j.BotoesFB.size(), 1u);
    const TBotoesFB& f = j.BotoesFB[0];
    EXPECT_EQ(f.Caption, "Cortina");
    EXPECT_EQ(f.ImagemOn, "on.png");
    EXPECT_EQ(f.ImagemOff, "off.png");
    EXPECT_EQ(f.TextoOn, "Aberta");
    EXPECT_EQ(f.TextoOff, "Fechada");
    EXPECT_EQ(f.Modulo, "M3");
    EXPECT_EQ(std::vector<int32_t>({f.FBStyle, f.Canal, f.ModuloIdx, f.Left, f.Top, f.Height, f.Width, f.Style,
                                    f.Layout, f.FontSize, f.Continuo, f.Tipo}),
              std::vector<int32_t>({1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 0, 1}));
    EXPECT_EQ(f.Color, 1 + (2 << 8) + (3 << 16));
    EXPECT_EQ(f.FontColor, 4 + (5 << 8) + (6 << 16));
    EXPECT_EQ(f.FontType, "Arial");
    ASSERT_EQ(f.Acoes.size(), 1u);

    ASSERT_EQ(j.Cameras.size(), 1u);
    const TCamera& c = j.Cameras[0];
    EXPECT_EQ(c.Imagem, "cam.jpg");
    EXPECT_EQ(std::vector<int32_t>({c.Left, c.Top, c.Height, c.Width, c.Intervalo}),
              std::vector<int32_t>({1, 2, 3, 4, 500}));
    ASSERT_EQ(j.Webs.size(), 1u);
    const TWeb& w = j.Webs[0];
    EXPECT_EQ(w.Endereco, "http://10.0.0.1/");
    EXPECT_EQ(w.Caption, "Estado");
    EXPECT_EQ(std::vector<int32_t>({w.Left, w.Top, w.Height, w.Width}), std::vector<int32_t>({1, 2, 3, 4}));
}

TEST_F(ScreenLoaderTest, WhereTheMenusAreLooked)
{
    struct Row {
        const char* doc;
        std::vector<std::string> menus;
    } rows[] = {
        {"<MENUS><MENU menu_nome='a'/></MENUS>", {}},  // the root itself is not examined
        {"<SCREEN><MENUS><MENU menu_nome='a'/><MENU menu_nome='b'/></MENUS></SCREEN>", {"a", "b"}},
        {"<SCREEN><X><MENUS><MENU menu_nome='deep'/></MENUS></X></SCREEN>", {"deep"}},
        {"<SCREEN><MENUS><MENU menu_nome='a'><JANELA j_nome='j'><MENU "
         "menu_nome='in'/></JANELA></MENU></MENUS></SCREEN>",
         {"a", "in"}},
        {"<SCREEN><MENU menu_nome='outside'/><MENUS/></SCREEN>", {}},
        {"<SCREEN><menus><MENU menu_nome='a'/></menus></SCREEN>", {}},
        {"<SCREEN><MENUS><MENU x='1'/></MENUS></SCREEN>", {""}},
    };
    for (const auto& row : rows) {
        LoadText(row.doc);
        std::vector<std::string> names;
        for (const auto& menu : menus)
            names.push_back(menu.Nome);
        EXPECT_EQ(names, row.menus) << row.doc;
    }
}

TEST_F(ScreenLoaderTest, ChildrenOfTheWrongPlaceArePassedOver)
{
    LoadText("<S><MENUS><MENU menu_nome='m'><ACOES a_funcao='1'/><BOTAO b_left='1'/>"
             "<JANELA j_nome='j'><BOTAO b_left='2'><JANELA j_nome='inner'/><BOTAO b_left='3'/></BOTAO></JANELA>"
             "</MENU></MENUS></S>");
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].Janelas.size(), 1u);
    ASSERT_EQ(menus[0].Janelas[0].Botoes.size(), 1u);
    EXPECT_EQ(menus[0].Janelas[0].Botoes[0].Left, 2);
    EXPECT_TRUE(menus[0].Janelas[0].Botoes[0].Acoes.empty());
}

TEST_F(ScreenLoaderTest, AttributeOrderInTheFileDoesNotMatter)
{
    LoadText("<S><MENUS><MENU menu_nome='m'><JANELA j_numero='4' j_imagem='i' j_corb='3' j_corg='2' j_corr='1' "
             "j_nome='n'/></MENU></MENUS></S>");
    ASSERT_EQ(menus.size(), 1u);
    const TJanelas& j = menus[0].Janelas[0];
    EXPECT_EQ(j.Nome, "n");
    EXPECT_EQ(j.Imagem, "i");
    EXPECT_EQ(j.Numero, 4);
    EXPECT_EQ(j.Cor, 1 + (2 << 8) + (3 << 16));
}

TEST_F(ScreenLoaderTest, IntegerTextsFollowTheProgramConversion)
{
    struct Row {
        const char* value;
        int32_t expected;
    } rows[] = {{"", 0}, {"0x1F", 31}, {"$1f", 31}, {" 12", 12}, {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX}};
    for (const auto& row : rows) {
        LoadText(std::string("<S><MENUS><MENU menu_nome='m'><JANELA j_numero='") + row.value +
                 "'/></MENU></MENUS></S>");
        ASSERT_EQ(menus.size(), 1u) << row.value;
        EXPECT_EQ(menus[0].Janelas[0].Numero, row.expected) << row.value;
    }
    for (const char* bad : {"12 ", "abc", "2147483648", "0x"}) {
        menus.push_back(TMenu{});
        try {
            LoadText(std::string("<S><MENUS><MENU menu_nome='m'><JANELA j_numero='") + bad + "'/></MENU></MENUS></S>");
            ADD_FAILURE() << bad << " was accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), FormatMessage(SInvalidInteger, {bad}));
        }
        EXPECT_TRUE(menus.empty()) << bad;
    }
}

TEST_F(ScreenLoaderTest, UnreadableFilesGiveAnEmptyModelAndKeepTheReason)
{
    menus.push_back(TMenu{});
    LoadScreen(model, Data + "/absent.xml", menus);
    EXPECT_TRUE(menus.empty());
    ASSERT_EQ(model.Errors().size(), 1u);
    EXPECT_EQ(model.Errors()[0], "File " + Data + "/absent.xml could not be found");

    LoadText("<S><MENUS><MENU menu_nome='m'></MENUS></S>");
    EXPECT_TRUE(menus.empty());
    ASSERT_EQ(model.Errors().size(), 1u);
    EXPECT_NE(model.Errors()[0].find("Mismatched end tag: "), std::string::npos);
}

}  // namespace
}  // namespace velmora
