#pragma once
// The mouse cursors of the modes, numbered 10 to 44: picture i of the cursors module becomes cursor
// 10 + i. Every cursor's active point is its top-left pixel; the colour of a picture's bottom-left pixel is
// see-through wherever it occurs in the picture.
#include "shell/ImageData.h"

#include <QCursor>
#include <QImage>

constexpr int FirstCursorNumber = 10;
constexpr int CursorCount = 35;
constexpr int LastCursorNumber = FirstCursorNumber + CursorCount - 1;

class TCursorsDataModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    // Draws the pictures and registers their cursors under the numbers 10 to 44.
    explicit TCursorsDataModule(QObject *parent = nullptr);
    ~TCursorsDataModule() override;

    // 35 pictures of 32 x 32, opaque on white.
    TImageList ImageList{QSize(32, 32)};

    // The picture with its background colour (that of its bottom-left pixel) made transparent.
    static QImage CursorImage(const QPixmap &picture);
};

// The cursor registered under the number; the arrow for a number without one (-1 among them).
QCursor ScreenCursor(int number);
// The cursors module made at start-up, or one made on first use (owned by the application object).
TCursorsDataModule &CursorsData();
