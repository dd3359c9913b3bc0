#pragma once
// The program's shared pictures, drawn in code when the module is made: action images (24 x 24), one
// image per item type (16 x 16, indexed by type code) and the info-line image. Actions take the desktop
// theme's icon where the theme has one for the command, with our picture as the fallback.
#include "shell/Qk2Root.h"

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <vector>

class TImageList {
public:
    explicit TImageList(const QSize &size) : size_(size) {}
    QSize Size() const { return size_; }
    int Count() const { return static_cast<int>(images_.size()); }
    // A null pixmap for an index out of range.
    QPixmap Image(int index) const;
    QIcon Icon(int index) const;
    void Add(const QPixmap &image) { images_.push_back(image); }

private:
    QSize size_;
    std::vector<QPixmap> images_;
};

class TImageDataModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    explicit TImageDataModule(QObject *parent = nullptr);

    // Action images in the order of ActionImageNames().
    TImageList Img24x24{QSize(24, 24)};
    // One per item type; the index is the type code.
    TImageList ItemsImageList{QSize(16, 16)};
    // The image of info lines that can be edited by a click.
    TImageList InfoImageList{QSize(16, 16)};

    // Names of the actions that have a picture of their own, in image order.
    static const std::vector<QString> &ActionImageNames();
    // The image index of an action name; -1 when it has no picture of its own.
    static int ActionImageIndex(const QString &actionName);
    // The action's icon: the theme's icon for the command where there is one, else its picture, else a
    // badge with the first letters of the fallback text.
    QIcon ActionIcon(const QString &actionName, const QString &fallbackText = QString()) const;
    // A 24 x 24 badge with up to three characters, for actions without a picture.
    static QPixmap TextBadge(const QString &text);
};

// The program's image data module: the one made at start-up, or one made on first use (owned by the
// application object).
TImageDataModule &ImageData();
