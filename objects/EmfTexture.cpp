#include "objects/EmfTexture.h"

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Metafile.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// Drawing runs on the UI thread only. The cache owns its textures, in creation order.
std::vector<std::unique_ptr<TEMFTexture>> &CacheList() {
    static std::vector<std::unique_ptr<TEMFTexture>> list;
    return list;
}

uint64_t Created = 0;
uint64_t Renders = 0;
// The frame being drawn and the one before it (0: none).
uint64_t CurrentFrame = 0;
uint64_t PreviousFrame = 0;

} // namespace

TEMFTexture::TEMFTexture(TBytes bytes) : Bytes_(std::move(bytes)) {
    if (!Bytes_)
        Bytes_ = std::make_shared<const std::vector<uint8_t>>();
    Render();
    Serial_ = ++Created;
}

TEMFTexture::~TEMFTexture() = default;

TEMFTexture *TEMFTexture::Create(TBytes bytes) {
    CacheList().push_back(std::unique_ptr<TEMFTexture>(new TEMFTexture(std::move(bytes))));
    return CacheList().back().get();
}

std::vector<TEMFTexture *> TEMFTexture::Cache() {
    std::vector<TEMFTexture *> list;
    for (const auto &t : CacheList())
        list.push_back(t.get());
    return list;
}

uint64_t TEMFTexture::CreatedCount() {
    return Created;
}

uint64_t TEMFTexture::RenderCount() {
    return Renders;
}

void TEMFTexture::FreeCache() {
    auto &list = CacheList();
    while (!list.empty())
        list.pop_back();
    CurrentFrame = PreviousFrame = 0;
}

bool TEMFTexture::InUse() const {
    return LastFrame_ != 0 && (LastFrame_ == CurrentFrame || LastFrame_ == PreviousFrame);
}

void TEMFTexture::Trim() {
    auto &list = CacheList();
    const auto count = static_cast<int32_t>(list.size());
    if (count < MaxCached)
        return;
    // The least-used free entry (the first of equals) up to `last`.
    const auto leastUsed = [&](int32_t last) {
        int32_t victim = -1;
        for (int32_t i = 0; i <= last; ++i) {
            const TEMFTexture &t = *list[std::size_t(i)];
            if (!t.InUse() && (victim < 0 || t.UseCount_ < list[std::size_t(victim)]->UseCount_))
                victim = i;
        }
        return victim;
    };
    int32_t victim = leastUsed(count / 2);
    if (victim < 0)
        victim = leastUsed(count - 1);
    if (victim >= 0)
        list.erase(list.begin() + victim);
}

bool TEMFTexture::SameBytes(const TBytes &bytes) const {
    if (Bytes_ == bytes)
        return true;
    const std::vector<uint8_t> &a = *Bytes_, &b = *bytes;
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

TEMFTexture *TEMFTexture::Acquire(const TMetafile &metafile, int32_t &hint, uint64_t frame) {
    return Acquire(metafile.SharedBytes(), hint, frame);
}

TEMFTexture *TEMFTexture::Acquire(const TBytes &given, int32_t &hint, uint64_t frame) {
    static const TBytes none = std::make_shared<const std::vector<uint8_t>>();
    const TBytes &bytes = given ? given : none;
    if (frame != 0 && frame != CurrentFrame) {
        PreviousFrame = CurrentFrame;
        CurrentFrame = frame;
    }
    Trim();
    auto &list = CacheList();
    const auto count = [&] { return static_cast<int32_t>(list.size()); };
    const auto found = [frame](TEMFTexture *t) {
        if (frame != 0)
            t->LastFrame_ = frame;
        return t;
    };
    if (hint >= 0 && hint < count() && list[std::size_t(hint)]->SameBytes(bytes))
        return found(list[std::size_t(hint)].get());
    if (hint > 0) {
        --hint;
        if (hint < count() && list[std::size_t(hint)]->SameBytes(bytes))
            return found(list[std::size_t(hint)].get());
    }
    for (int32_t i = count() - 1; i >= 0; --i) {
        TEMFTexture *t = list[std::size_t(i)].get();
        if (t->SameBytes(bytes)) {
            hint = i;
            ++t->UseCount_;
            return found(t);
        }
    }
    TEMFTexture *fresh = Create(bytes);
    fresh->UseCount_ = 1;
    return found(fresh);
}

void TEMFTexture::Render() {
    ++Renders;
    Texture_ = std::make_unique<TTextureSurface>();
    TMetafile metafile;
    try {
        if (!Bytes_->empty())
            metafile.LoadFromBytes(Bytes_->data(), Bytes_->size());
    } catch (const std::exception &) {
        metafile.Clear(); // a picture that is no metafile shows as nothing: all of it keyed out
    }
    const int w = BitmapSide(metafile.Width()), h = BitmapSide(metafile.Height());
    // Painted straight into the bitmap's memory (bottom row first, so the painter flips rows) and handed
    // to the texture as it is: the texture converts it once, applying the key, and uploads it once.
    TBitmap bitmap(w, h, TPixelFormat::pf32bit);
    {
        QImage view(bitmap.Bits(), w, h, bitmap.RowBytes(), QImage::Format_RGB32);
        const QColor key(KeyR, KeyG, KeyB);
        view.fill(key);
        QPainter painter(&view);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setTransform(QTransform(1, 0, 0, -1, 0, h));
        try {
            metafile.Play(painter, QRectF(1, 1, w - 2, h - 2));
        } catch (const std::exception &) {
            // What came before a malformed record stays painted.
        }
        painter.resetTransform();
        painter.setPen(Qt::NoPen);
        painter.setBrush(key);
        painter.drawRect(0, 0, w, 1);
        painter.drawRect(0, h - 1, w, 1);
        painter.drawRect(0, 0, 1, h);
        painter.drawRect(w - 1, 0, 1, h);
    }
    Texture_->SetColorKey(KeyR, KeyG, KeyB);
    Texture_->Assign(std::move(bitmap));
}
