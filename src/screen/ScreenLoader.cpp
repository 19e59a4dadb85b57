#include "screen/ScreenLoader.h"

#include <cstring>

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

// The attributes of one element by exact name, as getNamedItem finds them. A map holds each
// exact name once and the tables read attributes mostly in the order files write them, so
// the search starts after the attribute found last.
class AttributeReader {
public:
    explicit AttributeReader(const TXpNode* element)
        : m_element(element), m_map(element->attributes()),
          m_folding(element->ownerDocument() && element->ownerDocument()->IgnoreCase)
    {
    }

    const WideString* Find(WideView name)
    {
        if (!m_map || m_folding)
            return attributeValue(m_element, name);
        const int count = m_map->length();
        for (int k = 0; k < count; ++k) {
            int i = m_next + k < count ? m_next + k : m_next + k - count;
            const TXpNode* attribute = m_map->item(i);
            const WideString& own = attribute->nodeName();
            if (own.size() == name.size() &&
                std::memcmp(own.data(), name.data(), name.size() * sizeof(WideChar)) == 0) {
                m_next = i + 1 < count ? i + 1 : 0;
                return &attribute->nodeValue();
            }
        }
        return nullptr;
    }
    std::string Text(WideView name)
    {
        const WideString* value = Find(name);
        return value ? ToUtf8(*value) : std::string();
    }
    int32_t Int(WideView name)
    {
        const WideString* value = Find(name);
        return value && !value->empty() ? StrToInt(ToUtf8(*value)) : 0;
    }
    TColor Color(WideView red, WideView green, WideView blue)
    {
        int32_t r = Int(red);
        int32_t g = Int(green);
        int32_t b = Int(blue);
        return ComposeColor(r, g, b);
    }

private:
    const TXpNode* m_element;
    const TXpNamedNodeMap* m_map;
    bool m_folding;
    int m_next = 0;
};

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

TFuncoes readAcao(const TXpNode* element)
{
    AttributeReader e(element);
    TFuncoes a;
    a.Funcao = e.Int(u"a_funcao");
    a.SubFuncao = e.Int(u"a_subfuncao");
    a.Descricao = e.Text(u"a_descricao");
    a.Modulo = e.Text(u"a_modulo");
    a.Continuo = e.Int(u"a_continuo");
    a.Tipo = e.Int(u"a_tipo");
    a.PntCena = e.Int(u"a_pntcena");
    a.Acao = e.Int(u"a_acao");
    return a;
}

void readAcoes(const TXpNode* button, TGFuncoes& acoes)
{
    forEachChildNamed(button, u"ACOES", [&](const TXpNode* e) {
        size_t i = AddFuncao(acoes);
        acoes[i] = readAcao(e);
    });
}

// The placement, look and behaviour that both kinds of button have, each attribute named by the
// kind's prefix ("b_", "bfb_") and the field, read in the order the screen file lists them.
template <class Button>
void readButtonCommon(AttributeReader& e, WideView prefix, Button& b)
{
    auto name = [prefix](WideView field) {
        WideString text(prefix);
        text += field;
        return text;
    };
    b.Left = e.Int(name(u"left"));
    b.Top = e.Int(name(u"top"));
    b.Height = e.Int(name(u"height"));
    b.Width = e.Int(name(u"width"));
    b.Style = e.Int(name(u"style"));
    b.Layout = e.Int(name(u"layout"));
    b.Color = e.Color(name(u"colorr"), name(u"colorg"), name(u"colorb"));
    b.FontColor = e.Color(name(u"fontcolorr"), name(u"fontcolorg"), name(u"fontcolorb"));
    b.FontSize = e.Int(name(u"fontsize"));
    b.FontType = e.Text(name(u"fonttype"));
    b.Continuo = e.Int(name(u"continuo"));
    b.Tipo = e.Int(name(u"tipo"));
}

void readBotao(const TXpNode* element, TBotoes& b)
{
    AttributeReader e(element);
    b.Caption = e.Text(u"b_caption");
    b.Imagem = e.Text(u"b_imagem");
    b.Modulo = e.Text(u"b_modulo");
    b.Funcao = e.Int(u"b_funcao");
    b.SubFuncao = e.Int(u"b_subfuncao");
    b.PntCena = e.Int(u"b_pntcena");
    b.Acao = e.Int(u"b_acao");
    readButtonCommon(e, u"b_", b);
    readAcoes(element, b.Acoes);
}

void readBotaoFB(const TXpNode* element, TBotoesFB& b)
{
    AttributeReader e(element);
    b.Caption = e.Text(u"bfb_caption");
    b.ImagemOn = e.Text(u"bfb_imagemon");
    b.ImagemOff = e.Text(u"bfb_imagemoff");
    b.TextoOn = e.Text(u"bfb_textoon");
    b.TextoOff = e.Text(u"bfb_textoff");
    b.FBStyle = e.Int(u"bfb_fbstyle");
    b.Modulo = e.Text(u"bfb_modulo");
    b.Canal = e.Int(u"bfb_canal");
    b.ModuloIdx = e.Int(u"bfb_moduloidx");
    readButtonCommon(e, u"bfb_", b);
    readAcoes(element, b.Acoes);
}

void readCamera(const TXpNode* element, TCamera& c)
{
    AttributeReader e(element);
    c.Imagem = e.Text(u"c_imagem");
    c.Left = e.Int(u"c_left");
    c.Top = e.Int(u"c_top");
    c.Height = e.Int(u"c_height");
    c.Width = e.Int(u"c_width");
    c.Intervalo = e.Int(u"c_intervalo");
}

void readWeb(const TXpNode* element, TWeb& w)
{
    AttributeReader e(element);
    w.Endereco = e.Text(u"w_endereco");
    w.Left = e.Int(u"w_left");
    w.Top = e.Int(u"w_top");
    w.Height = e.Int(u"w_height");
    w.Width = e.Int(u"w_width");
    w.Caption = e.Text(u"w_caption");
}

void readJanela(const TXpNode* element, TJanelas& j)
{
    AttributeReader e(element);
    j.Nome = e.Text(u"j_nome");
    j.Cor = e.Color(u"j_corr", u"j_corg", u"j_corb");
    j.Imagem = e.Text(u"j_imagem");
    j.Numero = e.Int(u"j_numero");
    const TXpNodeList& children = element->childNodes();
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
            forEachChildNamed(item, u"JANELA",
                              [&](const TXpNode* e) { readJanela(e, menu.Janelas[AddJanela(menu.Janelas)]); });
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
