#include "operator/QrCode.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "HttpTestSupport.h"

namespace velmora::test {
namespace {

// The 7x7 finder pattern that sits in three corners of every QR code.
bool hasFinderAt(const TQrMatrix& matrix, int left, int top)
{
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool ring = x == 0 || y == 0 || x == 6 || y == 6;
            const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            if (matrix.Dark(left + x, top + y) != (ring || core))
                return false;
        }
    }
    return true;
}

size_t codePoints(const std::string& text)
{
    size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

TEST(QrCode, TheMatrixHasTheFinderPatternsOfAQrCode)
{
    const TQrMatrix matrix = EncodeQr("http://192.168.0.10:8099/");
    ASSERT_GE(matrix.Width, 21);
    EXPECT_EQ((matrix.Width - 17) % 4, 0) << "every version is 17 + 4 v modules wide";
    EXPECT_TRUE(hasFinderAt(matrix, 0, 0));
    EXPECT_TRUE(hasFinderAt(matrix, matrix.Width - 7, 0));
    EXPECT_TRUE(hasFinderAt(matrix, 0, matrix.Width - 7));
    EXPECT_FALSE(hasFinderAt(matrix, matrix.Width - 7, matrix.Width - 7));
    EXPECT_TRUE(EncodeQr("").Empty());
    EXPECT_TRUE(EncodeQr(std::string(8000, 'x')).Empty()) << "beyond the largest version";
}

TEST(QrCode, ThePbmImageDecodesBackToTheUrl)
{
    if (!ToolAvailable("zbarimg"))
        GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    for (const std::string url : {"http://192.168.0.10:8099/", "http://10.200.31.254:65535/"}) {
        const std::string file = ::testing::TempDir() + "velmora-qr-" + std::to_string(::getpid()) + ".pbm";
        std::ofstream(file) << RenderQrPbm(EncodeQr(url), 4, 4);
        EXPECT_EQ(commandOutput("zbarimg --quiet --raw " + file + " 2>/dev/null"), url + "\n");
        std::remove(file.c_str());
    }
}

TEST(QrCode, TheTerminalDrawingHasTwoModuleRowsPerLineInsideAQuietZone)
{
    const TQrMatrix matrix = EncodeQr("http://192.168.0.10:8099/");
    const int side = matrix.Width + 2 * QrQuietZone;
    const std::vector<std::string> plain = RenderQrLines(matrix, false);
    ASSERT_EQ(plain.size(), static_cast<size_t>((side + 1) / 2));
    for (const std::string& line : plain)
        EXPECT_EQ(codePoints(line), static_cast<size_t>(side));
    EXPECT_EQ(plain.front(), std::string(static_cast<size_t>(side), ' ')) << "the quiet zone";
    // The first two module rows of the top left finder begin dark: a full block after the quiet zone.
    EXPECT_EQ(plain[1].substr(QrQuietZone, 3), "\u2588");

    const std::vector<std::string> coloured = RenderQrLines(matrix, true);
    ASSERT_EQ(coloured.size(), plain.size());
    EXPECT_EQ(coloured[3], "\x1b[30;107m" + plain[3] + "\x1b[0m");
    EXPECT_TRUE(RenderQrLines({}, false).empty());
}

}  // namespace
}  // namespace velmora::test
