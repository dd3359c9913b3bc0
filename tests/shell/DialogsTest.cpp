#include "ShellTestSupport.h"
#include "engine/Cp1251Qt.h"
#include "shell/FloatSpinEdit.h"
#include "shell/FloatSpinForm.h"
#include "shell/SelectStringDialog.h"
#include "shell/StoredDialogs.h"
#include "shell/TagSetEditorForm.h"
#include "shell/ValueEditorForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <optional>

namespace {

using Dialogs = shelltest::ShellTest;

// Runs the body under a locale whose decimal separator is a comma, where the system offers one.
class CommaLocale {
public:
    CommaLocale() : old_(QLocale()) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        for (const char *name : {"de_DE.UTF-8", "ru_RU.UTF-8", "de_DE", "ru_RU"})
            if (std::setlocale(LC_ALL, name) != nullptr)
                break;
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(old_);
    }

private:
    QLocale old_;
};

void TypeKey(QWidget *w, QChar c) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
}

} // namespace

TEST_F(Dialogs, NumbersAreReadWithAPointWhateverTheLocale) {
    CommaLocale comma;
    struct Case {
        const char *name;
        std::optional<const char *> answer; // nullopt: Cancel
        bool result;
        double value;
        bool badNumber;
    };
    const Case cases[] = {
        {"a number", "3.75", true, 3.75, false},
        {"blanks and an exponent", " -1.5e2 ", true, -150, false},
        {"a comma is no decimal separator", "3,75", false, 2.5, true},
        {"letters", "abc", false, 2.5, true},
        {"empty text", "", false, 2.5, true},
        {"Cancel leaves the value as it was", std::nullopt, false, 2.5, false},
    };
    for (const Case &c : cases) {
        TScriptedPrompts prompts;
        TUserPromptsGuard guard(prompts);
        if (c.answer)
            prompts.EnterText(QString::fromUtf8(*c.answer));
        else
            prompts.CancelText();
        double value = 2.5;
        EXPECT_EQ(TValueEditorForm::EditFloat(QStringLiteral("Ширина"), QPoint(), value), c.result) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
        EXPECT_EQ(prompts.LastEditDefault(), QStringLiteral("2.50")) << c.name;
        EXPECT_EQ(prompts.Messages().contains(QStringLiteral("Неверный формат числа.")), c.badNumber)
            << c.name;
        EXPECT_TRUE(prompts.Done()) << c.name;
    }
}

