#include "platform/gdi/MetafileRecords.h"

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
