// The info-line pattern, the edit engine, colours, pick modes and reports of the editor kit, on a line of
// the test's own whose values live beside the items.
#include "EditorsTestSupport.h"

#include "engine/UndefinedValue.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

#include <cmath>
#include <limits>
#include <map>

namespace {

using namespace editortest;

class EditorKitTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        a = Box(RoadWayTypeCode, 0, 0, 10, 10);
        b = Box(RoadWayTypeCode, 20, 0, 30, 10);
        c = Box(RoadWayTypeCode, 40, 0, 50, 10);
    }
    // A number line over values kept by the test (an item without one is undefined).
    TItemLineSpec NumberLine(TClickKind kind = TClickKind::EditFloat,
                             TApplyQuestion question = TApplyQuestion::AfterOk) {
        TItemLineSpec spec;
        spec.Name = "TestNumber";
        spec.Caption = QStringLiteral("Число");
        spec.TextColor = Olive;
        spec.Get = [this](TAbstractItem &i) -> TFieldValue {
            const auto it = numbers.find(&i);
            return it == numbers.end() ? TFieldValue{} : TFieldValue(it->second);
        };
        spec.Click = kind;
        spec.Question = question;
        spec.DialogCaption = [](TAbstractItem &) { return QStringLiteral("Число:"); };
        spec.Set = [this](TAbstractItem &i, const TFieldValue &v) { numbers[&i] = std::get<double>(v); };
        return spec;
    }
    TItemLineSpec CommentLine() {
        TItemLineSpec spec;
        spec.Caption = QStringLiteral("Примечание");
        spec.Get = [](TAbstractItem &i) { return TFieldValue(i.Comment()); };
        spec.AppendDifferent = true;
        spec.Click = TClickKind::EditString;
        spec.Question = TApplyQuestion::AfterOkOrCancel;
        spec.Set = [](TAbstractItem &i, const TFieldValue &v) { i.SetComment(std::get<Cp1251String>(v)); };
        return spec;
    }

    std::map<TAbstractItem *, double> numbers;
    TAbstractItem *a = nullptr, *b = nullptr, *c = nullptr;
};

TEST_F(EditorKitTest, LineValuesAndColours) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        const char *Name;
        std::vector<std::optional<double>> Values; // per selected item; nullopt: undefined
        QString Text;
        QColor Colour; // invalid: the line's own
    };
    const TCase cases[] = {
        {"one item", {12.34}, QStringLiteral(" 12.3"), QColor()},
        {"equal", {12.34, 12.34, 12.34}, QStringLiteral(" 12.3"), QColor()},
        // Shown alike, stored apart: the values differ.
        {"the 7th digit differs", {1.234567, 1.234567, 1.234568}, QStringLiteral("***"), DifferentColour},
        {"undefined on the focused item", {std::nullopt}, QString(), UndefinedColour},
        {"undefined on another item", {5.0, std::nullopt}, QStringLiteral("***"), DifferentColour},
        {"a NaN equals itself", {nan, nan}, QString(), QColor()},
    };
    const TItemLineSpec spec = NumberLine();
    TAbstractItem *items[] = {a, b, c};
    for (const TCase &k : cases) {
        SCOPED_TRACE(k.Name);
        numbers.clear();
        std::vector<TAbstractItem *> selection;
        for (std::size_t i = 0; i < k.Values.size(); ++i) {
            selection.push_back(items[i]);
            if (k.Values[i])
                numbers[items[i]] = *k.Values[i];
        }
        const TLineText t = LineText(spec, selection);
        EXPECT_EQ(t.Text, k.Text);
        EXPECT_EQ(t.Colour, k.Colour);
    }

    // Texts compare exactly; the comment line keeps the focused text and marks the difference.
    a->SetComment(Cp("Асфальт"));
    b->SetComment(Cp("асфальт"));
    const TLineText differ = LineText(CommentLine(), std::vector<TAbstractItem *>{a, b});
    EXPECT_EQ(differ.Text, QStringLiteral("Асфальт(***)"));
    EXPECT_EQ(differ.Colour, DifferentColour);
    b->SetComment(Cp("Асфальт"));
    EXPECT_EQ(LineText(CommentLine(), std::vector<TAbstractItem *>{a, b}).Text, QStringLiteral("Асфальт"));

    // Through an info line: the colour is the line's again on the next query.
    Select({a, b});
    numbers = {{a, 1.0}, {b, 2.0}};
    TInfoStringAction *line = MakeInfoFromRow(nullptr, InfoRowOf(spec));
    EXPECT_EQ(line->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(line->TextColor, DifferentColour);
    numbers[b] = 1.0;
    EXPECT_EQ(line->GetInfo(), QStringLiteral("  1.0"));
    EXPECT_EQ(line->TextColor, Olive);
    delete line;
}

