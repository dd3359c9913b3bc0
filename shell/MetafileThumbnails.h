#pragma once
// Pictures of metafiles for the picture chooser, played through our metafile player.
#include "shell/EMFGridForm.h"

#include <QDateTime>
#include <QHash>
#include <QImage>

class TMetafileThumbnails : public IPictureThumbnails {
public:
    // Pictures larger than this on their longer side are drawn at this size (the grid scales them down
    // anyway; the limit bounds the memory of a folder of large pictures).
    static constexpr int MaxSide = 256;

    QImage Thumbnail(const QString &fileName) override;

private:
    struct TEntry {
        QDateTime modified;
        qint64 size = -1;
        QImage image;
    };
    QHash<QString, TEntry> cache_;
};
