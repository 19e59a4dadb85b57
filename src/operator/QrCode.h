#pragma once
// The QR code of the address the phone opens: its module matrix from libqrencode, and the two ways
// it is drawn without a window: block characters for a terminal, and a PBM image.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct TQrMatrix {
    int Width = 0;  // modules per side; 0 for no code
    std::vector<uint8_t> Modules;  // row by row, 1 for a dark module

    bool Dark(int x, int y) const
    {
        return Modules[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)] != 0;
    }
    bool Empty() const { return Width == 0; }
    bool operator==(const TQrMatrix&) const = default;
};

// Light modules around the code that a reader needs to find it.
inline constexpr int QrQuietZone = 2;

// The code of the text at error correction level M, in byte mode. Answers an empty matrix for an
// empty text or one too long for any QR version.
TQrMatrix EncodeQr(const std::string& text);

// Two module rows per line in half-block characters, dark modules drawn as ink, with a quiet zone.
// With colours the lines force black ink on white, so that a terminal with a dark background
// still shows dark modules dark.
std::vector<std::string> RenderQrLines(const TQrMatrix& matrix, bool colours);

// A plain PBM image ("P1"), scale pixels per module, with a quiet zone of margin modules.
std::string RenderQrPbm(const TQrMatrix& matrix, int scale, int margin);

}  // namespace velmora
