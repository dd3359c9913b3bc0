#include "engine/FontTexture.h"

#include "engine/NumText.h"
#include "platform/gdi/CanvasEmulator.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

int32_t FontHeightOfPoints(int32_t points) {
    return -static_cast<int32_t>(std::llround(double(points) * 96.0 / 72.0));
}

void TFontTexture::BuildFromCanvas(const TFontTextureSource &source, int32_t size) {
    size = std::clamp(size, 16, 16384);
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TCanvasEmulator canvas(painter);
    canvas.Font.Name = QString::fromStdString(source.Name);
    canvas.Font.Color = QColor::fromRgb(source.Color & 0xFFFFFF);
    canvas.Brush.Style = TBrushStyle::Clear;

    std::array<QString, 256> chars;
    for (int c = 0; c < 256; ++c)
        chars[static_cast<std::size_t>(c)] = QString::fromUcs4(
            std::array<char32_t, 1>{Cp1251ToUnicode(static_cast<unsigned char>(c))}.data(), 1);

    // The cells must lie inside the atlas: a font too high for 16 rows is made one pixel smaller at a time;
    // a character wider than a column (a tab's advance, say) is cut to the column.
    int32_t height = source.Height == 0 ? -16 : source.Height;
    const int32_t sign = height < 0 ? -1 : 1;
    std::array<TCell, 256> cells{};
    int32_t maxW = 0, maxH = 0;
    for (;;) {
        canvas.Font.Height = height;
        maxW = maxH = 0;
        for (int c = 0; c < 256; ++c) {
            const QSize e = canvas.TextExtent(chars[static_cast<std::size_t>(c)]);
            TCell &cell = cells[static_cast<std::size_t>(c)];
            cell.Width = std::min(e.width() + 1, size / 16);
            cell.Height = e.height() + 1;
            maxW = std::max(maxW, cell.Width);
            maxH = std::max(maxH, cell.Height);
        }
        if (16 * maxH <= size || std::abs(height) <= 1)
            break;
        height -= sign;
    }
    maxH = std::min(maxH, size / 16);
    for (int c = 0; c < 256; ++c) {
        TCell &cell = cells[static_cast<std::size_t>(c)];
        cell.Width = std::min(cell.Width, maxW);
        cell.Height = std::min(cell.Height, maxH);
        cell.X = (c % 16) * maxW;
        cell.Y = (c / 16) * maxH;
        cell.S0 = float(cell.X) / float(size);
        cell.DS = float(cell.Width) / float(size);
        cell.T0 = float(cell.Y + 1) / float(size);
        cell.DT = float(cell.Height - 1) / float(size);
    }
    const QColor halo(240, 240, 240);
    for (int c = 0; c < 256; ++c) {
        const TCell &cell = cells[static_cast<std::size_t>(c)];
        const QString &text = chars[static_cast<std::size_t>(c)];
        painter.setClipRect(cell.X, cell.Y, cell.Width, cell.Height);
        canvas.Font.Color = halo;
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j)
                canvas.TextOut(cell.X + 1 + i, cell.Y + j, text);
        canvas.Font.Color = QColor::fromRgb(source.Color & 0xFFFFFF);
        canvas.TextOut(cell.X + 1, cell.Y, text);
    }
    painter.end();

    cells_ = cells;
    size_ = size;
    maxW_ = maxW;
    maxH_ = maxH;
    fontHeight_ = height;
    scale_ = 256.0f / float(size);
    SetColorKey(255, 255, 255);
    // Linear, not anisotropic: several taps over a keyed atlas without mipmaps eat thin strokes.
    MinFilter = MagFilter = 1;
    Assign(TBitmap::FromQImage(image, TPixelFormat::pf32bit));
}

void TFontTexture::TextQuads(const Cp1251String &text, std::vector<TDxVertex> &block) const {
    block.resize(text.Size() * 6);
    const float h = float(maxH_) * scale_;
    float x = 0;
    TDxVertex *v = block.data();
    for (std::size_t i = 0; i < text.Size(); ++i) {
        const TCell &c = cells_[text[i]];
        const float x1 = float(c.Width) * scale_ + x - 1;
        const float s1 = c.S0 + c.DS, t1 = c.T0 + c.DT;
        v[0] = {x, 0, 0, 0, c.S0, t1};
        v[1] = {x, h, 0, 0, c.S0, c.T0};
        v[2] = {x1, h, 0, 0, s1, c.T0};
        v[3] = {x1, h, 0, 0, s1, c.T0};
        v[4] = {x1, 0, 0, 0, s1, t1};
        v[5] = {x, 0, 0, 0, c.S0, t1};
        v += 6;
        x = x1 + 1;
    }
}

int32_t TFontTexture::TextHeight() const {
    return Round32(double(maxH_) * scale_);
}

int32_t TFontTexture::TextWidth(const Cp1251String &text) const {
    double w = 0;
    for (std::size_t i = 0; i < text.Size(); ++i)
        w += cells_[text[i]].Width;
    return Round32(w * scale_);
}
