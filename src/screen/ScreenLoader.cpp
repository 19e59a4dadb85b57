#include "screen/ScreenLoader.h"

#include "base/StrToInt.h"
#include "screen/Unit_Gerais.h"

namespace velmora {

namespace {

const WideString* attributeValue(const TXpNode* element, WideView name)
{
    TXpNamedNodeMap* attributes = element->attributes();
    TXpNode* attribute = attributes ? attributes->getNamedItem(name) : nullptr;
    return attribute ? &attribute->nodeValue() : nullptr;
}

TColor attrColor(const TXpNode* element, WideView red, WideView green, WideView blue)
{
    int32_t r = AttrInt(element, red);
    int32_t g = AttrInt(element, green);
    int32_t b = AttrInt(element, blue);
    return ComposeColor(r, g, b);
}

// The children of a node that carry attributes and have exactly that name.
template <class Visit>
void forEachChildNamed(const TXpNode* node, WideView name, Visit visit)
{
    const TXpNodeList& children = node->childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const TXpNode* child = children.item(i);
        if (child->hasAttributes() && child->nodeName() == name)
            visit(child);
    }
}

TFuncoes readAcao(const TXpNode* e)
{
    TFuncoes a;
    a.Funcao = AttrInt(e, u"a_funcao");
    a.SubFuncao = AttrInt(e, u"a_subfuncao");
    a.Descricao = AttrText(e, u"a_descricao");
    a.Modulo = AttrText(e, u"a_modulo");
    a.Continuo = AttrInt(e, u"a_continuo");
    a.Tipo = AttrInt(e, u"a_tipo");
    a.PntCena = AttrInt(e, u"a_pntcena");
    a.Acao = AttrInt(e, u"a_acao");
    return a;
}

void readAcoes(const TXpNode* button, TGFuncoes& acoes)
{
    forEachChildNamed(button, u"ACOES", [&](const TXpNode* e) {
        size_t i = AddFuncao(acoes);
        acoes[i] = readAcao(e);
    });
}

void readBotao(const TXpNode* e, TBotoes& b)
{
    b.Caption = AttrText(e, u"b_caption");
    b.Imagem = AttrText(e, u"b_imagem");
    b.Modulo = AttrText(e, u"b_modulo");
    b.Funcao = AttrInt(e, u"b_funcao");
    b.SubFuncao = AttrInt(e, u"b_subfuncao");
    b.PntCena = AttrInt(e, u"b_pntcena");
    b.Acao = AttrInt(e, u"b_acao");
    b.Left = AttrInt(e, u"b_left");
    b.Top = AttrInt(e, u"b_top");
    b.Height = AttrInt(e, u"b_height");
    b.Width = AttrInt(e, u"b_width");
    b.Style = AttrInt(e, u"b_style");
    b.Layout = AttrInt(e, u"b_layout");
    b.Color = attrColor(e, u"b_colorr", u"b_colorg", u"b_colorb");
    b.FontColor = attrColor(e, u"b_fontcolorr", u"b_fontcolorg", u"b_fontcolorb");
    b.FontSize = AttrInt(e, u"b_fontsize");
    b.FontType = AttrText(e, u"b_fonttype");
    b.Continuo = AttrInt(e, u"b_continuo");
    b.Tipo = AttrInt(e, u"b_tipo");
    readAcoes(e, b.Acoes);
}

void readBotaoFB(const TXpNode* e, TBotoesFB& b)
{
    b.Caption = AttrText(e, u"bfb_caption");
    b.ImagemOn = AttrText(e, u"bfb_imagemon");
    b.ImagemOff = AttrText(e, u"bfb_imagemoff");
    b.TextoOn = AttrText(e, u"bfb_textoon");
    b.TextoOff = AttrText(e, u"bfb_textoff");
    b.FBStyle = AttrInt(e, u"bfb_fbstyle");
    b.Modulo = AttrText(e, u"bfb_modulo");
    b.Canal = AttrInt(e, u"bfb_canal");
    b.ModuloIdx = AttrInt(e, u"bfb_moduloidx");
    b.Left = AttrInt(e, u"bfb_left");
    b.Top = AttrInt(e, u"bfb_top");
    b.Height = AttrInt(e, u"bfb_height");
    b.Width = AttrInt(e, u"bfb_width");
    b.Style = AttrInt(e, u"bfb_style");
    b.Layout = AttrInt(e, u"bfb_layout");
    b.Color = attrColor(e, u"bfb_colorr", u"bfb_colorg", u"bfb_colorb");
    b.FontColor = attrColor(e, u"bfb_fontcolorr", u"bfb_fontcolorg", u"bfb_fontcolorb");
    b.FontSize = AttrInt(e, u"bfb_fontsize");
    b.FontType = AttrText(e, u"bfb_fonttype");
    b.Continuo = AttrInt(e, u"bfb_continuo");
    b.Tipo = AttrInt(e, u"bfb_tipo");
    readAcoes(e, b.Acoes);
}

void readCamera(const TXpNode* e, TCamera& c)
{
    c.Imagem = AttrText(e, u"c_imagem");
    c.Left = AttrInt(e, u"c_left");
    c.Top = AttrInt(e, u"c_top");
    c.Height = AttrInt(e, u"c_height");
    c.Width = AttrInt(e, u"c_width");
    c.Intervalo = AttrInt(e, u"c_intervalo");
}

void readWeb(const TXpNode* e, TWeb& w)
{
    w.Endereco = AttrText(e, u"w_endereco");
    w.Left = AttrInt(e, u"w_left");
    w.Top = AttrInt(e, u"w_top");
    w.Height = AttrInt(e, u"w_height");
    w.Width = AttrInt(e, u"w_width");
    w.Caption = AttrText(e, u"w_caption");
}

void readJanela(const TXpNode* e, TJanelas& j)
{
    j.Nome = AttrText(e, u"j_nome");
    j.Cor = attrColor(e, u"j_corr", u"j_corg", u"j_corb");
    j.Imagem = AttrText(e, u"j_imagem");
    j.Numero = AttrInt(e, u"j_numero");
    const TXpNodeList& children = e->childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const TXpNode* child = children.item(i);
        if (!child->hasAttributes())
            continue;
        const WideString& name = child->nodeName();
        if (name == u"BOTAO")
            readBotao(child, j.Botoes[AddBotao(j.Botoes)]);
        else if (name == u"BOTAOFB")
            readBotaoFB(child, j.BotoesFB[AddBotaoFB(j.BotoesFB)]);
        else if (name == u"CAMERA")
            readCamera(child, j.Cameras[AddCamera(j.Cameras)]);
        else if (name == u"WEB")
            readWeb(child, j.Webs[AddWeb(j.Webs)]);
    }
}

}  // namespace

