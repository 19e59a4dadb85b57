#include "win/Controls.h"

#include "base/Utf16.h"

namespace velmora {

RECT Bounds(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

TFont::TFont(const wchar_t* face, int pixelHeight, const TDpiScale& scale, bool bold)
{
    LOGFONTW description{};
    // A negative height asks for the character height, without the internal leading.
    description.lfHeight = -scale(pixelHeight);
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
    m_font = CreateFontIndirectW(&description);
}

TFont::~TFont()
{
    if (m_font)
        DeleteObject(m_font);
}

TFont& TFont::operator=(TFont&& other) noexcept
{
    if (this != &other) {
        if (m_font)
            DeleteObject(m_font);
        m_font = other.m_font;
        other.m_font = nullptr;
    }
    return *this;
}

HWND CreateChild(HWND parent, const wchar_t* className, int id, DWORD style, DWORD exStyle, const std::string& text)
{
    return CreateWindowExW(exStyle, className, WideOf(text).c_str(), WS_CHILD | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void PlaceChild(HWND child, const RECT& bounds)
{
    SetWindowPos(child, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetControlFont(HWND control, const TFont& font)
{
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Handle()), TRUE);
}

void SetText(HWND control, const std::string& text)
{
    SetWindowTextW(control, WideOf(text).c_str());
}

std::string TextOf(HWND control)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8OfWide(text);
}

}  // namespace velmora
