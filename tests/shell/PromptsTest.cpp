#include "ShellTestSupport.h"
#include "engine/StreetError.h"
#include "shell/StreetPlanApplication.h"
#include "shell/UserPrompts.h"

#include <gtest/gtest.h>

using Prompts = shelltest::ShellTest;

TEST_F(Prompts, ScriptedAnswersComeInOrderAndMismatchesAreRecorded) {
    prompts_.Answer(TPromptAnswer::Yes).EnterText(QStringLiteral("12")).Menu(1);
    EXPECT_EQ(UserPrompts().Ask(TPromptKind::Confirmation,
                                QStringLiteral("Есть несохраненные улицы. Сохранять?"),
                                TPromptButtons::YesNoCancel),
              TPromptAnswer::Yes);
    // The next answer is for the value editor: a menu asked now is unexpected and chooses nothing.
    EXPECT_EQ(UserPrompts().PopupMenu({QStringLiteral("a")}), -1);
    QString text = QStringLiteral("1");
    EXPECT_TRUE(UserPrompts().EditString(QStringLiteral("Ширина"), QPoint(), text));
    EXPECT_EQ(text, QStringLiteral("12"));
    EXPECT_EQ(UserPrompts().PopupMenu({QStringLiteral("a"), QStringLiteral("b")}), 1);
    UserPrompts().ShowMessage(TPromptKind::Information, QStringLiteral("Файл уже загружен."));

    EXPECT_EQ(prompts_.Unexpected(), QStringList{QStringLiteral("menu: a")});
    EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("Файл уже загружен.")});
    EXPECT_EQ(prompts_.Log().size(), 5);
    EXPECT_FALSE(prompts_.Done()); // something unexpected was asked

    // With nothing queued a question gets the cautious answer.
    TScriptedPrompts empty;
    EXPECT_EQ(empty.Ask(TPromptKind::Warning, QStringLiteral("?"), TPromptButtons::YesNo), TPromptAnswer::No);
    EXPECT_EQ(empty.Ask(TPromptKind::Warning, QStringLiteral("?"), TPromptButtons::YesNoCancel),
              TPromptAnswer::Cancel);
}

TEST_F(Prompts, ExceptionsInHandlersAreShownNotThrown) {
    EXPECT_FALSE(TStreetPlanApplication::CallGuarded(
        []() -> bool { RaiseStreetError("TItemList.LoadFromStream", "ident ITEMLIST not found"); }));
    EXPECT_TRUE(TStreetPlanApplication::CallGuarded([] { return true; }));
    EXPECT_FALSE(TStreetPlanApplication::CallGuarded([]() -> bool { throw 42; }));
    EXPECT_EQ(prompts_.Messages(),
              (QStringList{QStringLiteral("TItemList.LoadFromStream: ident ITEMLIST not found"),
                           QStringLiteral("Неизвестная ошибка.")}));
}

TEST_F(Prompts, AnErrorWhileAnErrorIsShownOpensNoSecondBox) {
    // A box whose own display raises again (a paint handler failing under it, say).
    struct Reentrant : TScriptedPrompts {
        int shown = 0;
        void ShowMessage(TPromptKind kind, const QString &text) override {
            ++shown;
            TScriptedPrompts::ShowMessage(kind, text);
            TStreetPlanApplication::CallGuarded([]() -> bool { throw std::runtime_error("again"); });
        }
    } reentrant;
    TUserPromptsGuard guard(reentrant);
    TStreetPlanApplication::CallGuarded([]() -> bool { throw std::runtime_error("first"); });
    EXPECT_EQ(reentrant.shown, 1);
    // The next error is shown again.
    TStreetPlanApplication::CallGuarded([]() -> bool { throw std::runtime_error("second"); });
    EXPECT_EQ(reentrant.shown, 2);
}

TEST_F(Prompts, TextWithoutACodePage1251FormIsRefused) {
    Cp1251String out("unchanged");
    EXPECT_TRUE(UserTextToCp1251(QStringLiteral("Проспект №5 «А»"), out));
    EXPECT_EQ(out, Cp("Проспект №5 «А»"));
    out = Cp1251String("unchanged");
    EXPECT_FALSE(UserTextToCp1251(QStringLiteral("улица 東"), out));
    EXPECT_EQ(out, Cp1251String("unchanged"));
    EXPECT_FALSE(UserTextToCp1251(QString::fromUtf8("знак \xF0\x9F\x9A\xA6"), out)); // outside the BMP
    ASSERT_EQ(prompts_.Messages().size(), 2);
    EXPECT_TRUE(prompts_.Messages()[0].contains(QStringLiteral("東")));
    EXPECT_TRUE(prompts_.Messages()[1].contains(QString::fromUtf8("\xF0\x9F\x9A\xA6")));
}
