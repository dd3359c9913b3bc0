#pragma once
// Keyboard helpers. Shortcuts of the plan are bound to physical keys, as the keys of a US layout name them:
// with a Russian layout active, the key that types "й" is still Q and the key that types "." is still "/".
// Keys that no layout changes (function keys, arrows, the numeric pad) keep their own codes.
#include <QKeyCombination>
#include <QKeySequence>
#include <QString>
#include <QStringView>

class QKeyEvent;
class QWidget;

// The key at the event's physical position (Qt::Key_Q for the key that types "й"), with the event's
// modifiers. Uses the native scan code where the platform gives one (X11 and Wayland key codes), else maps
// the letters of the Russian layout to the keys they lie on.
QKeyCombination PhysicalKeyCombination(const QKeyEvent &event);
// The same for the parts of an event; platform is the Qt platform name ("xcb", "wayland", "windows", ...).
int PhysicalKey(int key, quint32 nativeScanCode, quint32 nativeVirtualKey, QStringView platform);

// The event is the shortcut's first key combination. The numeric pad's digits and signs match only
// shortcuts that carry the numeric-pad marker (numeric-pad plus and minus are shortcuts of their own, and
// pad 1 is not the digit-row 1); its other keys (arrows, Home, End, Insert, Delete, Clear) also match the
// shortcuts of the same keys without the marker.
bool ShortcutMatches(const QKeySequence &shortcut, const QKeyEvent &event);
bool ShortcutMatches(const QKeyCombination &shortcut, const QKeyCombination &pressed);

// A widget that takes typed text: an editable line, text or spin box, or an editable combo (or its line).
bool IsTextInputWidget(const QWidget *widget);
// The application's focus widget takes typed text: plan shortcuts must leave such keys alone.
bool TextInputHasFocus();
