// The surface editors: which modules live and which lines and actions hold for a selection, the material
// and category lines, and the area tables.
#include "EditorsTestSupport.h"

#include "editors/SurfaceEditors.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

namespace {

using namespace editortest;

class SurfaceEditorsTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TRoadWayEditorModule>();
        RegisterContextModule<TTrotuarEditorModule>();
        RegisterContextModule<TGazonEditorModule>();
        RegisterContextModule<TPolygonEditorModule>();
        axis = Make(AxisTypeCode, {{-10, 5, 0}, {200, 5, 0}});
        road1 = Road(0, 0, 20, 10);
        road2 = Road(40, 0, 60, 10);
        walk = Box(TrotuarTypeCode, 0, 10, 20, 13);
        lawn1 = Box(GazonTypeCode, 0, 13, 20, 15);
        lawn2 = Box(GazonTypeCode, 40, 13, 60, 15);
        strip1 = Box(RazdPolTypeCode, 20, 4, 40, 6);
        strip2 = Box(RazdPolTypeCode, 60, 4, 80, 6);
    }
    void TearDown() override {
        for (const char *name :
             {"TRoadWayEditorModule", "TTrotuarEditorModule", "TGazonEditorModule", "TPolygonEditorModule"})
            UnregisterContextModule(QString::fromLatin1(name));
        EditorTest::TearDown();
    }
    TRoadWayItem *Road(float x0, float y0, float x1, float y1) {
        return dynamic_cast<TRoadWayItem *>(Box(RoadWayTypeCode, x0, y0, x1, y1));
    }
    template <class T> T *Live() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<T *>(m))
                return t;
        return nullptr;
    }

    TAbstractItem *axis = nullptr, *walk = nullptr, *lawn1 = nullptr, *lawn2 = nullptr, *strip1 = nullptr,
                  *strip2 = nullptr;
    TRoadWayItem *road1 = nullptr, *road2 = nullptr;
};

TEST_F(SurfaceEditorsTest, LiveModulesValidLinesAndEnabledActionsPerSelection) {
    // A road way and a sidewalk: the road way's module lives, its lines do not hold; no polygon module.
    Select({road1, walk});
    ASSERT_NE(Live<TRoadWayEditorModule>(), nullptr);
    EXPECT_FALSE(Live<TRoadWayEditorModule>()->MaterialInfo->IsValid());
    EXPECT_FALSE(Live<TRoadWayEditorModule>()->PaspCategoryInfo->IsValid());
    EXPECT_EQ(Live<TTrotuarEditorModule>(), nullptr);
    EXPECT_EQ(Live<TPolygonEditorModule>(), nullptr);

    // Two lawns: the report of the lawn module, both area lines of the polygon module.
    Select({lawn1, lawn2});
    ASSERT_NE(Live<TGazonEditorModule>(), nullptr);
    ASSERT_NE(Live<TPolygonEditorModule>(), nullptr);
    TFloatingAction::UpdateAll();
    EXPECT_TRUE(Live<TGazonEditorModule>()->Report->Enabled());
    EXPECT_TRUE(Live<TPolygonEditorModule>()->AreaSq->IsValid());
    EXPECT_TRUE(Live<TPolygonEditorModule>()->AreaSumSq->IsValid());
    EXPECT_EQ(Live<TPolygonEditorModule>()->AreaSq->GetInfo(), QStringLiteral(" 40.0"));
    EXPECT_EQ(Live<TPolygonEditorModule>()->AreaSumSq->GetInfo(), QStringLiteral(" 80.0"));
    EXPECT_FALSE(Live<TPolygonEditorModule>()->AreaReport->Enabled());

    // Dividing strips: the polygon table is offered; road ways have their own.
    Select({strip1, strip2});
    TFloatingAction::UpdateAll();
    ASSERT_NE(Live<TPolygonEditorModule>(), nullptr);
    EXPECT_TRUE(Live<TPolygonEditorModule>()->AreaReport->Enabled());
    Select({road1, road2});
    TFloatingAction::UpdateAll();
    ASSERT_NE(Live<TRoadWayEditorModule>(), nullptr);
    ASSERT_NE(Live<TPolygonEditorModule>(), nullptr);
    EXPECT_FALSE(Live<TPolygonEditorModule>()->AreaReport->Enabled());
    EXPECT_TRUE(Live<TRoadWayEditorModule>()->MaterialInfo->IsValid());
    // One road way alone: no sum.
    Select({road1});
    EXPECT_FALSE(Live<TPolygonEditorModule>()->AreaSumSq->IsValid());
}