TEST_F(EditorKitTest, TheEditEngineOverSelectionOutcomeAnswerAndQuestionMode) {
    enum class TOutcome { Ok, Cancel, BadNumber };
    const TApplyQuestion modes[] = {TApplyQuestion::None, TApplyQuestion::AfterOk,
                                    TApplyQuestion::AfterOkOrCancel};
    for (int size : {1, 3})
        for (TOutcome outcome : {TOutcome::Ok, TOutcome::Cancel, TOutcome::BadNumber})
            for (TPromptAnswer answer : {TPromptAnswer::Yes, TPromptAnswer::No})
                for (TApplyQuestion mode : modes) {
                    SCOPED_TRACE(testing::Message() << "size " << size << " outcome " << int(outcome)
                                                    << " answer " << int(answer) << " mode " << int(mode));
                    numbers = {{a, 1.5}, {b, 2.5}, {c, 3.5}};
                    street.ClearModified();
                    if (size == 1)
                        Select({a});
                    else
                        Select({a, b, c});
                    TScriptedPrompts script;
                    TUserPromptsGuard guard(script);
                    if (outcome == TOutcome::Ok)
                        script.EnterText(QStringLiteral("7.25"));
                    else if (outcome == TOutcome::Cancel)
                        script.CancelText();
                    else
                        script.EnterText(QStringLiteral("7,2x"));
                    const bool ok = outcome == TOutcome::Ok;
                    const bool asks = size > 1 && (mode == TApplyQuestion::AfterOkOrCancel ||
                                                   (mode == TApplyQuestion::AfterOk && ok));
                    if (asks)
                        script.Answer(answer);
                    const int before = refreshes;
                    EditLine(NumberLine(TClickKind::EditFloat, mode));
                    EXPECT_TRUE(script.Done()) << script.Unexpected().join(", ").toStdString();
                    EXPECT_EQ(script.LastEditDefault(), QStringLiteral("1.5"))
                        << "the focused value, exactly";
                    EXPECT_EQ(numbers[a], ok ? 7.25 : 1.5);
                    const bool copied = asks && answer == TPromptAnswer::Yes;
                    EXPECT_EQ(numbers[b], copied ? numbers[a] : 2.5);
                    EXPECT_EQ(numbers[c], copied ? numbers[a] : 3.5);
                    EXPECT_EQ(street.Modified(), ok || copied);
                    EXPECT_EQ(refreshes, before + 1) << "a refresh also after Cancel";
                    EXPECT_EQ(script.Messages().size(), outcome == TOutcome::BadNumber ? 1 : 0);
                    if (outcome == TOutcome::BadNumber) {
                        EXPECT_EQ(script.Messages().front(), QStringLiteral("Неверный формат числа."));
                    }
                }
}

TEST_F(EditorKitTest, CancelAsksAndYesCopiesTheStoredText) {
    a->SetComment(Cp("старое"));
    b->SetComment(Cp("другое"));
    Select({a, b});
    prompts_.CancelText().Answer(TPromptAnswer::Yes);
    EditLine(CommentLine());
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(a->Comment(), Cp("старое"));
    EXPECT_EQ(b->Comment(), Cp("старое"));
    // Text with no code-page-1251 form is refused, never stored changed.
    prompts_.EnterText(QStringLiteral("\u4e2d")).Answer(TPromptAnswer::No);
    EditLine(CommentLine());
    EXPECT_EQ(a->Comment(), Cp("старое"));
}

