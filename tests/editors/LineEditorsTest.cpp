// The curb, line-marking and tram-line editors: which modules live and which lines and actions hold for a
// selection, what each line shows, what each click does over Ok or Cancel, one or several selected and
// Yes or No, widths that are no width, the marking-code chooser, and the curb and marking tables.
#include "EditorsTestSupport.h"

#include "editors/LineEditors.h"
#include "engine/Directory.h"
#include "objects/BortItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/TramWayItem.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

#include <cmath>
#include <limits>

namespace {

using namespace editortest;

// Rows as UTF-8 texts, readable where they differ.
std::vector<std::string> Texts(const std::vector<Cp1251String> &row) {
    std::vector<std::string> out;
    for (const Cp1251String &cell : row)
        out.push_back(cell.ToUtf8());
    return out;
}

Cp1251String LeftOf(TAbstractItem *axis) {
    return dynamic_cast<TGuideAxisInfo &>(*axis).GetLeftSideName();
}

class LineEditorsTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TBortEditorModule>();
        RegisterContextModule<TLineRazmetEditorModule>();
        RegisterContextModule<TTramWayEditorDataModule>();
        // The curb widths of the test's own dictionary; nothing may ask for its folder.
        SetDirectoryDialog([](const Cp1251String &) {
            ADD_FAILURE() << "a dialog was opened";
            return false;
        });
        const std::string u8name = BortWidthFileName().ToUtf8();
        const std::string bytes = Cp("БР 100.30.15=0.15\r\nгп-1=0.2\r\n").Bytes();
        sptest::WriteFileBytes((dictionary.Path() / std::u8string(u8name.begin(), u8name.end())).string(),
                               std::vector<uint8_t>(bytes.begin(), bytes.end()));
        SetNamedDirectory(DictionaryDirName(), Cp1251String(dictionary.Path().string()));

        curb1 = Curb({{0, 0, 0}, {10, 0, 0}});
        curb2 = Curb({{0, 20, 0}, {10, 20, 0}});
        curb3 = Curb({{0, 40, 0}, {10, 40, 0}});
        mark1 = Marking({{0, 60, 0}, {10, 60, 0}});
        mark2 = Marking({{0, 70, 0}, {10, 70, 0}});
        tram1 = Tram({{0, 80, 0}, {10, 80, 0}});
        tram2 = Tram({{0, 90, 0}, {10, 90, 0}});
        street.ClearModified();
    }
    void TearDown() override {
        for (const char *name : {"TBortEditorModule", "TLineRazmetEditorModule", "TTramWayEditorDataModule"})
            UnregisterContextModule(QString::fromLatin1(name));
        SetDirectoryDialog({});
        EditorTest::TearDown();
    }
    TBortItem *Curb(std::initializer_list<TXYZ> p) { return dynamic_cast<TBortItem *>(Make(BortTypeCode, p)); }
    TLineRazmetItem *Marking(std::initializer_list<TXYZ> p) {
        return dynamic_cast<TLineRazmetItem *>(Make(LineRazmetTypeCode, p));
    }
    TTramWayItem *Tram(std::initializer_list<TXYZ> p) {
        return dynamic_cast<TTramWayItem *>(Make(TramWayTypeCode, p));
    }
    template <class T> T *Live() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<T *>(m))
                return t;
        return nullptr;
    }
    // The line of a live module by its name.
    TInfoStringAction *Line(const char *name) const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *a = m->findChild<TInfoStringAction *>(QString::fromLatin1(name)))
                return a;
        return nullptr;
    }

    sptest::TempDir dictionary;
    TBortItem *curb1 = nullptr, *curb2 = nullptr, *curb3 = nullptr;
    TLineRazmetItem *mark1 = nullptr, *mark2 = nullptr;
    TTramWayItem *tram1 = nullptr, *tram2 = nullptr;
};

