#include "win/OperatorPanel.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "base/LocalTime.h"
#include "base/Utf16.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// Each column's width at 96 DPI but the last, which takes what is left of the table.
constexpr int PhoneColumnWidths[] = {80, 108, 68, 48, 38};

// The panel's places at 96 DPI, from the left edge of the window's stored area.
constexpr int Margin = 12;
constexpr int Top = 8;
constexpr int AddressLeft = 14;
constexpr int AddressWidth = 200;
constexpr int ProjectLeft = AddressLeft + AddressWidth + Margin;
constexpr int ProjectWidth = TOperatorPanel::PanelWidth - ProjectLeft - Margin;
constexpr int CaptionHeight = 16;
constexpr int ComboHeight = 21;
constexpr int CheckHeight = 17;
constexpr int LineHeight = 13;
// Problems the list shows without scrolling.
constexpr int ProblemLinesShown = 4;

constexpr COLORREF Reachable = RGB(0, 128, 0);
constexpr COLORREF Unreachable = RGB(192, 0, 0);
// Light enough that no camera takes the faded code for one to open, dark enough to show its place.
constexpr COLORREF FadedModule = RGB(214, 214, 214);
constexpr COLORREF ProgressFill = RGB(150, 215, 150);

constexpr DWORD LabelStyle = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

struct TPanelControl {
    int Id;
    const wchar_t* ClassName;
    DWORD Style;
    DWORD ExStyle;
    const char* Text;
};

// In creation order, which is the order Tab visits those that take focus.
const TPanelControl PanelControls[] = {
    {TOperatorPanel::IdSeparador, L"STATIC", WS_VISIBLE | SS_ETCHEDVERT, 0, ""},
    {TOperatorPanel::IdLabelEnderecoParaOIphone, L"STATIC", LabelStyle, 0, SEnderecoParaOIphone},
    {TOperatorPanel::IdComboEndereco, WC_COMBOBOXW, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, ""},
    {TOperatorPanel::IdQrCode, L"STATIC", WS_VISIBLE | SS_OWNERDRAW, 0, ""},
    // A borderless read-only box: the operator can copy the URL for a phone that reads no codes.
    {TOperatorPanel::IdLabelPagina, L"EDIT", WS_VISIBLE | ES_READONLY | ES_CENTER | ES_MULTILINE, 0, ""},
    {TOperatorPanel::IdLabelAcessivel, L"STATIC", LabelStyle, 0, ""},
    {TOperatorPanel::IdCheckRepublicar, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, SRepublicarAoSalvar},
    {TOperatorPanel::IdLabelVerificacao, L"STATIC", LabelStyle, 0, ""},
    {TOperatorPanel::IdListaProblemas, L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
     WS_EX_CLIENTEDGE, ""},
    {TOperatorPanel::IdLabelAparelhos, L"STATIC", LabelStyle, 0, SAparelhos},
    {TOperatorPanel::IdTabelaAparelhos, WC_LISTVIEWW,
     WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, WS_EX_CLIENTEDGE, ""},
    {TOperatorPanel::IdLabelDica, L"STATIC", SS_LEFT | SS_NOPREFIX | WS_BORDER, 0, ""},
};

std::wstring wide(const std::string& text)
{
    return WideOf(text);
}

std::string joinLines(const std::vector<std::string>& lines, const char* separator)
{
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += separator;
        text += line;
    }
    return text;
}

bool visible(HWND control)
{
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The height that text takes in control's font, wrapped at width.
int wrappedHeight(HWND control, const std::string& text, int width)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT area{0, 0, width, 0};
    const std::wstring shown = wide(text);
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return area.bottom - area.top;
}

// The width of one line of text in control's font.
int textWidth(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return static_cast<int>(size.cx);
}

}  // namespace

