// The stop editor: its lines with and without an axis and a road way, the pavilion chooser, sizes and
// platform areas over several stops (Cancel included), and the stop table.
#include "EditorsTestSupport.h"

#include "editors/StopEditor.h"
#include "objects/AxisItem.h"
#include "objects/RoadWay.h"
#include "objects/StopItem.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

namespace {

using namespace editortest;

class StopEditorTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TStopEditorModule>();
        stop1 = Stop({10, -3, 0}, {11, -3, 0});
        stop2 = Stop({40, -3, 0}, {41, -3, 0});
    }
    void TearDown() override {
        UnregisterContextModule(QStringLiteral("TStopEditorModule"));
        EditorTest::TearDown();
    }
    TStopItem *Stop(TXYZ p0, TXYZ p1) { return dynamic_cast<TStopItem *>(Make(StopTypeCode, {p0, p1})); }
    TStopEditorModule *Module() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<TStopEditorModule *>(m))
                return t;
        return nullptr;
    }
    // A road way 2 m to the right of the stops, from y = -5 down to -12, a bay in its category.
    TRoadWayItem *RoadBelow() {
        auto *road = dynamic_cast<TRoadWayItem *>(Box(RoadWayTypeCode, 0, -12, 60, -5));
        road->SetPasspCategory(Cp("Карман остановочный"));
        return road;
    }
    TAxisItem *MainAxis() {
        auto *axis = dynamic_cast<TAxisItem *>(Make(AxisTypeCode, {{0, 0, 0}, {100, 0, 0}}));
        axis->SetName(Cp("1"));
        street.SetMainAxis(axis);
        return axis;
    }

    TStopItem *stop1 = nullptr, *stop2 = nullptr;
};

TEST_F(StopEditorTest, WithoutAnAxisOrARoadWayTheFiguresAreRed) {
    Select({stop1});
    TStopEditorModule *m = Module();
    ASSERT_NE(m, nullptr);
    struct TLine {
        TInfoStringAction *Line;
        const char *Text;
        bool Red;
    };
    const TLine lines[] = {
        {m->AxSideInfo, "???", true},       {m->AxStartInfo, "-1.0", true},  {m->AxFinInfo, "-1.0", true},
        {m->DistanceRWInfo, "-1.0", true},  {m->KarmanSqInfo, " 0.0", false}, {m->HasPavInfo, "Есть", false},
        {m->LengthInfo, "4.0", false},      {m->WidthInfo, "2.0", false},    {m->SqInfo, "8.0", false},
        {m->OwnTrotSqInfo, "0.0", false},   {m->NameInfo, "", false},
    };
    for (const TLine &l : lines) {
        EXPECT_TRUE(l.Line->IsValid()) << l.Text;
        EXPECT_EQ(l.Line->GetInfo(), QString::fromUtf8(l.Text));
        EXPECT_EQ(l.Line->TextColor, l.Red ? UndefinedColour : QColor(Qt::black)) << l.Text;
    }

    // With the axis and the road way: side, extent along the axis, distance and the bus bay.
    MainAxis();
    RoadBelow();
    Select({stop1});
    m = Module();
    EXPECT_EQ(m->AxSideInfo->GetInfo(), QString::fromUtf8("чет."));
    EXPECT_EQ(m->AxSideInfo->TextColor, QColor(Qt::black));
    EXPECT_EQ(m->AxStartInfo->GetInfo(), QStringLiteral("10.0"));
    EXPECT_EQ(m->AxFinInfo->GetInfo(), QStringLiteral("14.0"));
    EXPECT_EQ(m->DistanceRWInfo->GetInfo(), QStringLiteral("2.0"));
    EXPECT_EQ(m->DistanceRWInfo->TextColor, QColor(Qt::black));
    EXPECT_EQ(m->KarmanSqInfo->GetInfo(), QStringLiteral("420.0"));
}

