#pragma once
// The Qt boundary of model text.
#include "engine/Cp1251.h"

#include <QString>

QString ToQString(const Cp1251String &s);
// False (out unchanged) when the text holds a character without a code-page-1251 form; the caller tells
// the user, text is never silently changed.
bool TryFromQString(const QString &text, Cp1251String &out);
// Throws EStreetError naming the first character that cannot be stored.
Cp1251String FromQString(const QString &text);