TOperatorPanel::TOperatorPanel(HWND window, const TClock& clock) : m_window(window), m_clock(clock)
{
    for (const TPanelControl& made : PanelControls)
        CreateChild(window, made.ClassName, made.Id, made.Style, made.ExStyle, made.Text);
    SendMessageW(control(IdCheckRepublicar), BM_SETCHECK, BST_CHECKED, 0);

    HWND table = control(IdTabelaAparelhos);
    ListView_SetExtendedListViewStyle(table, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    for (int column = 0; column < static_cast<int>(std::size(PhoneColumnHeaders)); ++column) {
        std::wstring header = wide(PhoneColumnHeaders[column]);
        LVCOLUMNW description{};
        description.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
        // Numbers line up on the right.
        description.fmt = column == ColumnDados || column == ColumnNotFound ? LVCFMT_RIGHT : LVCFMT_LEFT;
        description.pszText = header.data();
        description.iSubItem = column;
        ListView_InsertColumn(table, column, &description);
    }
}

TOperatorPanel::~TOperatorPanel()
{
    keepAwake(false);
}

void TOperatorPanel::Place(const TDpiScale& scale, const TFont& font)
{
    m_scale = scale;
    m_bold = TFont(L"MS Sans Serif", 11, scale, true);
    for (const TPanelControl& made : PanelControls)
        SetControlFont(control(made.Id), font);
    HWND table = control(IdTabelaAparelhos);
    for (int column = 0; column < static_cast<int>(std::size(PhoneColumnWidths)); ++column)
        ListView_SetColumnWidth(table, column, scale(PhoneColumnWidths[column]));
    layout();
    ListView_SetColumnWidth(table, ColumnUltimoPedido, LVSCW_AUTOSIZE_USEHEADER);
}

// Top to bottom in each column; a hidden problem list or hint gives its room to the phones' table.
void TOperatorPanel::layout()
{
    const TDpiScale& px = m_scale;
    constexpr int Left = 486;
    constexpr int Bottom = 382 - Margin;
    const int addressLeft = Left + AddressLeft, projectLeft = Left + ProjectLeft;

    PlaceChild(control(IdSeparador), px(Bounds(Left + 2, Top, 2, Bottom - Top)));
    PlaceChild(control(IdLabelEnderecoParaOIphone), px(Bounds(addressLeft, Top, AddressWidth, CaptionHeight)));
    // A drop-down list's height includes its open list.
    PlaceChild(control(IdComboEndereco), px(Bounds(addressLeft, Top + 18, AddressWidth, 160)));
    int y = Top + 18 + ComboHeight + 6;
    PlaceChild(control(IdQrCode), px(Bounds(addressLeft + (AddressWidth - QrSide) / 2, y, QrSide, QrSide)));
    y += QrSide + 4;
    PlaceChild(control(IdLabelPagina), px(Bounds(addressLeft, y, AddressWidth, 2 * LineHeight + 4)));
    y += 2 * LineHeight + 8;
    // The reachability line may carry the network's profile and what to change: all the room down to
    // the republish box.
    const int checkTop = Bottom - CheckHeight;
    PlaceChild(control(IdLabelAcessivel), px(Bounds(addressLeft, y, AddressWidth, checkTop - 4 - y)));
    PlaceChild(control(IdCheckRepublicar), px(Bounds(addressLeft, checkTop, AddressWidth, CheckHeight)));

    y = Top;
    PlaceChild(control(IdLabelVerificacao), px(Bounds(projectLeft, y, ProjectWidth, 2 * LineHeight + 2)));
    y += 2 * LineHeight + 6;
    if (visible(control(IdListaProblemas))) {
        PlaceChild(control(IdListaProblemas),
                   px(Bounds(projectLeft, y, ProjectWidth, ProblemLinesShown * LineHeight + 6)));
        y += ProblemLinesShown * LineHeight + 12;
    }
    PlaceChild(control(IdLabelAparelhos), px(Bounds(projectLeft, y, ProjectWidth, CaptionHeight)));
    y += CaptionHeight + 2;
    int tableBottom = Bottom;
    HWND hint = control(IdLabelDica);
    if (visible(hint)) {
        const int height = wrappedHeight(hint, TextOf(hint), px(ProjectWidth) - 4) + 4;
        const RECT place = px(Bounds(projectLeft, 0, ProjectWidth, 0));
        PlaceChild(hint, {place.left, px(Bottom) - height, place.right, px(Bottom)});
        tableBottom = Bottom - MulDiv(height, USER_DEFAULT_SCREEN_DPI, px.Dpi()) - 6;
    }
    PlaceChild(control(IdTabelaAparelhos), px(Bounds(projectLeft, y, ProjectWidth, std::max(0, tableBottom - y))));
    InvalidateRect(m_window, nullptr, TRUE);
}

bool TOperatorPanel::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IdComboEndereco && HIWORD(wParam) == CBN_SELCHANGE) {
            const LRESULT index = SendMessageW(control(IdComboEndereco), CB_GETCURSEL, 0, 0);
            if (index >= 0 && static_cast<size_t>(index) < m_addressValues.size() && OnAddressChosen)
                OnAddressChosen(m_addressValues[static_cast<size_t>(index)]);
            return true;
        }
        if (LOWORD(wParam) == IdCheckRepublicar && HIWORD(wParam) == BN_CLICKED) {
            if (OnRepublishToggled)
                OnRepublishToggled(RepublishOnSave());
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        auto* dc = reinterpret_cast<HDC>(wParam);
        if (id == IdLabelDica) {
            SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
            SetBkColor(dc, GetSysColor(COLOR_INFOBK));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
            return true;
        }
        if (id != IdLabelAcessivel)
            return false;
        SetTextColor(dc, m_reachable ? Reachable : Unreachable);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    case WM_DRAWITEM:
        if (wParam != IdQrCode)
            return false;
        drawQr(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom != IdTabelaAparelhos)
            return false;
        if (header->code == NM_CUSTOMDRAW) {
            result = customDrawPhones(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            return true;
        }
        if (header->code == LVN_GETINFOTIPW) {
            auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(lParam);
            const size_t row = static_cast<size_t>(tip.iItem);
            if (row < m_phones.size() && m_phones[row].State == TPhoneState::Incomplete && tip.cchTextMax > 0) {
                const std::wstring missing = wide(PhoneMissingText(m_phones[row]));
                lstrcpynW(tip.pszText, missing.c_str(), tip.cchTextMax);
            }
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool TOperatorPanel::RepublishOnSave() const
{
    return SendMessageW(control(IdCheckRepublicar), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TOperatorPanel::ShowAddresses(const std::vector<TOperatorAddress>& addresses, int chosen)
{
    std::vector<std::string> labels, values;
    for (const TOperatorAddress& address : addresses) {
        labels.push_back(AddressLabel(address));
        values.push_back(address.Address);
    }
    HWND combo = control(IdComboEndereco);
    std::vector<std::string> shown;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        shown.push_back(Utf8OfWide(item));
    }
    // The same entries keep the list as it is, open or not; only the choice moves.
    if (labels != shown || values != m_addressValues) {
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        int widest = 0;
        for (const std::string& label : labels) {
            const std::wstring item = wide(label);
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            widest = std::max(widest, textWidth(combo, item));
        }
        // An entry is never cut short: the open list widens to the longest.
        SendMessageW(combo, CB_SETDROPPEDWIDTH, widest + GetSystemMetrics(SM_CXVSCROLL) + m_scale(8), 0);
        m_addressValues = values;
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

void TOperatorPanel::ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive)
{
    m_qrUrl = url;
    m_qr = matrix;
    m_serverActive = serverActive;
    SetText(control(IdLabelPagina), url);
    InvalidateRect(control(IdQrCode), nullptr, TRUE);
}

// The code in whole pixels per module, centred: a module's edge that falls between pixels blurs,
// and a camera reads sharp edges.
void TOperatorPanel::drawQr(const DRAWITEMSTRUCT& item) const
{
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    if (m_qr.Empty())
        return;
    const int width = area.right - area.left, height = area.bottom - area.top;
    const int modules = m_qr.Width + 2 * QrQuietZone;
    const int module = std::max(1, std::min(width, height) / modules);
    const int side = modules * module;
    const RECT code{area.left + (width - side) / 2, area.top + (height - side) / 2, 0, 0};
    const RECT white{code.left, code.top, code.left + side, code.top + side};
    FillRect(item.hDC, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH dark = CreateSolidBrush(m_serverActive ? RGB(0, 0, 0) : FadedModule);
    const int first = QrQuietZone * module;
    for (int y = 0; y < m_qr.Width; ++y)
        for (int x = 0; x < m_qr.Width; ++x)
            if (m_qr.Dark(x, y)) {
                const RECT cell{code.left + first + x * module, code.top + first + y * module,
                                code.left + first + (x + 1) * module, code.top + first + (y + 1) * module};
                FillRect(item.hDC, &cell, dark);
            }
    DeleteObject(dark);
    if (!m_serverActive)
        drawInactive(item.hDC, area);
}

// Until the server is active nothing answers the code: the state in a box across its middle.
void TOperatorPanel::drawInactive(HDC dc, const RECT& area) const
{
    const std::wstring text = wide(SServidorInativoNoQr);
    HGDIOBJ oldFont = SelectObject(dc, m_bold.Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    const int padX = m_scale(8), padY = m_scale(5);
    const int centreX = (area.left + area.right) / 2, centreY = (area.top + area.bottom) / 2;
    RECT box{centreX - size.cx / 2 - padX, centreY - size.cy / 2 - padY, 0, 0};
    box.right = box.left + size.cx + 2 * padX;
    box.bottom = box.top + size.cy + 2 * padY;
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
}

void TOperatorPanel::ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>& lines)
{
    SetText(control(IdLabelVerificacao), lines.empty() ? std::string() : lines.front());
    HWND problems = control(IdListaProblemas);
    SendMessageW(problems, LB_RESETCONTENT, 0, 0);
    for (size_t i = 1; i < lines.size(); ++i)
        SendMessageW(problems, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(lines[i]).c_str()));
    ShowWindow(problems, lines.size() > 1 ? SW_SHOWNA : SW_HIDE);
    layout();
}

void TOperatorPanel::ShowPhones(const std::vector<TPhoneSnapshot>& phones)
{
    HWND table = control(IdTabelaAparelhos);
    const auto rows = static_cast<int>(phones.size());
    while (ListView_GetItemCount(table) > rows)
        ListView_DeleteItem(table, ListView_GetItemCount(table) - 1);
    while (ListView_GetItemCount(table) < rows) {
        LVITEMW item{};
        item.iItem = ListView_GetItemCount(table);
        ListView_InsertItem(table, &item);
    }
    m_phones = phones;
    bool importing = false;
    for (int row = 0; row < rows; ++row) {
        showPhone(row, phones[static_cast<size_t>(row)]);
        importing = importing || phones[static_cast<size_t>(row)].State == TPhoneState::Importing;
    }
    keepAwake(importing);
}

void TOperatorPanel::showPhone(int row, const TPhoneSnapshot& phone)
{
    const std::string texts[] = {
        phone.Address,           PhoneStateName(phone.State),    PhoneProgressText(phone),
        FormatSize(phone.Bytes), std::to_string(phone.NotFound), timeOfDay(phone.LastRequest),
    };
    HWND table = control(IdTabelaAparelhos);
    for (int column = 0; column < static_cast<int>(std::size(texts)); ++column) {
        std::wstring text = wide(texts[column]);
        ListView_SetItemText(table, row, column, text.data());
    }
}

LRESULT TOperatorPanel::customDrawPhones(NMLVCUSTOMDRAW& draw) const
{
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        // The table offers each row, then each of its cells (the two answers are one value).
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        if (draw.iSubItem != ColumnProgresso || draw.nmcd.dwItemSpec >= m_phones.size() ||
            PhoneProgressText(m_phones[draw.nmcd.dwItemSpec]).empty())
            return CDRF_DODEFAULT;
        drawProgress(draw);
        return CDRF_SKIPDEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

// The progress as a bar in its cell, its "N/M" text dark on both the filled and the empty part.
void TOperatorPanel::drawProgress(const NMLVCUSTOMDRAW& draw) const
{
    const TPhoneSnapshot& phone = m_phones[draw.nmcd.dwItemSpec];
    RECT cell{};
    ListView_GetSubItemRect(draw.nmcd.hdr.hwndFrom, static_cast<int>(draw.nmcd.dwItemSpec), ColumnProgresso,
                            LVIR_BOUNDS, &cell);
    HDC dc = draw.nmcd.hdc;
    InflateRect(&cell, -2, -2);
    FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
    // Only a manifest that lists files has progress text: the count is never zero.
    RECT filled = cell;
    filled.right = cell.left +
        MulDiv(cell.right - cell.left, static_cast<int>(phone.Served),
               static_cast<int>(std::max<size_t>(phone.Listed, 1)));
    HBRUSH fill = CreateSolidBrush(ProgressFill);
    FillRect(dc, &filled, fill);
    DeleteObject(fill);
    FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
    const std::wstring text = wide(PhoneProgressText(phone));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

std::string TOperatorPanel::timeOfDay(TClock::time_point moment) const
{
    if (moment == TClock::time_point{})
        return {};
    const auto age = std::chrono::duration_cast<std::chrono::system_clock::duration>(m_clock.now() - moment);
    long offset = 0;
    const std::optional<std::tm> fields =
        LocalTimeFields(std::chrono::system_clock::to_time_t(m_clock.wallNow() - age), offset);
    if (!fields)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", fields->tm_hour, fields->tm_min, fields->tm_sec);
    return text;
}

void TOperatorPanel::ShowReachability(bool reachable, const std::string& text)
{
    m_reachable = reachable;
    SetText(control(IdLabelAcessivel), text);
    InvalidateRect(control(IdLabelAcessivel), nullptr, TRUE);
}

void TOperatorPanel::ShowHint(const std::vector<std::string>& lines)
{
    HWND hint = control(IdLabelDica);
    SetText(hint, joinLines(lines, "\r\n"));
    ShowWindow(hint, lines.empty() ? SW_HIDE : SW_SHOWNA);
    layout();
}

// While a phone imports the computer must not fall asleep under it; afterwards it may again.
void TOperatorPanel::keepAwake(bool importing)
{
    if (importing == m_keptAwake)
        return;
    SetThreadExecutionState(ES_CONTINUOUS | (importing ? ES_SYSTEM_REQUIRED : 0));
    m_keptAwake = importing;
}

}  // namespace velmora
