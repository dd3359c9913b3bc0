#pragma once
// A QFont for a font as GDI-style callers describe it. The height counts as the platform counts it:
// below 0 the character height (the em) in pixels, above 0 the cell height (ascent plus descent), 0 a
// default 16-pixel em. Text is drawn without anti-aliasing, so that colour keys stay exact.
#include <QFont>
#include <QString>

QFont GdiFont(const QString &faceName, double height, int weight = 400, bool italic = false,
              bool underline = false, bool strikeOut = false);
