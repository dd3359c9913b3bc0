#include "shell/MetafileThumbnails.h"

#include "platform/gdi/Metafile.h"

#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <exception>

QImage TMetafileThumbnails::Thumbnail(const QString &fileName) {
    const QFileInfo info(fileName);
    if (!info.isFile())
        return {};
    auto it = cache_.find(fileName);
    if (it != cache_.end() && it->modified == info.lastModified() && it->size == info.size())
        return it->image;

    QImage image;
    try {
        TMetafile mf;
        mf.LoadFromFile(fileName.toStdString());
        int w = mf.Width(), h = mf.Height();
        if (w > 0 && h > 0) {
            const double k = std::min(1.0, double(MaxSide) / std::max(w, h));
            w = std::max(1, int(w * k));
            h = std::max(1, int(h * k));
            image = QImage(w, h, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            try {
                mf.Play(p, QRectF(0, 0, w, h));
            } catch (const std::exception &) {
                // A malformed record ends playback; what was drawn before it is still the best picture.
            }
        }
    } catch (const std::exception &) {
        image = QImage();
    }
    cache_.insert(fileName, TEntry{info.lastModified(), info.size(), image});
    return image;
}