TEST_F(StopEditorTest, LinesOfOneStopAndOfSeveral) {
    stop2->SetPlatformArea(2.04f);
    stop1->SetPlatformArea(2.01f);
    Select({stop1, stop2});
    TStopEditorModule *m = Module();
    ASSERT_NE(m, nullptr);
    for (TInfoStringAction *one : {m->NameInfo, m->RootsInfo, m->HasPavInfo, m->LengthInfo, m->WidthInfo,
                                   m->DistanceRWInfo, m->AxSideInfo, m->AxStartInfo, m->AxFinInfo, m->KarmanSqInfo})
        EXPECT_FALSE(one->IsValid()) << one->objectName().toStdString();
    EXPECT_TRUE(m->SqInfo->IsValid());
    EXPECT_EQ(m->SqInfo->GetInfo(), QStringLiteral("16.0"));
    ASSERT_TRUE(m->OwnTrotSqInfo->IsValid());
    EXPECT_EQ(m->OwnTrotSqInfo->GetInfo(), QStringLiteral("2.0")) << "equal as shown";
    stop2->SetPlatformArea(2.3f);
    EXPECT_EQ(m->OwnTrotSqInfo->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(m->OwnTrotSqInfo->TextColor, DifferentColour);

    // Cancel keeps the focused stop's area, and Yes then gives the others that area exactly.
    prompts_.CancelText().Answer(TPromptAnswer::Yes);
    m->OwnTrotSqInfo->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Площадь посадочной площадки = 2.01")));
    EXPECT_EQ(stop1->PlatformArea(), 2.01f);
    EXPECT_EQ(stop2->PlatformArea(), 2.01f);
    prompts_.EnterText(QStringLiteral("12.5")).Answer(TPromptAnswer::No);
    Module()->OwnTrotSqInfo->DoClick();
    EXPECT_EQ(stop1->PlatformArea(), 12.5f);
    EXPECT_EQ(stop2->PlatformArea(), 2.01f);

    // A stop and something else: the sums do not hold; the first being no stop, no module.
    TAbstractItem *road = RoadBelow();
    Select({stop1, road});
    ASSERT_NE(Module(), nullptr);
    EXPECT_FALSE(Module()->SqInfo->IsValid());
    Select({road, stop1});
    EXPECT_EQ(Module(), nullptr);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StopEditorTest, PavilionNameRoutesAndSizes) {
    Select({stop1});
    TStopEditorModule *m = Module();
    ASSERT_NE(m, nullptr);
    street.ClearModified();
    prompts_.Select(1);
    m->HasPavInfo->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("select: Наличие павильона")));
    EXPECT_EQ(prompts_.LastSelectItems(), (QStringList{QStringLiteral("Есть"), QStringLiteral("Нет")}));
    EXPECT_EQ(stop1->Pavilion(), 0);
    EXPECT_TRUE(street.Modified());
    m = Module();
    EXPECT_EQ(m->HasPavInfo->GetInfo(), QStringLiteral("Нет"));
    EXPECT_EQ(m->LengthInfo->GetInfo(), QStringLiteral("0.0"));
    EXPECT_EQ(m->WidthInfo->GetInfo(), QStringLiteral("0.0"));
    EXPECT_EQ(m->SqInfo->GetInfo(), QStringLiteral("0.0"));

    prompts_.Select(0).EnterText(QStringLiteral("5")).CancelText();
    m->HasPavInfo->DoClick();
    Module()->LengthInfo->DoClick();
    Module()->WidthInfo->DoClick();
    EXPECT_EQ(stop1->Pavilion(), 1);
    EXPECT_EQ(stop1->Length(), 5.0f);
    EXPECT_EQ(stop1->Width(), 0.0f) << "Cancel changes nothing";
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Длина павильона = 0")));

    prompts_.EnterText(QStringLiteral("Рынок")).EnterText(QStringLiteral("3, 17"));
    Module()->NameInfo->DoClick();
    Module()->RootsInfo->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Название остановки = ")));
    EXPECT_EQ(stop1->Name(), Cp("Рынок"));
    EXPECT_EQ(stop1->Routes(), Cp1251String("3, 17"));
    EXPECT_EQ(Module()->NameInfo->GetInfo(), QStringLiteral("Рынок"));
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StopEditorTest, StopTable) {
    MainAxis();
    RoadBelow();
    stop1->SetName(Cp("Рынок"));
    stop1->SetRoutes(Cp1251String("3"));
    stop1->SetPlatformArea(12);
    stop1->SetComment(Cp("у рынка"));
    stop2->SetPavilion(0);
    TStopItem *far = Stop({200, 50, 0}, {201, 50, 0});
    TStopItem *hidden = Stop({30, -3, 0}, {31, -3, 0});
    hidden->Active = false;
    const std::vector<TAbstractItem *> items{stop1, stop2, far, hidden};
    const TReportTable t = MakeItemReport(TStopEditorModule::ReportSpec(), items);
    const std::vector<Cp1251String> columns = t.Columns();
    ASSERT_EQ(columns.size(), 11u);
    EXPECT_EQ(JoinReportFields(columns, '#'),
              Cp("Ось#Сторона#Начало#Конец#Название#Кол-во павильонов#Расстояние от ПЧ#Маршруты#Площадь "
                 "пос.пл.#Площадь кармана#Примечание"));
    ASSERT_EQ(t.RowCount(), 3) << "the inactive stop is left out";
    EXPECT_EQ(JoinReportFields(t.RowFields(0), '#'),
              Cp("1#чет.# 10.0# 14.0#Рынок#1#2.0#3#12.0#420.0#у рынка;Sп 8.0"));
    EXPECT_EQ(JoinReportFields(t.RowFields(1), '#'), Cp("1#чет.# 40.0# 40.0##0#2.0##0.0#420.0#;Sп 0.0"))
        << "no pavilion: none counted";
    // Far from the road way: no distance and no bay.
    const std::vector<Cp1251String> far_ = t.RowFields(2);
    EXPECT_EQ(far_[6], Cp1251String()) << "no distance is an empty cell";
    EXPECT_EQ(far_[9], Cp1251String("  0.0"));

    // The window opens over the selection.
    Select({stop1, stop2});
    TFloatingAction::UpdateAll();
    ASSERT_TRUE(Module()->SaveReport->Enabled());
    Module()->SaveReport->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *window = TStreetTableForm::All().back();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Таблица остановок"));
    EXPECT_EQ(window->Table().RowCount(), 2);
    delete window;
}

} // namespace