TEST_F(LineEditorsTest, ModulesLinesAndActionsPerSelection) {
    struct TCase {
        const char *What;
        std::vector<TAbstractItem *> Selected;
        bool Bort, Marking, Tram;
        // Lines of the live modules hold; the curb table is offered.
        bool LinesValid, Report;
    };
    const TCase cases[] = {
        {"nothing", {}, false, false, false, false, false},
        {"a curb", {curb1}, true, false, false, true, true},
        {"curbs", {curb1, curb2}, true, false, false, true, true},
        {"a curb before a marking", {curb1, mark1}, true, false, false, false, false},
        {"a marking before a curb", {mark1, curb1}, false, true, false, false, false},
        {"a marking", {mark1}, false, true, false, true, false},
        {"a tram line", {tram1}, false, false, true, true, false},
        {"a tram line before a curb", {tram1, curb1}, false, false, true, false, false},
        {"a curb before a tram line", {curb1, tram1}, true, false, false, false, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.What);
        street.Selection().Clear();
        for (TAbstractItem *i : c.Selected)
            street.Selection().AddItem(i);
        UpdateContextModules();
        TFloatingAction::UpdateAll();
        EXPECT_EQ(Live<TBortEditorModule>() != nullptr, c.Bort);
        EXPECT_EQ(Live<TLineRazmetEditorModule>() != nullptr, c.Marking);
        EXPECT_EQ(Live<TTramWayEditorDataModule>() != nullptr, c.Tram);
        if (auto *m = Live<TBortEditorModule>()) {
            for (TInfoStringAction *a : {m->BortKind, m->BortGost, m->BortColor, m->BortDrawWidth})
                EXPECT_EQ(a->IsValid(), c.LinesValid) << a->objectName().toStdString();
            EXPECT_EQ(m->SaveReport->Enabled(), c.Report);
        }
        if (auto *m = Live<TLineRazmetEditorModule>()) {
            EXPECT_EQ(m->GostInfo->IsValid(), c.LinesValid);
            // Actions over anything but markings are hidden and disabled alike.
            for (TFloatingAction *a : {m->GostName, m->LnRazmetRep}) {
                EXPECT_EQ(a->Visible(), c.LinesValid) << a->objectName().toStdString();
                EXPECT_EQ(a->Enabled(), c.LinesValid) << a->objectName().toStdString();
            }
            EXPECT_EQ(m->Mirror->Visible(), c.LinesValid);
            EXPECT_EQ(m->Mirror->Enabled(), c.LinesValid && c.Selected.size() == 1);
        }
        if (auto *m = Live<TTramWayEditorDataModule>()) {
            EXPECT_EQ(m->TramWidthAction->IsValid(), c.LinesValid);
        }
    }

    // Two markings: mirroring one of them only.
    Select({mark1, mark2});
    TFloatingAction::UpdateAll();
    ASSERT_NE(Live<TLineRazmetEditorModule>(), nullptr);
    EXPECT_TRUE(Live<TLineRazmetEditorModule>()->GostName->Enabled());
    EXPECT_FALSE(Live<TLineRazmetEditorModule>()->Mirror->Enabled());
    EXPECT_TRUE(Live<TLineRazmetEditorModule>()->Mirror->Visible());
    Live<TLineRazmetEditorModule>()->Mirror->Click();
    EXPECT_EQ(mark1->Mirror(), 0);
    EXPECT_FALSE(street.Modified());

    // E reaches the chooser over markings only; over a marking and a curb it asks nothing.
    Select({mark1, curb1});
    TFloatingAction::UpdateAll();
    Live<TLineRazmetEditorModule>()->GostName->Click();
    Live<TLineRazmetEditorModule>()->Mirror->Click();
    EXPECT_TRUE(prompts_.Log().isEmpty()) << prompts_.Log().join('\n').toStdString();
    EXPECT_FALSE(street.Modified());
    EXPECT_EQ(Live<TLineRazmetEditorModule>()->GostName->shortcut(), QKeySequence(Qt::Key_E));

    // One marking: the mirror flips back and forth.
    Select({mark1});
    TFloatingAction::UpdateAll();
    Live<TLineRazmetEditorModule>()->Mirror->Click();
    EXPECT_EQ(mark1->Mirror(), 1);
    EXPECT_TRUE(street.Modified());
    Live<TLineRazmetEditorModule>()->Mirror->Click();
    EXPECT_EQ(mark1->Mirror(), 0);
}

