#include "screen/Unit_Gerais.h"

namespace velmora {

namespace {

template <typename Array>
size_t appendZeroed(Array& array)
{
    array.emplace_back();
    return array.size() - 1;
}

}  // namespace

size_t AddMenu(TMenu_Geral& menus)
{
    return appendZeroed(menus);
}
size_t AddJanela(TJanelas_Geral& janelas)
{
    return appendZeroed(janelas);
}
size_t AddBotao(TGBotoes& botoes)
{
    return appendZeroed(botoes);
}
size_t AddBotaoFB(TGBotoesFB& botoes)
{
    return appendZeroed(botoes);
}
size_t AddFuncao(TGFuncoes& funcoes)
{
    return appendZeroed(funcoes);
}
size_t AddCamera(TGCameras& cameras)
{
    return appendZeroed(cameras);
}
size_t AddWeb(TGWeb& webs)
{
    return appendZeroed(webs);
}

TColor ComposeColor(int32_t red, int32_t green, int32_t blue)
{
    auto low8 = [](int32_t v) { return static_cast<uint32_t>(v) & 0xFFu; };
    return static_cast<TColor>(low8(red) | (low8(green) << 8) | (low8(blue) << 16));
}

}  // namespace velmora
