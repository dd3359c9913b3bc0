#include "ShellTestSupport.h"
#include "model/ItemTypes.h"
#include "shell/Cursors.h"
#include "shell/ImageData.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

// Pixels that are not fully transparent.
int Inked(const QImage &img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) != 0;
    return n;
}

} // namespace

TEST(Images, ListsHaveTheirSizesAndEveryImageShowsSomething) {
    TImageDataModule images;
    ASSERT_EQ(images.ItemsImageList.Count(), ItemTypeCount);
    for (int code = 0; code < ItemTypeCount; ++code) {
        const QImage img = images.ItemsImageList.Image(code).toImage();
        EXPECT_EQ(img.size(), QSize(16, 16)) << code;
        EXPECT_GT(Inked(img), 10) << code;
    }
    EXPECT_TRUE(images.ItemsImageList.Image(ItemTypeCount).isNull());
    EXPECT_EQ(images.InfoImageList.Count(), 1);

    EXPECT_EQ(images.Img24x24.Count(), static_cast<int>(TImageDataModule::ActionImageNames().size()));
    for (int i = 0; i < images.Img24x24.Count(); ++i) {
        const QImage img = images.Img24x24.Image(i).toImage();
        EXPECT_EQ(img.size(), QSize(24, 24)) << i;
        EXPECT_GT(Inked(img), 20)
            << TImageDataModule::ActionImageNames()[static_cast<std::size_t>(i)].toStdString();
    }
    // The plan's navigation actions have pictures; an unknown action gets a badge.
    for (const char *name :
         {"ShowAll", "ShiftLeft", "RotCW", "ScaleUp", "ShiftView", "AddPoint", "OpenStreet"})
        EXPECT_GE(TImageDataModule::ActionImageIndex(QString::fromLatin1(name)), 0) << name;
    EXPECT_EQ(TImageDataModule::ActionImageIndex(QStringLiteral("NoSuchAction")), -1);
    EXPECT_FALSE(images.ActionIcon(QStringLiteral("NoSuchAction"), QStringLiteral("Ширина")).isNull());
    EXPECT_FALSE(images.ActionIcon(QStringLiteral("ShiftLeft")).isNull());
}

TEST(Cursors, NumbersTenToFortyFour) {
    TCursorsDataModule cursors;
    ASSERT_EQ(cursors.ImageList.Count(), CursorCount);
    for (int number = FirstCursorNumber; number <= LastCursorNumber; ++number) {
        const QPixmap picture = cursors.ImageList.Image(number - FirstCursorNumber);
        const QImage opaque = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        const QCursor cursor = ScreenCursor(number);
        // The active point is the top-left pixel.
        EXPECT_EQ(cursor.hotSpot(), QPoint(0, 0)) << number;
        const QImage shown = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(shown.size(), QSize(32, 32)) << number;
        // The bottom-left pixel's colour is see-through wherever it occurs; every other pixel is opaque
        // and shows the picture.
        const QRgb key = opaque.pixel(0, 31);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                if (opaque.pixel(x, y) == key)
                    ASSERT_EQ(qAlpha(shown.pixel(x, y)), 0) << number << " " << x << "," << y;
                else
                    ASSERT_EQ(shown.pixel(x, y), opaque.pixel(x, y)) << number << " " << x << "," << y;
            }
        // The pointer's tip is drawn on the active point.
        EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 255) << number;
    }
    // A mode with cursor 15 shows picture 5.
    EXPECT_EQ(ScreenCursor(15).pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              TCursorsDataModule::CursorImage(cursors.ImageList.Image(5)));
    EXPECT_NE(ScreenCursor(10).pixmap().toImage(), ScreenCursor(11).pixmap().toImage());
    // Numbers without a cursor give the arrow.
    EXPECT_EQ(ScreenCursor(-1).shape(), Qt::ArrowCursor);
    EXPECT_EQ(ScreenCursor(45).shape(), Qt::ArrowCursor);
}
