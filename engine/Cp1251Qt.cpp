#include "engine/Cp1251Qt.h"

#include "engine/StreetError.h"

QString ToQString(const Cp1251String &s) {
    QString out;
    out.reserve(static_cast<qsizetype>(s.Size()));
    for (std::size_t i = 0; i < s.Size(); ++i)
        out += QChar(static_cast<char16_t>(Cp1251ToUnicode(s[i])));
    return out;
}

bool TryFromQString(const QString &text, Cp1251String &out) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        const int b = UnicodeToCp1251(ch.unicode());
        if (b < 0 || ch.isSurrogate())
            return false;
        bytes += static_cast<char>(b);
    }
    out = Cp1251String(std::move(bytes));
    return true;
}

Cp1251String FromQString(const QString &text) {
    for (QChar ch : text) {
        if (ch.isSurrogate() || UnicodeToCp1251(ch.unicode()) < 0)
            RaiseStreetError("FromQString", "character U+" + QString::number(ch.unicode(), 16).toUpper().toStdString() +
                                                " has no code page 1251 form");
    }
    Cp1251String s;
    TryFromQString(text, s);
    return s;
}