TEST_F(LineEditorsTest, WhatEachLineShows) {
    const QColor black(Qt::black);
    struct TCase {
        const char *Line;
        std::function<void()> Prepare;
        std::vector<TAbstractItem *> Selected;
        QString Text;
        QColor Colour;
    };
    const TCase cases[] = {
        {"BortKind", [&] { curb1->SetKind(Cp("Бортовой")), curb2->SetKind(Cp("Бортовой")); },
         {curb1, curb2}, QStringLiteral("Бортовой"), black},
        {"BortKind", [&] { curb2->SetKind(Cp("Садовый")); }, {curb1, curb2}, QStringLiteral("***"),
         DifferentColour},
        {"BortGost", [&] { curb1->SetGost(Cp("гп-1")); }, {curb1}, QStringLiteral("гп-1"), black},
        {"BortColor", [&] { curb1->SetColor(MakeD3DColor(255, 8, 128, 255)); }, {curb1},
         QStringLiteral("R 255; G   8; B 128;"), black},
        {"BortColor", [] {}, {curb1, curb2}, QStringLiteral("***"), DifferentColour},
        {"BortDrawWidth", [&] { curb1->SetWidth(0.35f); }, {curb1}, QStringLiteral("0.35"), black},
        // Painted widths are compared as stored: equal digits are not enough.
        {"BortDrawWidth", [&] { curb1->SetWidth(0.201f), curb2->SetWidth(0.2f); }, {curb1, curb2},
         QStringLiteral("***"), DifferentColour},
        // The marking without a code is red once all agree; another code makes them differ.
        {"GostInfo", [] {}, {mark1, mark2}, QString(), UndefinedColour},
        {"GostInfo", [&] { mark2->SetGost(Cp("1.1")); }, {mark1, mark2}, QStringLiteral("***"),
         DifferentColour},
        {"GostInfo", [&] { mark1->SetGost(Cp("1.1")); }, {mark1, mark2}, QStringLiteral("1.1"), black},
        // Rut widths are compared by their shown text; 0 is the standard width.
        {"TramWidthAction", [] {}, {tram1, tram2}, QStringLiteral("1.40"), black},
        {"TramWidthAction", [&] { tram1->SetRutWidth(1.524f), tram2->SetRutWidth(1.521f); }, {tram1, tram2},
         QStringLiteral("1.52"), black},
        {"TramWidthAction", [&] { tram1->SetRutWidth(1.526f); }, {tram1, tram2}, QStringLiteral("***"),
         DifferentColour},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(std::string(c.Line) + " " + c.Text.toStdString());
        c.Prepare();
        street.Selection().Clear();
        for (TAbstractItem *i : c.Selected)
            street.Selection().AddItem(i);
        UpdateContextModules();
        TInfoStringAction *line = Line(c.Line);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->GetInfo(), c.Text);
        EXPECT_EQ(line->TextColor, c.Colour);
    }
}