TEST_F(Dialogs, ConfirmingTheShownTextUnchangedKeepsTheExactValue) {
    double d = 2.0 / 3.0;
    prompts_.EnterText(QStringLiteral("0.67"));
    EXPECT_TRUE(TValueEditorForm::EditFloat(QStringLiteral("Длина"), QPoint(), d));
    EXPECT_EQ(d, 2.0 / 3.0);
    float f = 1.0f / 3.0f;
    prompts_.EnterText(QStringLiteral("0.33"));
    EXPECT_TRUE(TValueEditorForm::EditSingle(QStringLiteral("Длина"), QPoint(), f));
    EXPECT_EQ(f, 1.0f / 3.0f);
    // A changed text is taken as typed, even when it names the same rounded number.
    prompts_.EnterText(QStringLiteral("0.330"));
    EXPECT_TRUE(TValueEditorForm::EditSingle(QStringLiteral("Длина"), QPoint(), f));
    EXPECT_EQ(f, 0.33f);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(Dialogs, SinglesAndIntegersRefuseWhatTheirTypeCannotHold) {
    struct Case {
        const char *answer;
        bool isInteger;
        bool result;
    };
    const Case cases[] = {
        {"-12", true, true},    {"2147483647", true, true}, {"2147483648", true, false},
        {"1.5", true, false},   {"1e38", false, true},      {"1e39", false, false},
        {"-3.25", false, true}, {"1e999", false, false},
    };
    for (const Case &c : cases) {
        TScriptedPrompts prompts;
        TUserPromptsGuard guard(prompts);
        prompts.EnterText(QString::fromLatin1(c.answer));
        if (c.isInteger) {
            int32_t v = 7;
            EXPECT_EQ(TValueEditorForm::EditInteger(QStringLiteral("Номер"), QPoint(), v), c.result)
                << c.answer;
            EXPECT_EQ(prompts.LastEditDefault(), QStringLiteral("7"));
            if (!c.result) {
                EXPECT_EQ(v, 7) << c.answer;
            }
        } else {
            float v = 1.0f;
            EXPECT_EQ(TValueEditorForm::EditSingle(QStringLiteral("Высота"), QPoint(), v), c.result)
                << c.answer;
            if (c.result)
                EXPECT_EQ(v, static_cast<float>(std::stod(c.answer))) << c.answer;
            else
                EXPECT_EQ(v, 1.0f) << c.answer;
        }
    }
}

TEST_F(Dialogs, StringsWithoutACodePage1251FormAreRefused) {
    Cp1251String text;
    prompts_.EnterText(QStringLiteral("Улица Мира"));
    EXPECT_TRUE(TValueEditorForm::EditString(QStringLiteral("Название"), QPoint(), text, Cp("старое")));
    EXPECT_EQ(text, Cp("Улица Мира"));
    EXPECT_EQ(prompts_.LastEditDefault(), QStringLiteral("старое"));

    prompts_.EnterText(QStringLiteral("Ulica 東京"));
    EXPECT_FALSE(TValueEditorForm::EditString(QStringLiteral("Название"), QPoint(), text, Cp("старое")));
    EXPECT_EQ(text, Cp("старое"));
    EXPECT_EQ(prompts_.Messages().size(), 1);

    prompts_.CancelText();
    EXPECT_FALSE(
        TValueEditorForm::EditString(QStringLiteral("Название"), QPoint(), text, Cp("по умолчанию")));
    EXPECT_EQ(text, Cp("по умолчанию"));
}

TEST_F(Dialogs, TheValueEditorKeepsAHistoryAndAWidthPerCaption) {
    for (int i = 0; i < 22; ++i) {
        TValueEditorForm form(QStringLiteral("Ширина"), QPoint(10, 10), QString());
        form.SetText(QString::number(i));
        form.ClickOk();
        EXPECT_EQ(form.result(), 1);
    }
    TValueEditorForm form(QStringLiteral("Ширина"), QPoint(10, 10), QStringLiteral("5"));
    const QStringList history = form.History();
    ASSERT_EQ(history.size(), 20);
    EXPECT_EQ(history.front(), QStringLiteral("21"));
    EXPECT_EQ(history.back(), QStringLiteral("2"));
    EXPECT_EQ(form.Text(), QStringLiteral("5"));
    // Another caption has a history of its own.
    TValueEditorForm other(QStringLiteral("Длина"), QPoint(10, 10), QString());
    EXPECT_TRUE(other.History().isEmpty());

    form.show();
    form.resize(300, form.height());
    form.reject();
    EXPECT_EQ(RegReadInteger(Cp("ValueEditorForm\\Ширина"), Cp("Width")), 300);
    TValueEditorForm again(QStringLiteral("Ширина"), QPoint(10, 10), QString());
    again.show();
    EXPECT_EQ(again.width(), 300);
    again.reject();
}

TEST_F(Dialogs, SelectingAnEntry) {
    const QStringList items{QStringLiteral("Слева"), QStringLiteral("Справа")};
    int index = 0;
    prompts_.Select(1);
    EXPECT_TRUE(TSelectStringDialog::Execute(QPoint(), QStringLiteral("Сторона"), index, items));
    EXPECT_EQ(index, 1);
    // Cancel still reports the entry selected.
    prompts_.Select(0, false);
    EXPECT_FALSE(TSelectStringDialog::Execute(QPoint(), QStringLiteral("Сторона"), index, items));
    EXPECT_EQ(index, 0);
    // An empty list never gives true, even on Ok.
    prompts_.Select(-1, true);
    EXPECT_FALSE(TSelectStringDialog::Execute(QPoint(), QStringLiteral("Сторона"), index, {}));
    EXPECT_EQ(index, -1);

    TSelectStringDialog dialog(QPoint(5, 5), QStringLiteral("Сторона"), items, 1);
    EXPECT_EQ(dialog.SelectedIndex(), 1);
    TSelectStringDialog none(QPoint(5, 5), QStringLiteral("Сторона"), items, 7);
    EXPECT_EQ(none.SelectedIndex(), -1);
}

TEST_F(Dialogs, TypeSetsOfferOnlyTheFullSet) {
    const TItemTypeSet full{1, 2, 3, 10, 35};
    const TItemTypeSet current{2, 35};
    TItemTypeSet result;
    // Cancel returns the current set whatever was ticked.
    prompts_.TypeSet(TItemTypeSet{1}, false);
    EXPECT_FALSE(TTagSetEditorForm::Execute(full, current, result, QStringLiteral("Отображаемые слои")));
    EXPECT_EQ(result, current);
    EXPECT_EQ(prompts_.LastTypeSetOffered(), full);
    // Types outside the full set never come back.
    prompts_.TypeSet(TItemTypeSet{1, 4, 40});
    EXPECT_TRUE(TTagSetEditorForm::Execute(full, current, result, QStringLiteral("Отображаемые слои")));
    EXPECT_EQ(result, TItemTypeSet{1});

    // The form lists the offered types by category (surfaces before markings before service objects).
    TTagSetEditorForm form(QStringLiteral("Слои"), full, current);
    EXPECT_EQ(form.Offered(), (std::vector<int>{1, 2, 3, 10, 35}));
    EXPECT_EQ(form.Ticked(), current);
    form.ToggleEntry(0);
    form.ToggleEntry(1);
    EXPECT_EQ(form.Ticked(), (TItemTypeSet{1, 35}));
    // "Select all" ticks what is offered, nothing more.
    TTagSetEditorForm all(QStringLiteral("Слои"), full, {});
    all.SetTicked(FullTypeSet());
    EXPECT_EQ(all.Ticked(), full);
}

TEST_F(Dialogs, TypeSetPresets) {
    EXPECT_TRUE(TagSetPresetNames().isEmpty());
    // The preset menu of an empty key has no entries and keeps the current set.
    TItemTypeSet result;
    prompts_.Menu(-1);
    EXPECT_FALSE(TTagSetEditorForm::PopupPresets(TItemTypeSet{4}, result));
    EXPECT_EQ(result, TItemTypeSet{4});
    EXPECT_TRUE(prompts_.LastMenuEntries().isEmpty());

    ASSERT_TRUE(SaveTagSetPreset(QStringLiteral("Разметка"), TItemTypeSet{10, 11}));
    ASSERT_TRUE(SaveTagSetPreset(QStringLiteral("Покрытия"), TItemTypeSet{1, 2}));
    ASSERT_TRUE(SaveTagSetPreset(QStringLiteral("Разметка"), TItemTypeSet{12})); // replaces
    EXPECT_EQ(TagSetPresetNames(), (QStringList{QStringLiteral("Покрытия"), QStringLiteral("Разметка")}));
    EXPECT_EQ(ReadTagSetPreset(QStringLiteral("Разметка")), TItemTypeSet{12});
    EXPECT_EQ(RegReadString(Cp("TagSetEditorForm\\Presets"), Cp("Покрытия")),
              Cp("Разд. полоса;Проезжая часть;"));

    prompts_.Menu(1);
    EXPECT_TRUE(TTagSetEditorForm::PopupPresets(TItemTypeSet{4}, result));
    EXPECT_EQ(result, TItemTypeSet{12});

    TTagSetEditorForm form(QStringLiteral("Слои"), FullTypeSet(), {});
    EXPECT_EQ(form.PresetsListed(), TagSetPresetNames());
    form.ChoosePreset(QStringLiteral("Покрытия"));
    EXPECT_EQ(form.Ticked(), (TItemTypeSet{1, 2}));
    // A name that cannot be stored is refused with a message.
    EXPECT_FALSE(SaveTagSetPreset(QStringLiteral("東"), TItemTypeSet{1}));
    EXPECT_EQ(prompts_.Messages().size(), 1);
}

TEST_F(Dialogs, SpinEditButtonsAndSteps) {
    TFloatSpinEdit edit;
    edit.resize(150, 24);
    edit.SetIntSpins(2);
    edit.SetFraSpins(1);
    // Left to right: the text, the buttons stepping by 10 and by 1, the separator, the button stepping by
    // 0.1.
    const auto order = edit.ButtonsLeftToRight();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], std::make_pair(false, 1));
    EXPECT_EQ(order[1], std::make_pair(false, 0));
    EXPECT_EQ(order[2], std::make_pair(true, 0));
    const QRect tens = edit.ButtonRect(false, 1), ones = edit.ButtonRect(false, 0),
                tenths = edit.ButtonRect(true, 0);
    EXPECT_EQ(tenths.right(), 149);
    EXPECT_EQ(tenths.width(), 24 * 2 / 3);
    EXPECT_EQ(ones.right() + 1 + 24 / 4, tenths.left()); // the separator between
    EXPECT_EQ(tens.right() + 1, ones.left());
    EXPECT_EQ(edit.SpinsWidth(), 3 * 16 + 6);

    EXPECT_EQ(TFloatSpinEdit::SpinStep(false, 0), 1.0);
    EXPECT_EQ(TFloatSpinEdit::SpinStep(false, 2), 100.0);
    EXPECT_EQ(TFloatSpinEdit::SpinStep(true, 0), 0.1);
    EXPECT_EQ(TFloatSpinEdit::SpinStep(true, 1), 0.01);

    edit.Spin(false, 1, true);
    EXPECT_EQ(edit.text(), QStringLiteral("10.0"));
    edit.Spin(true, 0, false);
    EXPECT_EQ(edit.text(), QStringLiteral("9.9"));
    EXPECT_DOUBLE_EQ(edit.Value(), 9.9);
}

