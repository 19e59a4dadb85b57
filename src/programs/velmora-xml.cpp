// velmora-xml: checks a screen file with the system's own XML reader, for operators and tests.
//   velmora-xml FILE                      loads with whitespace normalisation; exit 0 when it loads
//   velmora-xml --raw FILE                the same without normalisation
//   velmora-xml --canonical FILE          writes the tree in W3C canonical form
//   velmora-xml --model FILE              prints the screen model as JSON
//   velmora-xml --manifest BASEURL FILE   writes the manifest the publish sequence would write

#include <exception>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "base/Stream.h"
#include "screen/ManifestBuilder.h"
#include "screen/ScreenLoader.h"
#include "xml/reader/XpCanonical.h"
#include "xml/reader/XpObjModel.h"

namespace velmora {
namespace {

constexpr const char* Usage = "usage: velmora-xml [--raw | --canonical | --model] FILE\n"
                              "       velmora-xml --manifest BASEURL FILE\n";

int fail(const std::vector<std::string>& lines)
{
    for (const auto& line : lines)
        std::cerr << line << '\n';
    return 1;
}

nlohmann::json acoesJson(const TGFuncoes& acoes)
{
    nlohmann::json list = nlohmann::json::array();
    for (const auto& a : acoes)
        list.push_back({{"Funcao", a.Funcao},
                        {"SubFuncao", a.SubFuncao},
                        {"PntCena", a.PntCena},
                        {"Modulo", a.Modulo},
                        {"Descricao", a.Descricao},
                        {"Continuo", a.Continuo},
                        {"Tipo", a.Tipo},
                        {"Acao", a.Acao}});
    return list;
}

nlohmann::json modelJson(const TMenu_Geral& menus)
{
    nlohmann::json out = nlohmann::json::array();
    for (const auto& menu : menus) {
        nlohmann::json janelas = nlohmann::json::array();
        for (const auto& j : menu.Janelas) {
            nlohmann::json botoes = nlohmann::json::array(), botoesFB = nlohmann::json::array();
            nlohmann::json cameras = nlohmann::json::array(), webs = nlohmann::json::array();
            for (const auto& b : j.Botoes)
                botoes.push_back({{"Funcao", b.Funcao},     {"SubFuncao", b.SubFuncao},
                                  {"PntCena", b.PntCena},   {"Modulo", b.Modulo},
                                  {"Continuo", b.Continuo}, {"Tipo", b.Tipo},
                                  {"Acao", b.Acao},         {"Left", b.Left},
                                  {"Top", b.Top},           {"Height", b.Height},
                                  {"Width", b.Width},       {"Style", b.Style},
                                  {"Layout", b.Layout},     {"Imagem", b.Imagem},
                                  {"Color", b.Color},       {"Caption", b.Caption},
                                  {"FontSize", b.FontSize}, {"FontColor", b.FontColor},
                                  {"FontType", b.FontType}, {"Acoes", acoesJson(b.Acoes)}});
            for (const auto& b : j.BotoesFB)
                botoesFB.push_back({{"Canal", b.Canal},         {"ModuloIdx", b.ModuloIdx},
                                    {"FBStyle", b.FBStyle},     {"TextoOn", b.TextoOn},
                                    {"TextoOff", b.TextoOff},   {"ImagemOn", b.ImagemOn},
                                    {"ImagemOff", b.ImagemOff}, {"Modulo", b.Modulo},
                                    {"Continuo", b.Continuo},   {"Tipo", b.Tipo},
                                    {"Left", b.Left},           {"Top", b.Top},
                                    {"Height", b.Height},       {"Width", b.Width},
                                    {"Style", b.Style},         {"Layout", b.Layout},
                                    {"Color", b.Color},         {"Caption", b.Caption},
                                    {"FontSize", b.FontSize},   {"FontColor", b.FontColor},
                                    {"FontType", b.FontType},   {"Acoes", acoesJson(b.Acoes)}});
            for (const auto& c : j.Cameras)
                cameras.push_back({{"Left", c.Left},
                                   {"Top", c.Top},
                                   {"Height", c.Height},
                                   {"Width", c.Width},
                                   {"Imagem", c.Imagem},
                                   {"Intervalo", c.Intervalo}});
            for (const auto& w : j.Webs)
                webs.push_back({{"Left", w.Left},
                                {"Top", w.Top},
                                {"Height", w.Height},
                                {"Width", w.Width},
                                {"Endereco", w.Endereco},
                                {"Caption", w.Caption}});
            janelas.push_back({{"Nome", j.Nome},
                               {"Cor", j.Cor},
                               {"Imagem", j.Imagem},
                               {"Numero", j.Numero},
                               {"Botoes", botoes},
                               {"Cameras", cameras},
                               {"BotoesFB", botoesFB},
                               {"Webs", webs},
                               {"Labels", nlohmann::json::array()},
                               {"TrackBars", nlohmann::json::array()}});
        }
        out.push_back({{"Nome", menu.Nome}, {"Janelas", janelas}});
    }
    return out;
}

// Loads a screen file; a file the reader cannot load counts as a failure here, reported with
// the reader's error lines. The document tree is gone when this returns, so that what is built
// from the model does not share the peak memory with it.
bool loadScreen(const std::string& path, TMenu_Geral& menus, std::vector<std::string>& errors)
{
    TXpObjModel model;
    LoadScreen(model, path, menus);
    errors = model.Errors();
    return errors.empty();
}

int run(const std::vector<std::string>& args)
{
    TXpObjModel model;
    if (args.size() == 1 && args[0].rfind("--", 0) != 0) {
        return model.LoadDocumentFile(args[0]) ? 0 : fail(model.Errors());
    }
    if (args.size() == 2 && (args[0] == "--raw" || args[0] == "--canonical")) {
        model.NormalizeData = false;
        if (!model.LoadDocumentFile(args[1]))
            return fail(model.Errors());
        if (args[0] == "--canonical")
            XpWriteCanonical(*model.Document(), std::cout);
        return 0;
    }
    TMenu_Geral menus;
    std::vector<std::string> errors;
    if (args.size() == 2 && args[0] == "--model") {
        if (!loadScreen(args[1], menus, errors))
            return fail(errors);
        std::cout << modelJson(menus).dump(2) << '\n';
        return 0;
    }
    if (args.size() == 3 && args[0] == "--manifest") {
        if (!loadScreen(args[2], menus, errors))
            return fail(errors);
        TManifestUrls urls{args[1], args[1] + "Images/"};
        TStringStream manifest;
        WriteManifestToStream(menus, urls, manifest);
        std::cout << manifest.DataString();
        return 0;
    }
    std::cerr << Usage;
    return 2;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    velmora::UseUtf8Console();
    try {
        return velmora::run(velmora::ProgramArguments(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
