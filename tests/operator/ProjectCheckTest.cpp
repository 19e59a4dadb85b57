#include "operator/ProjectCheck.h"

#include <gtest/gtest.h>

#include "OperatorTestSupport.h"

namespace velmora::test {
namespace {

TManifestEntry image(const std::string& name)
{
    return {name, "http://10.0.0.5:8099/Images/" + name, RequestPathOf("http://10.0.0.5:8099/Images/" + name)};
}

TEST(ProjectCheck, EveryListedFileIsLookedUpAsARequestWouldFindIt)
{
    TempProject project("check", {{"luz.png", 600000}, {"Fundo.PNG", 650000}});
    project.Write("Images/Porta.png", "pp");
    const TManifestIndex index({{"screen.xml", "http://10.0.0.5:8099/screen.xml", "/screen.xml"},
                                image("luz.png"),
                                image("fundo.png"),
                                image("porta.PNG"),
                                image("ausente.png"),
                                image("luz.png")});
    const std::string folder = project.folder().string() + "/";
    const TProjectCheck check = CheckProject(folder, index);

    EXPECT_EQ(check.Files, 5u);
    EXPECT_EQ(check.Bytes, project.size("screen.xml") + 600000 + 650000 + 2);
    const std::vector<std::string> expected = {
        "Verificação do projeto: 5 arquivos, 1,3 MB.",
        "Diferença de maiúsculas: fundo.png (no disco: Fundo.PNG)",
        "Diferença de maiúsculas: porta.PNG (no disco: Porta.png)",
        "Arquivo ausente: ausente.png",
    };
    EXPECT_EQ(ProjectCheckLines(check), expected);
    EXPECT_EQ(check.Found.size(), 4u);
    EXPECT_EQ(check.Expected, std::vector<std::string>{folder + "Images/ausente.png"});
}

TEST(ProjectCheck, AFolderWhoseCaseDiffersIsNamedWithThePathOnDisk)
{
    TempProject project("check-folder", {});
    fs::remove_all(project.folder() / "Images");
    fs::create_directories(project.folder() / "images" / "Sub");
    project.Write("images/luz.png", "l");
    project.Write("images/Sub/a.png", "a");
    const TManifestIndex index({image("luz.png"), image("sub/a.png"), image("../fora.png")});
    const TProjectCheck check = CheckProject(project.folder().string(), index);
    const std::vector<std::string> expected = {
        "Verificação do projeto: 3 arquivos, 0,0 kB.",
        "Diferença de maiúsculas: luz.png (no disco: images/luz.png)",
        "Diferença de maiúsculas: sub/a.png (no disco: Sub/a.png)",
        "Arquivo ausente: ../fora.png",
    };
    EXPECT_EQ(ProjectCheckLines(check), expected);
    EXPECT_TRUE(check.Expected.empty()) << "a name that leaves the folder is expected nowhere";
}

}  // namespace
}  // namespace velmora::test