// Each click over Ok or Cancel, one or several selected, Yes or No: whether the question comes, what each
// item holds after it, and whether the street was changed.
TEST_F(LineEditorsTest, ClicksOverOkCancelOneOrSeveralYesNo) {
    struct TLine {
        const char *Name;
        std::vector<TAbstractItem *> Items;
        // The answer for Ok; the value of an item as text.
        std::function<void(TScriptedPrompts &)> Ok;
        std::function<QString(TAbstractItem *)> Value;
        QString Old, New;
        bool QuestionAfterCancel;
    };
    auto bort = [](TAbstractItem *i) { return dynamic_cast<TBortItem *>(i); };
    const TLine lines[] = {
        {"BortKind", {curb1, curb2, curb3}, [](TScriptedPrompts &p) { p.EnterText(QStringLiteral("Садовый")); },
         [&](TAbstractItem *i) { return ToQString(bort(i)->Kind()); }, QString(), QStringLiteral("Садовый"),
         true},
        {"BortGost", {curb1, curb2}, [](TScriptedPrompts &p) { p.EnterText(QStringLiteral("гп-1")); },
         [&](TAbstractItem *i) { return ToQString(bort(i)->Gost()); }, QString(), QStringLiteral("гп-1"), false},
        {"BortColor", {curb1, curb2}, [](TScriptedPrompts &p) { p.Colour(QColor(10, 20, 30)); },
         [&](TAbstractItem *i) { return ColourText(bort(i)->Color()); }, ColourText(TBortItem::DefaultColor),
         QStringLiteral("R  10; G  20; B  30;"), false},
        {"BortDrawWidth", {curb1, curb2}, [](TScriptedPrompts &p) { p.EnterText(QStringLiteral("0.35")); },
         [&](TAbstractItem *i) { return QString::number(bort(i)->Width()); }, QStringLiteral("0.2"),
         QStringLiteral("0.35"), false},
        {"TramWidthAction", {tram1, tram2}, [](TScriptedPrompts &p) { p.EnterText(QStringLiteral("1.524")); },
         [](TAbstractItem *i) { return QString::number(dynamic_cast<TTramWayItem *>(i)->RutWidth()); },
         QStringLiteral("0"), QStringLiteral("1.524"), false},
    };
    for (const TLine &line : lines)
        for (bool several : {false, true})
            for (bool ok : {true, false})
                for (bool yes : {true, false}) {
                    SCOPED_TRACE(std::string(line.Name) + (several ? " several" : " one") +
                                 (ok ? " Ok" : " Cancel") + (yes ? " Yes" : " No"));
                    // Fresh items of the old value.
                    for (TAbstractItem *i : line.Items) {
                        if (auto *b = bort(i)) {
                            b->SetKind({}), b->SetGost({}), b->SetColor(TBortItem::DefaultColor);
                            b->SetWidth(TBortItem::DefaultWidth);
                        } else {
                            dynamic_cast<TTramWayItem *>(i)->SetRutWidth(0);
                        }
                    }
                    street.ClearModified();
                    street.Selection().Clear();
                    for (std::size_t k = 0; k < (several ? line.Items.size() : 1); ++k)
                        street.Selection().AddItem(line.Items[k]);
                    UpdateContextModules();
                    TScriptedPrompts script;
                    TUserPromptsGuard guard(script);
                    if (ok)
                        line.Ok(script);
                    else if (QString(line.Name) == QStringLiteral("BortColor"))
                        script.CancelColour();
                    else
                        script.CancelText();
                    const bool asked = several && (ok || line.QuestionAfterCancel);
                    if (asked)
                        script.Answer(yes ? TPromptAnswer::Yes : TPromptAnswer::No);
                    Line(line.Name)->DoClick();
                    EXPECT_TRUE(script.Done()) << script.Unexpected().join('\n').toStdString();
                    EXPECT_EQ(script.Log().contains(QStringLiteral("ask: ") + ApplyToOthersQuestion), asked);
                    const QString focused = ok ? line.New : line.Old;
                    EXPECT_EQ(line.Value(line.Items[0]), focused);
                    for (std::size_t k = 1; k < line.Items.size(); ++k)
                        EXPECT_EQ(line.Value(line.Items[k]), asked && yes ? focused : line.Old) << k;
                    EXPECT_EQ(street.Modified(), ok || (asked && yes));
                }
}

TEST_F(LineEditorsTest, WidthsThatAreNoWidthAreRefused) {
    for (const char *line : {"BortDrawWidth", "TramWidthAction"})
        for (const char *typed : {"-0.5", "nan", "inf", "1e39", "abc"}) {
            SCOPED_TRACE(std::string(line) + " " + typed);
            if (QString(line) == QStringLiteral("BortDrawWidth"))
                Select({curb1, curb2});
            else
                Select({tram1, tram2});
            street.ClearModified();
            TScriptedPrompts script;
            TUserPromptsGuard guard(script);
            script.EnterText(QString::fromLatin1(typed));
            Line(line)->DoClick();
            // A message, no question, nothing changed.
            EXPECT_EQ(script.Messages().size(), 1);
            EXPECT_TRUE(script.Done()) << script.Unexpected().join('\n').toStdString();
            EXPECT_FALSE(street.Modified());
            EXPECT_EQ(curb1->Width(), TBortItem::DefaultWidth);
            EXPECT_EQ(tram1->RutWidth(), 0.0f);
        }
}

