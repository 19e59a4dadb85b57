#pragma once
// Append functions of the screen model: each grows its array by one zeroed record and answers
// the new record's index (the length before the call); the caller fills the record in place.

#include <cstddef>

#include "screen/Types_Velm.h"

namespace velmora {

size_t AddMenu(TMenu_Geral& menus);
size_t AddJanela(TJanelas_Geral& janelas);
size_t AddBotao(TGBotoes& botoes);
size_t AddBotaoFB(TGBotoesFB& botoes);
size_t AddFuncao(TGFuncoes& funcoes);
size_t AddCamera(TGCameras& cameras);
size_t AddWeb(TGWeb& webs);

// A colour from three attribute values, each reduced to its low 8 bits.
TColor ComposeColor(int32_t red, int32_t green, int32_t blue);

}  // namespace velmora
