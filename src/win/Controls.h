#pragma once
// What the window and its panel share of the Windows API: child controls made at stored pixel
// places scaled to the window's DPI, the fonts those places were measured with, and text passed
// between the program's UTF-8 and the controls' UTF-16.

#include <windows.h>

#include <string>

namespace velmora {

// Positions in pixels at 96 DPI, scaled to the DPI of the monitor the window is on.
class TDpiScale {
public:
    explicit TDpiScale(int dpi = USER_DEFAULT_SCREEN_DPI) : m_dpi(dpi) {}
    int Dpi() const { return m_dpi; }
    int operator()(int pixels) const { return MulDiv(pixels, m_dpi, USER_DEFAULT_SCREEN_DPI); }
    RECT operator()(const RECT& bounds) const
    {
        return {(*this)(bounds.left), (*this)(bounds.top), (*this)(bounds.right), (*this)(bounds.bottom)};
    }

private:
    int m_dpi;
};

// A left, top, width, height place, as stored descriptions give them.
RECT Bounds(int left, int top, int width, int height);

// A font that frees itself: a face at a character height in pixels at 96 DPI.
class TFont {
public:
    TFont() = default;
    TFont(const wchar_t* face, int pixelHeight, const TDpiScale& scale, bool bold = false);
    ~TFont();
    TFont(TFont&& other) noexcept : m_font(other.m_font) { other.m_font = nullptr; }
    TFont& operator=(TFont&& other) noexcept;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    HFONT Handle() const { return m_font; }

private:
    HFONT m_font = nullptr;
};

// A child control of parent with its control identifier; visible unless style says otherwise.
HWND CreateChild(HWND parent, const wchar_t* className, int id, DWORD style, DWORD exStyle = 0,
                 const std::string& text = {});
void PlaceChild(HWND child, const RECT& bounds);
void SetControlFont(HWND control, const TFont& font);

void SetText(HWND control, const std::string& text);
std::string TextOf(HWND control);

}  // namespace velmora
