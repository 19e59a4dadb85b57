#pragma once
// The screen project model: menus, windows, buttons, feedback buttons, cameras and web views
// of a VelmScreen project as plain records, filled by the screen file loader.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Red in bits 0-7, green in 8-15, blue in 16-23.
using TColor = int32_t;

struct TFuncoes {
    int32_t Funcao = 0;
    int32_t SubFuncao = 0;
    int32_t PntCena = 0;
    std::string Modulo;
    std::string Descricao;
    int32_t Continuo = 0;
    int32_t Tipo = 0;
    int32_t Acao = 0;
};
using TGFuncoes = std::vector<TFuncoes>;

struct TBotoes {
    int32_t Funcao = 0;
    int32_t SubFuncao = 0;
    int32_t PntCena = 0;
    std::string Modulo;
    std::string TextoReserva1;
    int32_t Continuo = 0;
    int32_t Tipo = 0;
    int32_t IntReserva1 = 0;
    int32_t IntReserva2 = 0;
    int32_t Acao = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t Style = 0;
    int32_t Layout = 0;
    std::string Imagem;
    TColor Color = 0;
    std::string Caption;
    int32_t FontSize = 0;
    TColor FontColor = 0;
    std::string FontType;
    int32_t IntReserva3 = 0;
    int32_t IntReserva4 = 0;
    int32_t IntReserva5 = 0;
    std::string TextoReserva2;
    TGFuncoes Acoes;
};
using TGBotoes = std::vector<TBotoes>;

// A button with an on and an off state.
struct TBotoesFB {
    int32_t Canal = 0;
    int32_t ModuloIdx = 0;
    int32_t FBStyle = 0;
    std::string TextoOn;
    std::string TextoOff;
    std::string ImagemOn;
    std::string ImagemOff;
    int32_t IntReserva1 = 0;
    std::string Modulo;
    std::string TextoReserva1;
    int32_t Continuo = 0;
    int32_t Tipo = 0;
    int32_t IntReserva2 = 0;
    int32_t IntReserva3 = 0;
    int32_t IntReserva4 = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t Style = 0;
    int32_t Layout = 0;
    std::string TextoReserva2;
    TColor Color = 0;
    std::string Caption;
    int32_t FontSize = 0;
    TColor FontColor = 0;
    std::string FontType;
    std::string TextoReserva3;
    int32_t IntReserva5 = 0;
    int32_t IntReserva6 = 0;
    int32_t IntReserva7 = 0;
    TGFuncoes Acoes;
};
using TGBotoesFB = std::vector<TBotoesFB>;

struct TCamera {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    std::string Imagem;
    int32_t Intervalo = 0;
};
using TGCameras = std::vector<TCamera>;

struct TWeb {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    std::string Endereco;
    std::string Caption;
};
using TGWeb = std::vector<TWeb>;

// Declared by the screen format but never filled: the arrays stay empty.
struct TLabels {
    int32_t IntReserva1 = 0;
    int32_t IntReserva2 = 0;
    int32_t IntReserva3 = 0;
    int32_t IntReserva4 = 0;
    std::string TextoReserva1;
};
using TGLabels = std::vector<TLabels>;

struct TTrackBars {
    int32_t IntReserva1 = 0;
    int32_t IntReserva2 = 0;
    std::string TextoReserva1;
    std::string TextoReserva2;
    int32_t IntReserva3 = 0;
    int32_t IntReserva4 = 0;
    int32_t IntReserva5 = 0;
    int32_t IntReserva6 = 0;
    int32_t IntReserva7 = 0;
    int32_t IntReserva8 = 0;
    std::string TextoReserva3;
    int32_t IntReserva9 = 0;
    std::string TextoReserva4;
};
using TGTrackBars = std::vector<TTrackBars>;

// One window (a screen page).
struct TJanelas {
    std::string Nome;
    int32_t IntReserva1 = 0;
    int32_t IntReserva2 = 0;
    int32_t IntReserva3 = 0;
    TColor Cor = 0;
    int32_t IntReserva4 = 0;
    std::string Imagem;
    std::string TextoReserva1;
    int32_t Numero = 0;
    TGBotoes Botoes;
    TGCameras Cameras;
    TGBotoesFB BotoesFB;
    TGWeb Webs;
    TGLabels Labels;
    TGTrackBars TrackBars;
};
using TJanelas_Geral = std::vector<TJanelas>;

struct TMenu {
    std::string Nome;
    int32_t IntReserva1 = 0;
    int32_t IntReserva2 = 0;
    TJanelas_Geral Janelas;
};
using TMenu_Geral = std::vector<TMenu>;

}  // namespace velmora
