// The canvas over a painter: rectangles with and without pen, text and its extents, stretching.
#include "platform/gdi/CanvasEmulator.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr QRgb White = 0xFFFFFFFF, Black = 0xFF000000, Red = 0xFFFF0000, Magenta = 0xFFFF00FF,
               Blue = 0xFF0000FF;

std::string Mask(const QImage &img, QRgb colour) {
    std::string s;
    for (int y = 0; y < img.height(); ++y) {
        if (y)
            s += '|';
        for (int x = 0; x < img.width(); ++x)
            s += img.pixel(x, y) == colour ? '#' : '.';
    }
    return s;
}

QImage Blank(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(White);
    return img;
}

TEST(CanvasEmulator, RectangleLeavesOutItsRightAndBottomEdges) {
    QImage img = Blank(8, 6);
    {
        QPainter p(&img);
        TCanvasEmulator c(p);
        c.Pen.Color = Qt::black;
        c.Brush.Color = Qt::red;
        c.Rectangle(1, 1, 6, 5);
    }
    EXPECT_EQ(Mask(img, Black), "........|.#####..|.#...#..|.#...#..|.#####..|........");
    EXPECT_EQ(Mask(img, Red), "........|........|..###...|..###...|........|........");
}

// A picture texture's background: filled without a pen one pixel beyond each edge, then framed
// with a clear brush.
TEST(CanvasEmulator, FillWithoutPenAndFrameWithClearBrush) {
    QImage img = Blank(5, 4);
    {
        QPainter p(&img);
        TCanvasEmulator c(p);
        c.Pen.Style = TPenStyle::Clear;
        c.Brush.Color = Qt::blue;
        c.Rectangle(-1, -1, 5 + 1, 4 + 1);
        c.Pen = {Qt::magenta, TPenStyle::Solid, 1};
        c.Brush.Style = TBrushStyle::Clear;
        c.Rectangle(0, 0, 5, 4);
    }
    EXPECT_EQ(Mask(img, Magenta), "#####|#...#|#...#|#####");
    EXPECT_EQ(Mask(img, Blue), ".....|.###.|.###.|.....");
}

TEST(CanvasEmulator, TextLiesInItsExtentInPureColours) {
    QImage img = Blank(80, 40);
    QSize hh, h;
    {
        QPainter p(&img);
        TCanvasEmulator c(p);
        c.Font.Height = -20;
        c.Font.Color = Qt::red;
        c.Brush.Color = Qt::blue;
        hh = c.TextExtent("HH");
        h = c.TextExtent("H");
        c.TextOut(5, 5, "HH");
        c.Brush.Style = TBrushStyle::Clear;
        c.TextOut(50, 5, "H");
    }
    // Liberation Sans at a 20-pixel em: the cell is ascent plus descent, about 1.15 em.
    EXPECT_EQ(hh.width(), 2 * h.width());
    EXPECT_NEAR(hh.height(), 23, 1);
    std::set<QRgb> colours;
    int redInside = 0, outside = 0;
    const QRect box(5, 5, hh.width(), hh.height()), box2(50, 5, h.width(), h.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            colours.insert(c);
            if (box.contains(x, y) || box2.contains(x, y))
                redInside += c == Red;
            else
                outside += c != White;
        }
    EXPECT_GT(redInside, 60);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(colours, (std::set<QRgb>{White, Red, Blue}));
    EXPECT_EQ(img.pixel(box.left(), box.top()), Blue);    // the opaque text's background
    EXPECT_EQ(img.pixel(box2.left(), box2.top()), White); // the clear brush leaves it
}

TEST(CanvasEmulator, FontSizeFollowsTheDeviceResolution) {
    for (const auto &[dpi, height] : {std::pair{96, -11}, std::pair{300, -33}}) {
        QImage img = Blank(4, 4);
        img.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
        img.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
        QPainter p(&img);
        TCanvasEmulator c(p);
        c.SetFontSize(8);
        EXPECT_EQ(c.Font.Height, height) << dpi << " dpi";
    }
}

TEST(CanvasEmulator, CopyRectStretchesPixelForPixel) {
    QImage src(2, 2, QImage::Format_RGB32);
    src.setPixel(0, 0, Red);
    src.setPixel(1, 0, Blue);
    src.setPixel(0, 1, Black);
    src.setPixel(1, 1, Magenta);
    QImage img = Blank(6, 4);
    {
        QPainter p(&img);
        TCanvasEmulator c(p);
        c.CopyRect(QRect(1, 0, 4, 4), src, QRect(0, 0, 2, 2));
        c.Brush.Color = Qt::black;
        c.FillRect(QRect(5, 3, 1, 1));
    }
    EXPECT_EQ(Mask(img, Red), ".##...|.##...|......|......");
    EXPECT_EQ(Mask(img, Magenta), "......|......|...##.|...##.");
    EXPECT_EQ(Mask(img, White), "#....#|#....#|#....#|#.....");
}

} // namespace