TEST_F(EditorKitTest, ColourLinesAndOneCustomColourListForTheProgram) {
    EXPECT_EQ(ColourText(MakeD3DColor(1, 22, 255, 255)), QStringLiteral("R   1; G  22; B 255;"));
    numbers = {{a, double(MakeD3DColor(10, 20, 30, 255))}, {b, double(MakeD3DColor(0, 0, 0, 255))}};
    Select({a, b});
    TItemLineSpec colour = NumberLine(TClickKind::Colour);
    prompts_.Colour(QColor(200, 100, 50), {QColor(1, 2, 3), QColor(4, 5, 6)}).Answer(TPromptAnswer::Yes);
    EditLine(colour);
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(prompts_.LastColourOffered(), QColor(10, 20, 30)) << "the focused item's colour";
    EXPECT_EQ(numbers[a], double(MakeD3DColor(200, 100, 50, 255))) << "opaque";
    EXPECT_EQ(numbers[b], numbers[a]);
    // The custom colours are the program's: the next dialog, whichever module opens it, is offered the
    // list the last one left, and the settings hold it.
    prompts_.CancelColour();
    EditLine(colour);
    EXPECT_EQ(prompts_.LastCustomColours(), (std::vector<QColor>{QColor(1, 2, 3), QColor(4, 5, 6)}));
    EXPECT_EQ(numbers[a], double(MakeD3DColor(200, 100, 50, 255))) << "Cancel changes nothing";
    std::vector<Cp1251String> stored;
    RegReadStrings(Cp1251String("CustomColors"), Cp1251String("List"), stored);
    EXPECT_EQ(stored,
              (std::vector<Cp1251String>{Cp1251String("ColorA=030201"), Cp1251String("ColorB=060504")}));
}

TEST_F(EditorKitTest, APickModeTakesTheNearestItemAndGivesTheViewBack) {
    TAbstractItem *axis = Make(AxisTypeCode, {{0, 20, 0}, {100, 20, 0}});
    TMouseEvents previous;
    mode = &previous;
    std::vector<TAbstractItem *> picks;
    auto *pick = new TPickMode(nullptr, "TestPick", ReferAxisCursor, TItemTypeSet{AxisTypeCode}, true);
    pick->Picked = [&](TAbstractItem *item) { picks.push_back(item); };
    pick->Enter();
    EXPECT_EQ(mode, pick);
    TMouseEventArgs e;
    e.Button = Qt::LeftButton;
    e.X = 500;
    e.Y = 209; // 0.9 m from the axis: within 10 pixels of 0.1 m
    pick->MouseDown(e);
    EXPECT_TRUE(picks.empty()) << "the pick is on the button's release";
    pick->MouseUp(e);
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0], axis);
    EXPECT_EQ(mode, &previous);
    pick->Enter();
    e.Y = 250; // 3 m off
    pick->MouseDown(e);
    pick->MouseUp(e);
    EXPECT_EQ(picks.back(), nullptr);
    // A dying mode leaves none behind.
    pick->Enter();
    delete pick;
    EXPECT_EQ(mode, nullptr);
}

TEST_F(EditorKitTest, ReportsCarryTheirItemsInSelectionOrder) {
    a->SetComment(Cp("x#y"));
    TReportSpec spec{QStringLiteral("T"),
                     {Cp("Ось"), Cp("Примечание")},
                     [this](TAbstractItem &i) { return &i != b; },
                     [](TAbstractItem &i) {
                         return std::vector<Cp1251String>{i.GetReferAxisName(), i.GetCaption()};
                     }};
    const std::vector<TAbstractItem *> order{c, b, a};
    const TReportTable t = MakeItemReport(spec, order);
    ASSERT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.Lines[0].Text, Cp1251String("2"));
    EXPECT_EQ(t.RowFields(0)[0], Cp1251String("nil"));
    EXPECT_EQ(t.RowFields(1)[1], Cp("x#y"));
    EXPECT_EQ(t.RowObject(0), ItemRowObject(*c));
    EXPECT_EQ(t.RowObject(1), ItemRowObject(*a));

    const struct {
        double Value;
        const char *Text;
    } measures[] = {{-1, ""}, {UndefinedValue, ""}, {-UndefinedValue, ""}, {0, "  0.0"}, {12.25, " 12.2"}};
    for (const auto &m : measures)
        EXPECT_EQ(MeasureText(m.Value), Cp1251String(m.Text)) << m.Value;
    EXPECT_EQ(JoinNote(Cp("I"), Cp("к")), Cp("I; к"));
    EXPECT_EQ(JoinNote(Cp("I"), Cp1251String()), Cp("I"));
    EXPECT_EQ(JoinNote(Cp1251String(), Cp("к")), Cp("к"));
}

} // namespace