TEST_F(LineEditorsTest, TheCodeChooserOffersTheRecordsInOrder) {
    TLnParamArray records(3);
    records[0].Name = Cp("1.5");
    records[1].Name = Cp("1.1");
    records[2].Name = Cp("1.2.1");
    street.SetLnRazmetParams(records);
    mark1->SetGost(Cp("1.1"));
    mark2->SetGost(Cp("9.9"));
    struct TCase {
        std::vector<TAbstractItem *> Selected;
        int Preselected;
        int Chosen;
        bool Ok, Yes;
        const char *First, *Second;
    };
    const TCase cases[] = {
        // Ok, one selected: no question.
        {{mark1}, 1, 2, true, false, "1.2.1", "9.9"},
        // A code that is not among the names preselects nothing.
        {{mark2, mark1}, -1, 0, true, true, "1.5", "1.5"},
        {{mark1, mark2}, 0, 1, true, false, "1.1", "1.5"},
        // Cancel: nothing changes and nothing is asked.
        {{mark1, mark2}, 1, 2, false, false, "1.1", "1.5"},
    };
    for (const TCase &c : cases) {
        street.Selection().Clear();
        for (TAbstractItem *i : c.Selected)
            street.Selection().AddItem(i);
        UpdateContextModules();
        TFloatingAction::UpdateAll();
        TScriptedPrompts script;
        TUserPromptsGuard guard(script);
        script.Select(c.Chosen, c.Ok);
        if (c.Ok && c.Selected.size() > 1)
            script.Answer(c.Yes ? TPromptAnswer::Yes : TPromptAnswer::No);
        Live<TLineRazmetEditorModule>()->GostName->Click();
        EXPECT_TRUE(script.Done());
        EXPECT_TRUE(script.Log().contains(QStringLiteral("select: ГОСТ разметки")));
        EXPECT_EQ(script.LastSelectItems(), QStringList({QStringLiteral("1.5"), QStringLiteral("1.1"), QStringLiteral("1.2.1")}));
        EXPECT_EQ(script.LastSelectIndex(), c.Preselected);
        EXPECT_EQ(mark1->Gost(), Cp(c.First));
        EXPECT_EQ(mark2->Gost(), Cp(c.Second));
    }
    // The code binds its record.
    EXPECT_EQ(mark1->ParamIndex(), 1);
    EXPECT_EQ(mark2->ParamIndex(), 0);

    // The info line's click is the chooser too.
    Select({mark1});
    prompts_.Select(2);
    Line("GostInfo")->DoClick();
    EXPECT_EQ(mark1->Gost(), Cp("1.2.1"));
    EXPECT_EQ(Line("GostInfo")->GetInfo(), QStringLiteral("1.2.1"));

    // A street without records of its own offers the default table.
    TStreetStructure bare;
    TLineRazmetItem *m = dynamic_cast<TLineRazmetItem *>(sptest::MakeItem(bare, LineRazmetTypeCode,
                                                                          {{0, 0, 0}, {5, 0, 0}}));
    current = &bare;
    bare.Selection().AddItem(m);
    const QStringList names = TLineRazmetEditorModule::GostNames();
    ASSERT_FALSE(bare.LnParams().empty());
    ASSERT_EQ(names.size(), qsizetype(bare.LnParams().size()));
    for (std::size_t i = 0; i < bare.LnParams().size(); ++i)
        EXPECT_EQ(names[qsizetype(i)], ToQString(bare.LnParams()[i].Name));
    current = &street;
}