TEST_F(Dialogs, SpinEditText) {
    CommaLocale comma;
    TFloatSpinEdit edit;
    edit.SetFraSpins(2);
    EXPECT_EQ(edit.text(), QStringLiteral("0"));
    edit.setText(QString());
    for (QChar c : QStringLiteral("-1a2,+.5x"))
        TypeKey(&edit, c);
    EXPECT_EQ(edit.text(), QStringLiteral("-12.5")); // letters, "," and "+" refused
    EXPECT_TRUE(edit.TextValid());
    EXPECT_EQ(edit.Value(), -12.5);

    // While the text is no number Value keeps the last valid one, and setting it leaves the text.
    edit.setText(QStringLiteral("-"));
    EXPECT_FALSE(edit.TextValid());
    EXPECT_FALSE(edit.HasValidText());
    EXPECT_EQ(edit.Value(), -12.5);
    edit.SetValue(3);
    EXPECT_EQ(edit.text(), QStringLiteral("-"));
    EXPECT_EQ(edit.Value(), 3.0);
    // A number is rewritten with FraSpins decimals, unless it already is the value.
    edit.setText(QStringLiteral("1"));
    edit.SetValue(2.345);
    EXPECT_EQ(edit.text(), QStringLiteral("2.35"));
    EXPECT_EQ(edit.Value(), 2.345);
    edit.SetValue(2.345);
    EXPECT_EQ(edit.text(), QStringLiteral("2.35"));
}

