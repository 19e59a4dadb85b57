#include "base/Stream.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "SystemTexts.h"

namespace velmora {
namespace {

TEST(FileStream, OpenAndCreateFailuresNameTheFullPathAndTheSystemReason)
{
    auto missing = std::filesystem::temp_directory_path() / "velmora-no-such-dir" / "f.txt";
    try {
        TFileStream f(missing.string(), TFileStream::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing.string() + "\". " + test::MissingFolderReason());
    }
    try {
        TFileStream f(missing.string(), TFileStream::fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + missing.string() + "\". " + test::MissingFolderReason());
    }
}

TEST(FileStream, RelativePathsAreReportedInFull)
{
    try {
        TFileStream f("velmora-missing-file", TFileStream::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        auto full = (std::filesystem::current_path() / "velmora-missing-file").string();
        EXPECT_NE(e.Message().find("\"" + full + "\""), std::string::npos) << e.Message();
    }
}

TEST(StringStream, WritesAtThePositionAndReadsBack)
{
    TStringStream s("abcdef");
    s.SetPosition(2);
    s.WriteString("XY");
    EXPECT_EQ(s.DataString(), "abXYef");
    s.Seek(0, TSeekOrigin::soEnd);
    s.WriteString("!");
    EXPECT_EQ(s.DataString(), "abXYef!");
    s.SetPosition(0);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, sizeof buf), 7u);
    EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

}  // namespace
}  // namespace velmora
