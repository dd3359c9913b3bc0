#include "shell/Keyboard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <array>
#include <utility>

namespace {

// Linux input key codes of the keys that layouts change, with the key a US layout gives them. X11 and
// Wayland report these codes plus 8 as the native scan code.
constexpr std::array<std::pair<quint32, int>, 47> EvdevKeys = {{
    {2, Qt::Key_1},
    {3, Qt::Key_2},
    {4, Qt::Key_3},
    {5, Qt::Key_4},
    {6, Qt::Key_5},
    {7, Qt::Key_6},
    {8, Qt::Key_7},
    {9, Qt::Key_8},
    {10, Qt::Key_9},
    {11, Qt::Key_0},
    {12, Qt::Key_Minus},
    {13, Qt::Key_Equal},
    {16, Qt::Key_Q},
    {17, Qt::Key_W},
    {18, Qt::Key_E},
    {19, Qt::Key_R},
    {20, Qt::Key_T},
    {21, Qt::Key_Y},
    {22, Qt::Key_U},
    {23, Qt::Key_I},
    {24, Qt::Key_O},
    {25, Qt::Key_P},
    {26, Qt::Key_BracketLeft},
    {27, Qt::Key_BracketRight},
    {30, Qt::Key_A},
    {31, Qt::Key_S},
    {32, Qt::Key_D},
    {33, Qt::Key_F},
    {34, Qt::Key_G},
    {35, Qt::Key_H},
    {36, Qt::Key_J},
    {37, Qt::Key_K},
    {38, Qt::Key_L},
    {39, Qt::Key_Semicolon},
    {40, Qt::Key_Apostrophe},
    {41, Qt::Key_QuoteLeft},
    {43, Qt::Key_Backslash},
    {44, Qt::Key_Z},
    {45, Qt::Key_X},
    {46, Qt::Key_C},
    {47, Qt::Key_V},
    {48, Qt::Key_B},
    {49, Qt::Key_N},
    {50, Qt::Key_M},
    {51, Qt::Key_Comma},
    {52, Qt::Key_Period},
    {53, Qt::Key_Slash},
}};

// The Russian layout's letters (upper case, as Qt reports keys) and the US keys they lie on.
constexpr std::array<std::pair<char16_t, int>, 33> RussianKeys = {{
    {u'Й', Qt::Key_Q},         {u'Ц', Qt::Key_W},           {u'У', Qt::Key_E},
    {u'К', Qt::Key_R},         {u'Е', Qt::Key_T},           {u'Н', Qt::Key_Y},
    {u'Г', Qt::Key_U},         {u'Ш', Qt::Key_I},           {u'Щ', Qt::Key_O},
    {u'З', Qt::Key_P},         {u'Х', Qt::Key_BracketLeft}, {u'Ъ', Qt::Key_BracketRight},
    {u'Ф', Qt::Key_A},         {u'Ы', Qt::Key_S},           {u'В', Qt::Key_D},
    {u'А', Qt::Key_F},         {u'П', Qt::Key_G},           {u'Р', Qt::Key_H},
    {u'О', Qt::Key_J},         {u'Л', Qt::Key_K},           {u'Д', Qt::Key_L},
    {u'Ж', Qt::Key_Semicolon}, {u'Э', Qt::Key_Apostrophe},  {u'Я', Qt::Key_Z},
    {u'Ч', Qt::Key_X},         {u'С', Qt::Key_C},           {u'М', Qt::Key_V},
    {u'И', Qt::Key_B},         {u'Т', Qt::Key_N},           {u'Ь', Qt::Key_M},
    {u'Б', Qt::Key_Comma},     {u'Ю', Qt::Key_Period},      {u'Ё', Qt::Key_QuoteLeft},
}};

} // namespace

int PhysicalKey(int key, quint32 nativeScanCode, quint32 nativeVirtualKey, QStringView platform) {
    if (platform == u"xcb" || platform == u"wayland") {
        if (nativeScanCode >= 8)
            for (const auto &[code, k] : EvdevKeys)
                if (code == nativeScanCode - 8)
                    return k;
    } else if (platform == u"windows") {
        // Virtual-key codes of letters and digits name the key's place, whatever the layout.
        if ((nativeVirtualKey >= '0' && nativeVirtualKey <= '9') ||
            (nativeVirtualKey >= 'A' && nativeVirtualKey <= 'Z'))
            return static_cast<int>(nativeVirtualKey);
    }
    if (key <= 0 || key > 0xFFFF)
        return key;
    const QChar upper = QChar(static_cast<char16_t>(key)).toUpper();
    for (const auto &[letter, k] : RussianKeys)
        if (upper == QChar(letter))
            return k;
    return key;
}

QKeyCombination PhysicalKeyCombination(const QKeyEvent &event) {
    const int key = PhysicalKey(event.key(), event.nativeScanCode(), event.nativeVirtualKey(),
                                QGuiApplication::platformName());
    return QKeyCombination(event.modifiers(), static_cast<Qt::Key>(key));
}

bool ShortcutMatches(const QKeyCombination &shortcut, const QKeyCombination &pressed) {
    Qt::KeyboardModifiers mods = pressed.keyboardModifiers();
    // The pad's digits and signs are keys of their own: they match only shortcuts made for the pad. Its
    // other keys (arrows, Home, Insert, Delete, Clear without Num Lock) are the same keys as those of the
    // main block.
    const bool padCharacter = mods.testFlag(Qt::KeypadModifier) && pressed.key() < Qt::Key_Escape;
    if (!padCharacter && !shortcut.keyboardModifiers().testFlag(Qt::KeypadModifier))
        mods &= ~Qt::KeypadModifier;
    return shortcut.key() == pressed.key() && shortcut.keyboardModifiers() == mods;
}

bool ShortcutMatches(const QKeySequence &shortcut, const QKeyEvent &event) {
    if (shortcut.isEmpty())
        return false;
    return ShortcutMatches(shortcut[0], PhysicalKeyCombination(event));
}

bool IsTextInputWidget(const QWidget *widget) {
    if (widget == nullptr)
        return false;
    if (const auto *line = qobject_cast<const QLineEdit *>(widget))
        return !line->isReadOnly();
    if (const auto *text = qobject_cast<const QTextEdit *>(widget))
        return !text->isReadOnly();
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(widget))
        return !plain->isReadOnly();
    if (qobject_cast<const QAbstractSpinBox *>(widget))
        return true;
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable();
    return false;
}

bool TextInputHasFocus() {
    return IsTextInputWidget(QApplication::focusWidget());
}