TEST_F(Dialogs, LiveNumberReportsChangesAndRestoresOnCancel) {
    std::vector<double> seen;
    const auto callback = [&](double v) { seen.push_back(v); };
    {
        TFloatSpinForm form(QPoint(10, 10), QStringLiteral("Угол"), callback, 1.5);
        EXPECT_TRUE(seen.empty()); // the start value is not reported
        form.FloatEdit()->setText(QStringLiteral("2.25"));
        form.FloatEdit()->setText(QStringLiteral("x")); // no number: the last valid one again
        form.ClickOk();
        EXPECT_EQ(form.result(), 1);
    }
    EXPECT_EQ(seen, (std::vector<double>{2.25, 2.25, 2.25}));
    seen.clear();
    {
        TFloatSpinForm form(QPoint(10, 10), QStringLiteral("Угол"), callback, 1.5);
        form.FloatEdit()->Spin(false, 0, true);
        form.reject();
    }
    EXPECT_EQ(seen, (std::vector<double>{2.5, 1.5}));

    seen.clear();
    prompts_.TypeFloats({4, 5}, false);
    TFloatSpinForm::Execute(QPoint(), QStringLiteral("Угол"), callback, 1.5);
    EXPECT_EQ(seen, (std::vector<double>{4, 5, 1.5}));
}

TEST_F(Dialogs, StoredFileDialogsRememberTheLastFile) {
    sptest::TempDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    TStoredSaveDialog save;
    save.RegKeyName = QStringLiteral("SaveTableDir");
    save.FileName = QStringLiteral("a.txt");
    prompts_.Files({folder + QStringLiteral("/a.txt")});
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(prompts_.LastFileRequest()->FileName, QStringLiteral("a.txt"));
    EXPECT_EQ(prompts_.LastFileRequest()->Mode, TFileDialogMode::Save);

    // A bare name opens in the folder of the file saved last through the same dialog.
    TStoredSaveDialog next;
    next.RegKeyName = QStringLiteral("SaveTableDir");
    next.FileName = QStringLiteral("b.txt");
    prompts_.CancelFiles();
    EXPECT_FALSE(next.Execute());
    EXPECT_EQ(prompts_.LastFileRequest()->FileName, folder + QStringLiteral("/b.txt"));
    EXPECT_EQ(next.StoredFileName(), folder + QStringLiteral("/a.txt")); // Cancel stores nothing

    // Without a key name the section is "<owner>.<dialog>"; an empty name starts from the stored one.
    TStoredOpenDialog open;
    open.OwnerName = QStringLiteral("MainForm");
    open.Name = QStringLiteral("SvgOpenDialog");
    open.MultiSelect = true;
    EXPECT_EQ(open.Section(), QStringLiteral("MainForm.SvgOpenDialog"));
    prompts_.Files({QStringLiteral("/x/1.svg"), QStringLiteral("/x/2.svg")});
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(prompts_.LastFileRequest()->Mode, TFileDialogMode::OpenMany);
    EXPECT_EQ(open.Files.size(), 2);
    EXPECT_EQ(open.FileName, QStringLiteral("/x/1.svg"));
    TStoredOpenDialog again;
    again.OwnerName = QStringLiteral("MainForm");
    again.Name = QStringLiteral("SvgOpenDialog");
    prompts_.CancelFiles();
    again.Execute();
    EXPECT_EQ(prompts_.LastFileRequest()->FileName, QStringLiteral("/x/1.svg"));
}