std::string AttrText(const TXpNode* element, WideView name)
{
    const WideString* value = attributeValue(element, name);
    return value ? ToUtf8(*value) : std::string();
}

int32_t AttrInt(const TXpNode* element, WideView name)
{
    const WideString* value = attributeValue(element, name);
    if (!value || value->empty())
        return 0;
    return StrToInt(ToUtf8(*value));
}

void ReadScreenMenus(TXpObjModel& aObjModel, const std::string& path, TMenu_Geral& ScreenMenus)
{
    aObjModel.NormalizeData = true;
    aObjModel.LoadDocumentFile(path);
    TMenu_Geral menus;
    const TXpNode* root = aObjModel.documentElement();
    const TXpNode* menusElement = root ? root->FindFirstElement(u"MENUS") : nullptr;
    if (menusElement) {
        auto items = menusElement->getElementsByTagName(u"MENU");
        const int count = items->length();
        for (int i = 0; i < count; ++i) {
            const TXpNode* item = items->item(i);
            if (!item->hasAttributes() || item->nodeName() != u"MENU")
                continue;
            TMenu& menu = menus[AddMenu(menus)];
            menu.Nome = AttrText(item, u"menu_nome");
            forEachChildNamed(item, u"JANELA", [&](const TXpNode* e) {
                readJanela(e, menu.Janelas[AddJanela(menu.Janelas)]);
            });
        }
    }
    ScreenMenus = std::move(menus);
}

void LoadScreen(TXpObjModel& aObjModel, const std::string& path, TMenu_Geral& ScreenMenus)
{
    ScreenMenus.clear();
    ReadScreenMenus(aObjModel, path, ScreenMenus);
}

}  // namespace velmora
