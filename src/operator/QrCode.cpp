#include "operator/QrCode.h"

#include <memory>
#include <qrencode.h>

namespace velmora {

namespace {

// Outside the matrix every module is light: the quiet zone.
bool darkAt(const TQrMatrix& matrix, int x, int y)
{
    return x >= 0 && y >= 0 && x < matrix.Width && y < matrix.Width && matrix.Dark(x, y);
}

const char* halfBlock(bool upper, bool lower)
{
    if (upper && lower)
        return "\u2588";
    if (upper)
        return "\u2580";
    if (lower)
        return "\u2584";
    return " ";
}

}  // namespace

TQrMatrix EncodeQr(const std::string& text)
{
    if (text.empty())
        return {};
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M),
                                                    QRcode_free);
    if (!code)
        return {};
    TQrMatrix matrix;
    matrix.Width = code->width;
    const size_t count = static_cast<size_t>(code->width) * static_cast<size_t>(code->width);
    matrix.Modules.resize(count);
    for (size_t i = 0; i < count; ++i)
        matrix.Modules[i] = code->data[i] & 1;
    return matrix;
}

std::vector<std::string> RenderQrLines(const TQrMatrix& matrix, bool colours)
{
    std::vector<std::string> lines;
    if (matrix.Empty())
        return lines;
    const int from = -QrQuietZone, to = matrix.Width + QrQuietZone;
    for (int y = from; y < to; y += 2) {
        std::string line = colours ? "\x1b[30;107m" : "";
        for (int x = from; x < to; ++x)
            line += halfBlock(darkAt(matrix, x, y), y + 1 < to && darkAt(matrix, x, y + 1));
        if (colours)
            line += "\x1b[0m";
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string RenderQrPbm(const TQrMatrix& matrix, int scale, int margin)
{
    const int side = (matrix.Width + 2 * margin) * scale;
    std::string image = "P1\n" + std::to_string(side) + " " + std::to_string(side) + "\n";
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px)
            image += darkAt(matrix, px / scale - margin, py / scale - margin) ? "1 " : "0 ";
        image += "\n";
    }
    return image;
}

}  // namespace velmora
