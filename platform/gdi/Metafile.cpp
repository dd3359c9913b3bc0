#include "platform/gdi/Metafile.h"

#include "platform/PlatformError.h"
#include "platform/gdi/MetafileRecords.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>

namespace {

// Metafiles are pictures, not archives: a bound far above any real one keeps a corrupt size from
// allocating without limit.
constexpr qint64 MaxFileBytes = qint64(256) << 20;

uint32_t U32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint16_t U16(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

} // namespace

uint64_t TMetafile::MeasureLength(const uint8_t *data, std::size_t available) {
    if (available >= 52 && U32(data) == 1 && U32(data + 40) == 0x464D4520)
        return U32(data + 48);
    std::size_t at = 0;
    if (available >= 22 && U32(data) == 0x9AC6CDD7)
        at = 22;
    if (available < at + 18 || (U16(data + at) != 1 && U16(data + at) != 2) || U16(data + at + 2) != 9)
        return 0;
    const uint64_t declared = at + uint64_t(U32(data + at + 6)) * 2;
    // Writers disagree whether the size counts a placeable header: the end-of-file record decides.
    uint64_t pos = at + 18;
    while (pos + 6 <= available) {
        const uint64_t n = uint64_t(U32(data + pos)) * 2;
        if (n < 6 || n > available - pos)
            break;
        if (U16(data + pos + 4) == 0)
            return pos + n;
        pos += n;
    }
    return declared;
}

void TMetafile::LoadFromBytes(const uint8_t *data, std::size_t size, const std::string &name) {
    const char *where = "TMetafile.LoadFromFile";
    TMetafileKind kind;
    int width = 0, height = 0;
    if (size >= 4 && U32(data) == 1) {
        const TEmfHeader h = ReadEmfHeader(data, size, where, name);
        kind = TMetafileKind::Enhanced;
        // The frame is in 0.01 mm.
        width = std::abs(MulDiv(int64_t(h.Frame[2]) - h.Frame[0], 96, 2540));
        height = std::abs(MulDiv(int64_t(h.Frame[3]) - h.Frame[1], 96, 2540));
    } else {
        const TWmfHeader h = ReadWmfHeader(data, size, where, name);
        kind = TMetafileKind::Windows;
        if (h.Placeable) {
            const int64_t inch = h.Inch ? h.Inch : 1440;
            width = std::abs(MulDiv(int64_t(h.Box[2]) - h.Box[0], 96, inch));
            height = std::abs(MulDiv(int64_t(h.Box[3]) - h.Box[1], 96, inch));
        } else {
            width = h.WindowExt[0];
            height = h.WindowExt[1];
        }
    }
    bytes_ = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    kind_ = kind;
    width_ = width;
    height_ = height;
}

void TMetafile::LoadFromFile(const std::string &fileName) {
    QFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::ReadOnly))
        RaisePlatformError("TMetafile.LoadFromFile", fileName + ": " + file.errorString().toStdString());
    if (file.size() > MaxFileBytes)
        RaisePlatformError("TMetafile.LoadFromFile", fileName + ": the file is too large for a metafile");
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        RaisePlatformError("TMetafile.LoadFromFile", fileName + ": " + file.errorString().toStdString());
    LoadFromBytes(reinterpret_cast<const uint8_t *>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size()), fileName);
}

void TMetafile::SaveToFile(const std::string &fileName) const {
    QSaveFile file(QString::fromStdString(fileName));
    const auto fail = [&] {
        RaisePlatformError("TMetafile.SaveToFile", fileName + ": " + file.errorString().toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        fail();
    const std::vector<uint8_t> &bytes = *bytes_;
    if (file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
        fail();
    if (!file.commit())
        fail();
}

const std::shared_ptr<const std::vector<uint8_t>> &TMetafile::EmptyBytes() {
    static const auto empty = std::make_shared<const std::vector<uint8_t>>();
    return empty;
}

void TMetafile::Clear() {
    bytes_ = EmptyBytes();
    kind_ = TMetafileKind::None;
    width_ = height_ = 0;
}

void TMetafile::Play(QPainter &painter, const QRectF &rect) const {
    if (kind_ == TMetafileKind::Enhanced)
        PlayEmf(bytes_->data(), bytes_->size(), painter, rect);
    else if (kind_ == TMetafileKind::Windows)
        PlayWmf(bytes_->data(), bytes_->size(), painter, rect);
}
