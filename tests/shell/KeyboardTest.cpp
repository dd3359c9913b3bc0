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
    const QKeyCombination keypadPlus(Qt::KeypadModifier, Qt::Key_Plus);
    EXPECT_TRUE(ShortcutMatches(keypadPlus, QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)));
    EXPECT_FALSE(ShortcutMatches(keypadPlus, QKeyCombination(Qt::NoModifier, Qt::Key_Plus)));
    // Arrows of the numeric pad work as the arrow shortcuts.
    EXPECT_TRUE(
        ShortcutMatches(QKeyCombination(Qt::Key_Left), QKeyCombination(Qt::KeypadModifier, Qt::Key_Left)));
    const QKeyCombination copySample(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_C);
    EXPECT_TRUE(
        ShortcutMatches(copySample, QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_C)));
    EXPECT_FALSE(ShortcutMatches(copySample, QKeyCombination(Qt::ControlModifier, Qt::Key_C)));

    // A whole event: Ctrl and the key that types "с" under a Russian layout is Ctrl+C.
    QKeyEvent ev(QEvent::KeyPress, 0x0421, Qt::ControlModifier, 0, 0, 0, QStringLiteral("с"));
    EXPECT_TRUE(ShortcutMatches(QKeySequence(Qt::CTRL | Qt::Key_C), ev));
    EXPECT_FALSE(ShortcutMatches(QKeySequence(), ev));
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
