#include "screen/Unit_Gerais.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ScreenModel, AppendsGrowByOneZeroedRecordAndAnswerTheOldLength)
{
    TJanelas_Geral janelas;
    EXPECT_EQ(AddJanela(janelas), 0u);
    ASSERT_EQ(janelas.size(), 1u);
    const TJanelas& j = janelas[0];
    EXPECT_TRUE(j.Nome.empty());
    EXPECT_EQ(j.Cor, 0);
    EXPECT_TRUE(j.Botoes.empty() && j.Cameras.empty() && j.BotoesFB.empty() && j.Webs.empty() && j.Labels.empty() &&
                j.TrackBars.empty());
    janelas[0].Nome = "first";
    EXPECT_EQ(AddJanela(janelas), 1u);
    EXPECT_EQ(janelas[0].Nome, "first");

    TGBotoes botoes;
    AddBotao(botoes);
    EXPECT_EQ(AddBotao(botoes), 1u);
    EXPECT_EQ(botoes[1].Funcao, 0);
    EXPECT_TRUE(botoes[1].Acoes.empty());
}

TEST(ScreenModel, ColourTakesTheLowEightBitsOfEachComponent)
{
    struct Row {
        int32_t r, g, b;
        TColor expected;
    };
    const Row rows[] = {
        {255, 0, 128, 0x8000FF}, {256, 0, 0, 0},         {-1, 0, 0, 255}, {300, 0, 0, 44},
        {0, 255, 0, 0xFF00},     {-1, -1, -1, 0xFFFFFF}, {0, 0, 0, 0},    {1, 2, 3, 0x030201},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ComposeColor(row.r, row.g, row.b), row.expected) << row.r << ',' << row.g << ',' << row.b;
}

}  // namespace
}  // namespace velmora
