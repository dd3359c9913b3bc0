#include "platform/gdi/GdiFont.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

QFont GdiFont(const QString &faceName, double height, int weight, bool italic, bool underline,
              bool strikeOut) {
    QFont font(faceName.isEmpty() ? QStringLiteral("Arial") : faceName);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight <= 0 ? 400 : weight, 1, 1000)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    double em = 16.0;
    if (height < 0) {
        em = -height;
    } else if (height > 0) {
        // The em is the part of the cell that the face's ascent and descent leave.
        font.setPixelSize(100);
        const QFontMetricsF m(font);
        const double cell = m.ascent() + m.descent();
        em = height * (cell > 0 ? 100.0 / cell : 1.0);
    }
    font.setPixelSize(static_cast<int>(std::clamp(std::lround(em), 1L, 16384L)));
    return font;
}
