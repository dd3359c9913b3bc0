#include "platform/gdi/MetafileRecords.h"
#include "platform/gdi/Bitmap.h"

#include <QStringDecoder>

#include <cstdio>

void TRecordBytes::Fail(const std::string &reason) const {
    char head[96];
    std::snprintf(head, sizeof head,
                  "record of type %u at offset %zu is malformed: ", static_cast<unsigned>(type_), offset_);
    RaisePlatformError("TMetafile.Play", head + reason);
}

int32_t MulDiv(int64_t a, int64_t b, int64_t c) {
    const int64_t p = a * b;
    const int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (p < 0) != (c < 0);
    const int64_t q = ((p < 0 ? -p : p) + half) / (c < 0 ? -c : c);
    return static_cast<int32_t>(negative ? -q : q);
}

QString DecodeAnsi(const char *bytes, std::size_t n, uint8_t charSet) {
    const char *codec = "windows-1251";
    switch (charSet) {
    case 0:
        codec = "windows-1252";
        break; // Western
    case 161:
        codec = "windows-1253";
        break; // Greek
    case 162:
        codec = "windows-1254";
        break; // Turkish
    case 186:
        codec = "windows-1257";
        break; // Baltic
    case 238:
        codec = "windows-1250";
        break; // Central European
    default:
        break; // Cyrillic, default and the rest
    }
    QStringDecoder decoder(codec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes, static_cast<qsizetype>(n));
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(n)));
}

QImage DibImage(const TRecordBytes &r, std::size_t offBmi, uint64_t cbBmi, std::size_t offBits,
                uint64_t cbBits, bool mono, bool *bottomUp) {
    r.Need(offBmi, cbBmi, 1);
    r.Need(offBits, cbBits, 1);
    const uint32_t headerSize = r.Get<uint32_t>(offBmi);
    if (headerSize > cbBmi)
        r.Fail("the bitmap header runs past its size");
    if (headerSize >= 40) {
        const uint32_t compression = r.Get<uint32_t>(offBmi + 16);
        if (compression != 0 && compression != 3)
            return QImage(); // run lengths and embedded pictures are not drawn
    }
    if (bottomUp)
        *bottomUp = headerSize < 40 || r.Get<int32_t>(offBmi + 8) > 0;
    // A bitmap file of the header and pixels, read by the checked file reader.
    const uint64_t total = 14 + cbBmi + cbBits;
    if (total > TBitmap::MaxBytes)
        r.Fail("the bitmap is too large");
    std::vector<uint8_t> file(static_cast<std::size_t>(total));
    const uint32_t size32 = static_cast<uint32_t>(total), offset32 = static_cast<uint32_t>(14 + cbBmi);
    file[0] = 'B';
    file[1] = 'M';
    std::memcpy(&file[2], &size32, 4);
    std::memcpy(&file[10], &offset32, 4);
    std::memcpy(&file[14], r.Data() + offBmi, static_cast<std::size_t>(cbBmi));
    if (cbBits > 0)
        std::memcpy(&file[14 + static_cast<std::size_t>(cbBmi)], r.Data() + offBits,
                    static_cast<std::size_t>(cbBits));
    TBitmap bitmap;
    try {
        bitmap.LoadFromBytes(file.data(), file.size(), "bitmap");
    } catch (const EBitmapError &e) {
        r.Fail(e.what());
    }
    if (!mono || bitmap.PixelFormat() != TPixelFormat::pf1bit)
        return bitmap.ToQImage();
    QImage indices(bitmap.Width(), bitmap.Height(), QImage::Format_Indexed8);
    indices.setColorTable({0xFF000000u, 0xFFFFFFFFu});
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t *bits = bitmap.ScanLine(y);
        uint8_t *out = indices.scanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x)
            out[x] = (bits[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return indices;
}

QImage PackedDibImage(const TRecordBytes &r, std::size_t at, bool mono, bool *bottomUp) {
    const uint32_t headerSize = r.Get<uint32_t>(at);
    uint64_t colours = 0, entry = 4, masks = 0;
    if (headerSize == 12) {
        const uint16_t bits = r.Get<uint16_t>(at + 10);
        colours = bits <= 8 ? uint64_t(1) << bits : 0;
        entry = 3;
    } else {
        const uint16_t bits = r.Get<uint16_t>(at + 14);
        const uint32_t compression = r.Get<uint32_t>(at + 16), used = r.Get<uint32_t>(at + 32);
        colours = used != 0 ? used : (bits <= 8 ? uint64_t(1) << bits : 0);
        masks = compression == 3 && headerSize == 40 ? 12 : 0;
    }
    const uint64_t cbBmi = uint64_t(headerSize) + masks + colours * entry;
    if (at > r.Size() || cbBmi > r.Size() - at)
        r.Fail("the bitmap header and colours run past the record");
    const std::size_t offBits = at + static_cast<std::size_t>(cbBmi);
    return DibImage(r, at, cbBmi, offBits, r.Size() - offBits, mono, bottomUp);
}