TEST_F(SurfaceEditorsTest, MaterialAndCategoryLinesOfRoadWaysAndSidewalks) {
    road1->SetMaterial(Cp("Асфальт"));
    road2->SetMaterial(Cp("Плитка"));
    Select({road1, road2});
    TRoadWayEditorModule *m = Live<TRoadWayEditorModule>();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->MaterialInfo->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(m->MaterialInfo->TextColor, DifferentColour);
    prompts_.EnterText(QStringLiteral("Асфальтобетон")).Answer(TPromptAnswer::Yes);
    m->MaterialInfo->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Материал ПЧ = Асфальт")));
    EXPECT_EQ(road1->Material(), Cp("Асфальтобетон"));
    EXPECT_EQ(road2->Material(), Cp("Асфальтобетон"));
    EXPECT_EQ(m->MaterialInfo->GetInfo(), QStringLiteral("Асфальтобетон"));
    EXPECT_EQ(m->MaterialInfo->TextColor, QColor(Qt::black));
    prompts_.EnterText(QStringLiteral("I")).Answer(TPromptAnswer::No);
    m->PaspCategoryInfo->DoClick();
    EXPECT_EQ(road1->PasspCategory(), Cp("I"));
    EXPECT_EQ(road2->PasspCategory(), Cp1251String());
    EXPECT_EQ(m->PaspCategoryInfo->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(m->PaspCategoryInfo->TextColor, DifferentColour);

    auto *w = dynamic_cast<TTrotuarItem *>(walk);
    Select({walk});
    ASSERT_NE(Live<TTrotuarEditorModule>(), nullptr);
    prompts_.EnterText(QStringLiteral("II"));
    Live<TTrotuarEditorModule>()->PasspCategoryInfo->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Тротуар:rатегория паспортизации = ")));
    EXPECT_EQ(w->PasspCategory(), Cp("II"));
    EXPECT_EQ(Live<TTrotuarEditorModule>()->PasspCategoryInfo->GetInfo(), QStringLiteral("II"));
    EXPECT_EQ(Live<TTrotuarEditorModule>()->PasspCategoryInfo->TextColor, Fuchsia);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(SurfaceEditorsTest, AreaTables) {
    road1->SetReferAxis(axis);
    road1->SetPasspAxis(axis);
    road1->SetMaterial(Cp("Асфальт"));
    road1->SetPasspCategory(Cp("I"));
    road2->SetComment(Cp("к"));
    const std::vector<TAbstractItem *> roads{road2, road1, walk};
    const TReportTable t = MakeItemReport(TRoadWayEditorModule::AreaReportSpec(), roads);
    const std::vector<Cp1251String> columns = t.Columns();
    ASSERT_EQ(columns.size(), 12u);
    EXPECT_EQ(columns[8], Cp("Тип покрытия"));
    EXPECT_EQ(columns[9], Cp1251String());
    EXPECT_EQ(columns[10], Cp1251String());
    EXPECT_EQ(columns[11], Cp("Примечание"));
    ASSERT_EQ(t.RowCount(), 2) << "the sidewalk is not a road way";
    EXPECT_EQ(t.RowObject(0), ItemRowObject(*road2));
    const std::vector<Cp1251String> measured = t.RowFields(1), bare = t.RowFields(0);
    EXPECT_EQ(measured[0], axis->GetItemName());
    EXPECT_EQ(measured[1], Cp("ось"));
    // Stations from the axis's start 10 m before the road way.
    EXPECT_EQ(measured[2], Cp1251String(" 10.0"));
    EXPECT_EQ(measured[3], Cp1251String(" 30.0"));
    EXPECT_EQ(measured[4], Cp1251String(" 20.0"));
    EXPECT_EQ(measured[5], Cp1251String(" 10.0"));
    EXPECT_EQ(measured[7], Cp1251String("200.0"));
    EXPECT_EQ(measured[8], Cp("Асфальт"));
    EXPECT_EQ(measured[11], Cp("I")) << "the category alone";
    // Without an axis nothing is measured: empty cells, never " -1.0"; the comment alone as the note.
    EXPECT_EQ(bare[0], Cp1251String("nil"));
    for (int i : {2, 3, 4, 5, 6})
        EXPECT_EQ(bare[std::size_t(i)], Cp1251String()) << i;
    EXPECT_EQ(bare[7], Cp1251String("200.0"));
    EXPECT_EQ(bare[11], Cp("к"));
    road2->SetPasspCategory(Cp("II"));
    EXPECT_EQ(MakeItemReport(TRoadWayEditorModule::AreaReportSpec(), roads).RowFields(0)[11], Cp("II; к"));

    // Sidewalks and lawns: ten columns, the area the polygon's own.
    const TReportTable walks = MakeItemReport(TTrotuarEditorModule::ReportSpec(), roads);
    ASSERT_EQ(walks.RowCount(), 1);
    EXPECT_EQ(walks.Columns().size(), 10u);
    EXPECT_EQ(walks.RowFields(0)[7], AreaText(dynamic_cast<TPolygonItem &>(*walk).Area(), true));
    EXPECT_EQ(walks.RowFields(0)[7], Cp1251String(" 60.0"));
    const std::vector<TAbstractItem *> lawns{lawn1};
    lawn1->SetComment(Cp("газон"));
    const TReportTable green = MakeItemReport(TGazonEditorModule::ReportSpec(), lawns);
    ASSERT_EQ(green.RowCount(), 1);
    EXPECT_EQ(green.RowFields(0)[8], Cp1251String());
    EXPECT_EQ(green.RowFields(0)[9], Cp("газон"));

    // The table window opens over the selection.
    Select({road1, road2});
    TFloatingAction::UpdateAll();
    Live<TRoadWayEditorModule>()->AreaReport->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *window = TStreetTableForm::All().back();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Таблица площадных объектов"));
    EXPECT_EQ(window->Table().RowCount(), 2);
    delete window;
}

} // namespace
