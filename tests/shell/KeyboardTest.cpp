#include "shell/Keyboard.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

TEST(Keyboard, PhysicalKeysIgnoreTheLayout) {
    struct Case {
        const char *name;
        int key;
        quint32 scanCode, virtualKey;
        const char16_t *platform;
        int expected;
    };
    const Case cases[] = {
        {"X11: the key typing Й is Q", 0x0419, 24, 0x6ca, u"xcb", Qt::Key_Q},
        {"X11: the key typing Ц is W", 0x0426, 25, 0x6c3, u"xcb", Qt::Key_W},
        {"X11: the slash key typing . is /", Qt::Key_Period, 61, 0x2e, u"xcb", Qt::Key_Slash},
        {"X11: the digit row", Qt::Key_Exclam, 10, 0x21, u"xcb", Qt::Key_1},
        {"X11: function keys keep their code", Qt::Key_F5, 71, 0xffc2, u"xcb", Qt::Key_F5},
        {"X11: numeric pad keeps its code", Qt::Key_Plus, 86, 0xffab, u"xcb", Qt::Key_Plus},
        {"Wayland uses the same codes", 0x0419, 24, 0, u"wayland", Qt::Key_Q},
        {"Windows: virtual-key codes of letters", 0x0419, 16, 'Q', u"windows", Qt::Key_Q},
        {"Windows: other keys keep their code", Qt::Key_Delete, 0x53, 0x2e, u"windows", Qt::Key_Delete},
        {"no scan code: Russian letters map to their keys", 0x0419, 0, 0, u"offscreen", Qt::Key_Q},
        {"no scan code: lower-case letters too", 0x0439, 0, 0, u"offscreen", Qt::Key_Q},
        {"no scan code: Latin letters stay", Qt::Key_W, 0, 0, u"offscreen", Qt::Key_W},
        {"no scan code: Ё is the key left of 1", 0x0401, 0, 0, u"offscreen", Qt::Key_QuoteLeft},
        {"no scan code: F1 stays", Qt::Key_F1, 0, 0, u"offscreen", Qt::Key_F1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PhysicalKey(c.key, c.scanCode, c.virtualKey, QStringView(c.platform)), c.expected)
            << c.name;
}

TEST(Keyboard, ShortcutMatching) {
    constexpr auto None = Qt::NoModifier, Pad = Qt::KeypadModifier, Shift = Qt::ShiftModifier,
                   Ctrl = Qt::ControlModifier;
    const auto K = [](Qt::KeyboardModifiers m, Qt::Key k) { return QKeyCombination(m, k); };
    struct Case {
        const char *name;
        QKeyCombination shortcut, pressed;
        bool matches;
    };
    const Case cases[] = {
        // The digits, "/" and "-" of the main rows run the point editor's commands; the pad's do not.
        {"1", K(None, Qt::Key_1), K(None, Qt::Key_1), true},
        {"pad 1 is not 1", K(None, Qt::Key_1), K(Pad, Qt::Key_1), false},
        {"pad 2 is not 2", K(None, Qt::Key_2), K(Pad, Qt::Key_2), false},
        {"pad 7 is not 7", K(None, Qt::Key_7), K(Pad, Qt::Key_7), false},
        {"pad 8 is not 8", K(None, Qt::Key_8), K(Pad, Qt::Key_8), false},
        {"Shift+1 is not 1", K(None, Qt::Key_1), K(Shift, Qt::Key_1), false},
        {"Ctrl+1 is not 1", K(None, Qt::Key_1), K(Ctrl, Qt::Key_1), false},
        {"Shift+pad 1 is not 1", K(None, Qt::Key_1), K(Shift | Pad, Qt::Key_1), false},
        {"/", K(None, Qt::Key_Slash), K(None, Qt::Key_Slash), true},
        {"pad / is not /", K(None, Qt::Key_Slash), K(Pad, Qt::Key_Slash), false},
        {"Ctrl+/", K(Ctrl, Qt::Key_Slash), K(Ctrl, Qt::Key_Slash), true},
        {"Ctrl+pad / is not Ctrl+/", K(Ctrl, Qt::Key_Slash), K(Ctrl | Pad, Qt::Key_Slash), false},
        {"Ctrl+/ is not /", K(None, Qt::Key_Slash), K(Ctrl, Qt::Key_Slash), false},
        {"-", K(None, Qt::Key_Minus), K(None, Qt::Key_Minus), true},
        {"pad - is not -", K(None, Qt::Key_Minus), K(Pad, Qt::Key_Minus), false},
        {"Shift+pad - is not -", K(None, Qt::Key_Minus), K(Shift | Pad, Qt::Key_Minus), false},
        // Shortcuts made for the pad take only the pad's keys.
        {"pad -", K(Pad, Qt::Key_Minus), K(Pad, Qt::Key_Minus), true},
        {"- is not pad -", K(Pad, Qt::Key_Minus), K(None, Qt::Key_Minus), false},
        {"Ctrl+pad - is not pad -", K(Pad, Qt::Key_Minus), K(Ctrl | Pad, Qt::Key_Minus), false},
        {"pad +", K(Pad, Qt::Key_Plus), K(Pad, Qt::Key_Plus), true},
        {"+ is not pad +", K(Pad, Qt::Key_Plus), K(None, Qt::Key_Plus), false},
        {"pad 1 for a pad shortcut", K(Pad, Qt::Key_1), K(Pad, Qt::Key_1), true},
        // The pad's other keys are the keys of the main block.
        {"pad arrow", K(None, Qt::Key_Left), K(Pad, Qt::Key_Left), true},
        {"pad Clear (5 without Num Lock)", K(None, Qt::Key_Clear), K(Pad, Qt::Key_Clear), true},
        {"pad Delete", K(None, Qt::Key_Delete), K(Pad, Qt::Key_Delete), true},
        {"Shift+Ctrl+C", K(Shift | Ctrl, Qt::Key_C), K(Shift | Ctrl, Qt::Key_C), true},
        {"Ctrl+C is not Shift+Ctrl+C", K(Shift | Ctrl, Qt::Key_C), K(Ctrl, Qt::Key_C), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ShortcutMatches(c.shortcut, c.pressed), c.matches) << c.name;

    // A whole event: Ctrl and the key that types "с" under a Russian layout is Ctrl+C.
    QKeyEvent ev(QEvent::KeyPress, 0x0421, Qt::ControlModifier, 0, 0, 0, QStringLiteral("с"));
    EXPECT_TRUE(ShortcutMatches(QKeySequence(Qt::CTRL | Qt::Key_C), ev));
    EXPECT_FALSE(ShortcutMatches(QKeySequence(), ev));
    // The pad's 8 (X11 key code 80) is not the digit row's 8.
    QKeyEvent pad8(QEvent::KeyPress, Qt::Key_8, Qt::KeypadModifier, 80, 0xffb8, 0, QStringLiteral("8"));
    EXPECT_FALSE(ShortcutMatches(QKeySequence(Qt::Key_8), pad8));
}

TEST(Keyboard, TextInputWidgets) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit;
    auto *readOnly = new QLineEdit;
    readOnly->setReadOnly(true);
    auto *spin = new QSpinBox;
    auto *list = new QComboBox;
    auto *editable = new QComboBox;
    editable->setEditable(true);
    auto *button = new QPushButton;
    for (QWidget *w : std::initializer_list<QWidget *>{edit, readOnly, spin, list, editable, button})
        layout->addWidget(w);

    EXPECT_TRUE(IsTextInputWidget(edit));
    EXPECT_FALSE(IsTextInputWidget(readOnly));
    EXPECT_TRUE(IsTextInputWidget(spin));
    EXPECT_FALSE(IsTextInputWidget(list));
    EXPECT_TRUE(IsTextInputWidget(editable));
    EXPECT_TRUE(IsTextInputWidget(editable->lineEdit()));
    EXPECT_FALSE(IsTextInputWidget(button));
    EXPECT_FALSE(IsTextInputWidget(nullptr));

    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    if (QApplication::focusWidget() == edit) { // focus needs an active window, which the platform may refuse
        EXPECT_TRUE(TextInputHasFocus());
        button->setFocus();
        EXPECT_FALSE(TextInputHasFocus());
    }
}
