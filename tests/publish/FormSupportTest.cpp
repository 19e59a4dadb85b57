#include "publish/FormSupport.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

TEST(ProgramTitle, IsTheFileNameCutBeforeItsFirstDotAndLowerCasedAfterItsFirstLetter)
{
    const struct {
        const char* path;
        const char* title;
    } rows[] = {
        {"/usr/bin/velmora", "velmora"},
        {"velmora", "velmora"},
        {"/opt/Velmora/VELMORA.EXE", "Velmora"},
        {"/a.b/c.d/Velmora.Screen.bin", "Velmora"},
        {"/usr/bin/VelMora-Server", "Velmora-server"},
        {"/tmp/.hidden", ""},
        {"", ""},
        {"/usr/bin/", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProgramTitle(row.path), row.title) << row.path;
}

TEST(FittedLeft, KeepsTheStoredPlaceWhereTheWindowFitsAndMovesItLeftWhereItWouldNot)
{
    const struct {
        int screenLeft, screenWidth, expected;
    } rows[] = {
        {0, 1920, 472},  // fits from the stored place
        {0, 1558, 472},  // just fits
        {0, 1557, 471},  // one pixel short: moved left by one
        {0, 1366, 280},  // a laptop's screen
        {0, 800, 0},  // narrower than the window: its left edge stays on the screen
        {0, 1086, 0},  // exactly as wide as the window
        {100, 800, 100},  // a screen area that begins right of the origin
    };
    for (const auto& row : rows)
        EXPECT_EQ(FittedLeft(472, 1086, row.screenLeft, row.screenWidth), row.expected)
            << row.screenLeft << "+" << row.screenWidth;
}

TEST(DialogFilter, MatchesItsPatternsInAnyLetterCase)
{
    const struct {
        const char* pattern;
        const char* glob;
    } globs[] = {
        {"screen.xml", "[sS][cC][rR][eE][eE][nN].[xX][mM][lL]"},
        {"*.X1", "*.[xX]1"},
        {"[ab]c?", "[ab][cC]?"},
        {"", ""},
    };
    for (const auto& row : globs)
        EXPECT_EQ(CaseInsensitiveGlob(row.pattern), row.glob) << row.pattern;

    const struct {
        const char* filter;
        std::vector<std::string> nameFilters;
    } filters[] = {
        {"Referência Module Screen|screen.xml", {"Referência Module Screen ([sS][cC][rR][eE][eE][nN].[xX][mM][lL])"}},
        {"Imagens|*.png;*.jpg|Tudo|*", {"Imagens (*.[pP][nN][gG] *.[jJ][pP][gG])", "Tudo (*)"}},
        {"sem padrão", {}},
        {"", {}},
    };
    for (const auto& row : filters)
        EXPECT_EQ(NameFiltersOf(row.filter), row.nameFilters) << row.filter;
}

}  // namespace
}  // namespace velmora::test
