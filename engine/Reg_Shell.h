#pragma once
// The only door to the user's settings: one shared store, typed values addressed by a section and a value
// name below the application key ("\" + AppRegKeyName() + "\" + section), string lists, the most-recent
// lists, and window positions. Readers never fail: a missing key or value, a malformed value or any other
// error while reading gives the default. Writers pass errors to the caller (ESettingsError).
//
// Windows are described by a plain TFormPos so that this layer needs no widgets; the shell copies a form's
// geometry in and out.
#include "engine/Cp1251.h"

#include <cstdint>
#include <vector>

class TSettingsStore;

// The executable's file name without folder and extension.
Cp1251String AppRegKeyName();
// The shared store, made on first use over DefaultSettingsFile() (platform/settings).
TSettingsStore &AppRegistry();
// Frees the shared store (at the end of the program); the next AppRegistry() makes a new one, over the
// settings folder of that moment.
void FreeAppRegistry();

struct TWorkArea {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TFormPos {
    Cp1251String Name;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    // Sizeable borders (sizeable windows and sizeable tool windows) store their width and height too.
    bool Sizeable = false;
};

// Writes "Left", "Top" and, for sizeable forms, "Width", "Height" under the key "<form name>\Pos".
void SaveFormPos(const TFormPos &form);
// Reads them back when the key exists, applying each value as it is read; a missing or malformed value
// (or a negative size) ends the reading and keeps what was applied. Then FitFormToScreen in every case.
void RestoreFormPos(TFormPos &form, const TWorkArea &workArea);
// Puts the form wholly inside the work area: shrunk to it when larger, then moved in; when it cannot fit,
// its top-left corner stays visible.
void FitFormToScreen(TFormPos &form, const TWorkArea &workArea);

void RegWriteString(const Cp1251String &section, const Cp1251String &name, const Cp1251String &text);
// Empty when missing or on any error.
Cp1251String RegReadString(const Cp1251String &section, const Cp1251String &name);
void RegWriteInteger(const Cp1251String &section, const Cp1251String &name, int32_t value);
// 0 when missing or on any error (text that is not a decimal int32 included).
int32_t RegReadInteger(const Cp1251String &section, const Cp1251String &name);
// Stored as the integer 0 or 1.
void RegWriteBool(const Cp1251String &section, const Cp1251String &name, bool value);
bool RegReadBool(const Cp1251String &section, const Cp1251String &name, bool def);

// Names of the section's values, sorted; empty when the section is missing or on any error. Names without a
// code-page-1251 form are left out.
std::vector<Cp1251String> RegReadValueNames(const Cp1251String &section);

// A list is stored as one text value: its lines, each followed by a line break.
void RegWriteStrings(const Cp1251String &section, const Cp1251String &name,
                     const std::vector<Cp1251String> &list);
// Sets the list from the stored text when the value exists (lines end at CR, LF or CR LF); otherwise, or on
// any error, leaves the list unchanged.
void RegReadStrings(const Cp1251String &section, const Cp1251String &name, std::vector<Cp1251String> &list);
// Moves value to the top of the stored list (every entry equal to it, compared byte for byte, is removed
// first) and cuts the list to maxCount entries.
void RegAddMruString(const Cp1251String &section, const Cp1251String &name, const Cp1251String &value,
                     int maxCount);