// A road way below and a sidewalk above a shared edge with a curb on it, measured along an axis 3.5 m
// below the edge and starting 10 m before it.
TEST_F(LineEditorsTest, TheCurbTable) {
    TStreetPointRec *a = street.Pool().AddPointRec({0, 0, 0});
    TStreetPointRec *b = street.Pool().AddPointRec({10, 0, 0});
    TAbstractItem *road = sptest::MakeItemOn(street, RoadWayTypeCode, {a, b});
    road->Points.InsertNewPoint(2, {10, -7, 0});
    road->Points.InsertNewPoint(3, {0, -7, 0});
    TAbstractItem *walk = sptest::MakeItemOn(street, TrotuarTypeCode, {b, a});
    walk->Points.InsertNewPoint(2, {0, 3, 0});
    walk->Points.InsertNewPoint(3, {10, 3, 0});
    auto *edge = dynamic_cast<TBortItem *>(sptest::MakeItemOn(street, BortTypeCode, {a, b}));
    TAbstractItem *axis = Make(AxisTypeCode, {{-10, -3.5f, 0}, {200, -3.5f, 0}});
    edge->SetReferAxis(axis);
    edge->SetKind(Cp("Бортовой"));
    edge->SetGost(Cp("БР 100.30.15"));
    curb1->SetReferAxis(axis);
    curb1->SetGost(Cp("нет такой"));
    curb1->SetComment(Cp("к"));
    curb1->SetComment2(Cp("к2"));
    curb2->SetGost(Cp("гп-1"));
    curb3->Active = false;
    const std::vector<TAbstractItem *> selected{edge, curb3, curb1, curb2, mark1};
    const TReportTable t = MakeItemReport(TBortEditorModule::ReportSpec(), selected);
    const std::vector<Cp1251String> header{Cp("Ось"),    Cp("Сторона"), Cp("Начало"),
                                           Cp("Конец"),  Cp("Длина"),   Cp("Тип"),
                                           Cp("Марка"), Cp("Площадь в плане"), Cp("Примечание")};
    EXPECT_EQ(t.Columns(), header);
    // The switched-off curb and the marking are left out.
    ASSERT_EQ(t.RowCount(), 3);
    EXPECT_EQ(t.RowObject(0), ItemRowObject(*edge));
    const std::vector<Cp1251String> rows[] = {
        {axis->GetItemName(), LeftOf(axis), Cp1251String(" 10.0"), Cp1251String(" 20.0"), Cp1251String(" 10.0"),
         Cp("Бортовой"), Cp("БР 100.30.15"), Cp1251String("  1.5"), Cp("ПЧ;трот.")},
        // An unknown grade leaves the area empty; the comment, ";" and the second comment.
        {axis->GetItemName(), LeftOf(axis), Cp1251String(" 10.0"), Cp1251String(" 20.0"), Cp1251String(" 10.0"),
         Cp1251String(), Cp("нет такой"), Cp1251String(), Cp("к;<<к2>>")},
        // Without an axis: no side, no stations, never 3.4e38.
        {Cp1251String("nil"), Cp1251String(), Cp1251String(), Cp1251String(), Cp1251String(" 10.0"),
         Cp1251String(), Cp("гп-1"), Cp1251String("  2.0"), Cp1251String()},
    };
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(Texts(t.RowFields(r)), Texts(rows[r])) << r;

    // The action shows the table over the selection.
    Select({edge, curb3});
    TFloatingAction::UpdateAll();
    Live<TBortEditorModule>()->SaveReport->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *window = TStreetTableForm::All().back();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Таблица борта"));
    EXPECT_EQ(window->Table().RowCount(), 1);
    delete window;
    (void)road, (void)walk;
}

TEST_F(LineEditorsTest, TheMarkingTable) {
    TAbstractItem *axis = Make(AxisTypeCode, {{-10, 65, 0}, {200, 65, 0}});
    mark1->SetReferAxis(axis);
    mark2->SetReferAxis(axis);
    mark1->SetGost(Cp("1.1"));
    mark1->SetComment(Cp("осевая"));
    mark1->SetComment2(Cp("вторая"));
    mark2->Points.InsertNewPoint(2, {20, 60, 0});
    mark2->Active = false;
    const std::vector<TAbstractItem *> selected{mark2, curb1, mark1};
    const TReportTable t = MakeItemReport(TLineRazmetEditorModule::ReportSpec(), selected);
    EXPECT_EQ(t.Columns(), (std::vector<Cp1251String>{Cp("Ось"), Cp("Сторона"), Cp("Начало"), Cp("Конец"),
                                                      Cp("Длина"), Cp("Тип линии"), Cp("Примечание")}));
    ASSERT_EQ(t.RowCount(), 1);
    // Below the axis: the right side.
    auto &guide = dynamic_cast<TGuideAxisInfo &>(*axis);
    EXPECT_EQ(Texts(t.RowFields(0)),
              Texts({axis->GetItemName(), guide.GetRightSideName(), Cp1251String(" 10.0"),
                                         Cp1251String(" 20.0"), Cp1251String(" 10.0"), Cp("1.1"),
                                         Cp("осевая<<вторая>>")}));
    mark2->Active = true;
    const TReportTable both = MakeItemReport(TLineRazmetEditorModule::ReportSpec(), selected);
    ASSERT_EQ(both.RowCount(), 2);
    // Vertices on both sides: the centre side; the length along the whole line.
    EXPECT_EQ(both.RowFields(0)[1], guide.GetCenterSideName());
    EXPECT_EQ(both.RowFields(0)[4], Cp1251String(" 24.1"));

    Select({mark1});
    TFloatingAction::UpdateAll();
    Live<TLineRazmetEditorModule>()->LnRazmetRep->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *window = TStreetTableForm::All().back();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Таблица линий разметки"));
    delete window;
}

} // namespace
