// The curb, line-marking and tram-line editors in the real window: L and a right click on a curb show its
// lines in the info grid; a new grade shows there and in the curb table with its area; a wider painted strip;
// two curbs given one kind through the question; E on a marking chooses its code, which the marking table
// shows; the mirror moves the marking's painted strip to the other side of its line; a tram line's rut
// width; a zebra made wider and given its yellow background; F2 saves a file that reads back to the street.
#include "e2e/E2ESupport.h"
#include "editors/LineEditors.h"
#include "engine/Cp1251Qt.h"
#include "objects/BortItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/TramWayItem.h"
#include "objects/ZebraItem.h"
#include "shell/ContextModules.h"
#include "shell/DrawBox.h"
#include "shell/ItemsControl.h"
#include "shell/StreetTableForm.h"

namespace {

using namespace e2etest;

class LineEditorsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        file_ = dir_.File("Editors.zrv");
        // A road way 60 x 12, curbs on its lower and upper edges, an axis along its middle, a marking
        // below it and a tram line inside it.
        TStreetStructure street;
        TAbstractItem *road =
            MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        for (auto [from, to] : {std::pair{0, 1}, std::pair{2, 3}}) {
            auto *curb = dynamic_cast<TBortItem *>(sptest::MakeItemOn(
                street, BortTypeCode, {road->Points.PointRec(from), road->Points.PointRec(to)}));
            curb->SetGost(Cp("БР 100.30.15"));
        }
        TAbstractItem *axis = MakeItem(street, AxisTypeCode, {{90, 56, 0}, {170, 56, 0}});
        street.SetMainAxis(axis);
        MakeItem(street, LineRazmetTypeCode, {{100, 44, 0}, {160, 44, 0}});
        MakeItem(street, TramWayTypeCode, {{100, 58, 0}, {160, 58, 0}});
        auto *zebra = dynamic_cast<TZebraItem *>(MakeItem(street, ZebraTypeCode, {{140, 51, 0}, {140, 61, 0}}));
        zebra->Width = 4;
        street.SaveToFile(file_);
    }

    template <class T> static T *Live() {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<T *>(m))
                return t;
        return nullptr;
    }

    // The newest table window's rows, and closes it.
    static std::vector<std::vector<Cp1251String>> TakeTable(const QString &caption) {
        std::vector<std::vector<Cp1251String>> rows;
        if (TStreetTableForm::All().empty())
            return rows;
        TStreetTableForm *window = TStreetTableForm::All().back();
        EXPECT_EQ(window->windowTitle(), caption);
        for (int r = 0; r < window->Table().RowCount(); ++r)
            rows.push_back(window->Table().RowFields(r));
        delete window;
        return rows;
    }

    static void SelectOnly(TMainForm &form, std::initializer_list<TAbstractItem *> items) {
        form.CurrentStreet().Selection().Clear();
        for (TAbstractItem *i : items)
            form.CurrentStreet().Selection().AddItem(i);
        form.RefreshAll();
    }

    std::string file_;
};

TEST_F(LineEditorsE2E, CurbsMarkingsAndTramLines) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenStreetInWindow(startUp, file_));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(BortTypeCode).Count(), 2);
    auto *lower = dynamic_cast<TBortItem *>(street.Lists(BortTypeCode).Items(0));
    auto *upper = dynamic_cast<TBortItem *>(street.Lists(BortTypeCode).Items(1));
    auto *marking = dynamic_cast<TLineRazmetItem *>(street.Lists(LineRazmetTypeCode).Items(0));
    auto *tram = dynamic_cast<TTramWayItem *>(street.Lists(TramWayTypeCode).Items(0));
    auto *zebra = dynamic_cast<TZebraItem *>(street.Lists(ZebraTypeCode).Items(0));
    ASSERT_TRUE(lower && upper && marking && tram && zebra);
    // The pixels of the curb's own green across the lower curb.
    const auto curbPixels = [&] {
        const TPlanPicture picture(form);
        const QPoint at = picture.Pixel(130, 50);
        int n = 0;
        for (int dy = -12; dy <= 12; ++dy)
            n += picture.At(at + QPoint(0, dy)) == 0x008000u ? 1 : 0;
        return n;
    };
    const int thin = curbPixels();
    EXPECT_GT(thin, 0);

    // L and a right click on the lower curb: its four lines.
    QTest::keyClick(drawBox, Qt::Key_L);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, PlanPixel(form, {122, 50, 0}));
    ASSERT_EQ(TItemsControlModule::Instance()->Selection(), std::vector<TAbstractItem *>{lower});
    ASSERT_TRUE(WaitUntil([&] {
        return InfoValue(form, QStringLiteral("Марка")) == QStringLiteral("БР 100.30.15");
    })) << InfoValue(form, QStringLiteral("Марка")).toStdString();
    EXPECT_EQ(InfoValue(form, QStringLiteral("Тип борта")), QString());
    EXPECT_EQ(InfoValue(form, QStringLiteral("Цвет")), QStringLiteral("R   0; G 128; B   0;"));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Ширина нарисовки")), QStringLiteral("0.20"));
    ASSERT_NE(Live<TBortEditorModule>(), nullptr);

    // A grade of the dictionary: the line and the table show it, the area follows its width.
    const auto before = [&] {
        form.RefreshAll();
        Live<TBortEditorModule>()->SaveReport->Click();
        return TakeTable(QStringLiteral("Таблица борта"));
    }();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0][7], Cp1251String("  9.0"));
    prompts_.EnterText(QStringLiteral("БР 100.60.20"));
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Марка")));
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Марка")) == QStringLiteral("БР 100.60.20"); }));
    Live<TBortEditorModule>()->SaveReport->Click();
    const auto after = TakeTable(QStringLiteral("Таблица борта"));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0][6], Cp("БР 100.60.20"));
    EXPECT_EQ(after[0][7], Cp1251String(" 12.0"));
    EXPECT_EQ(after[0][8], Cp("ПЧ"));

    // The painted width.
    prompts_.EnterText(QStringLiteral("0.35"));
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Ширина нарисовки")));
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Ширина нарисовки")) == QStringLiteral("0.35"); }));
    EXPECT_EQ(lower->Width(), 0.35f);
    SelectOnly(form, {});
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_GT(curbPixels(), thin);
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-editors-curb.png")));

    // Both curbs, one kind through the question.
    SelectOnly(form, {lower, upper});
    prompts_.EnterText(QStringLiteral("Садовый")).Answer(TPromptAnswer::Yes);
    ASSERT_TRUE(WaitUntil([&] { return InfoCell(form, QStringLiteral("Тип борта")) != nullptr; }));
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Тип борта")));
    EXPECT_EQ(lower->Kind(), Cp("Садовый"));
    EXPECT_EQ(upper->Kind(), Cp("Садовый"));
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Тип борта")) == QStringLiteral("Садовый"); }));

    // The marking: E and "1.2.1" from the chooser, the table, the mirror.
    SelectOnly(form, {marking});
    ASSERT_NE(Live<TLineRazmetEditorModule>(), nullptr);
    const int index = int(TLineRazmetEditorModule::GostNames().indexOf(QStringLiteral("1.2.1")));
    ASSERT_GE(index, 0);
    prompts_.Select(index);
    QTest::keyClick(drawBox, Qt::Key_E);
    EXPECT_EQ(marking->Gost(), Cp("1.2.1"));
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("ГОСТ")) == QStringLiteral("1.2.1"); }));
    Live<TLineRazmetEditorModule>()->LnRazmetRep->Click();
    const auto markings = TakeTable(QStringLiteral("Таблица линий разметки"));
    ASSERT_EQ(markings.size(), 1u);
    EXPECT_EQ(markings[0][5], Cp("1.2.1"));
    EXPECT_EQ(markings[0][4], Cp1251String(" 60.0"));
    // Zoomed in until the 0.2 m strip is tens of pixels wide, and with nothing selected (the selection's
    // overlay covers what it marks): "1.2.1" paints right of the marking's direction (+x), below its line,
    // and the mirror moves the paint above it.
    const auto paintAcross = [&](float dy) {
        const TPlanPicture picture(form);
        std::vector<uint32_t> colours;
        for (float x : {129.5f, 130.f, 130.5f})
            for (float d : {0.05f, 0.1f, 0.15f})
                colours.push_back(picture.At(x, 44 + dy * d));
        return colours;
    };
    SelectOnly(form, {});
    ASSERT_TRUE(ShowAround(form, 130, 44, 5));
    ASSERT_GT(form.MainPlanDrawer().PixelsPerUnit() * 0.2, 20.0);
    const std::vector<uint32_t> paintBelow = paintAcross(-1), whiteAbove = paintAcross(1);
    const uint32_t paint = paintBelow.front();
    EXPECT_NE(paint, 0xFFFFFFu);
    EXPECT_EQ(paintBelow, std::vector<uint32_t>(paintBelow.size(), paint)) << "an unbroken strip below";
    EXPECT_EQ(whiteAbove, std::vector<uint32_t>(whiteAbove.size(), 0xFFFFFFu)) << "nothing above yet";
    SelectOnly(form, {marking});
    Live<TLineRazmetEditorModule>()->Mirror->Click();
    EXPECT_EQ(marking->Mirror(), 1);
    SelectOnly(form, {});
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_EQ(paintAcross(1), std::vector<uint32_t>(whiteAbove.size(), paint)) << "the strip moved above";
    EXPECT_EQ(paintAcross(-1), std::vector<uint32_t>(paintBelow.size(), 0xFFFFFFu)) << "and left below";
    ASSERT_TRUE(ShowWholeStreet(form));

    // The tram line's rut width.
    SelectOnly(form, {tram});
    ASSERT_NE(Live<TTramWayEditorDataModule>(), nullptr);
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Ширина")) == QStringLiteral("1.40"); }));
    prompts_.EnterText(QStringLiteral("1.524"));
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Ширина")));
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Ширина")) == QStringLiteral("1.52"); }));

    // The zebra: 8 m wide, then a yellow background; both show on the plan.
    SelectOnly(form, {zebra});
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Ширина зебры")) == QStringLiteral("4.0"); }));
    const auto zebraPixels = [&](uint32_t rgb) {
        const TPlanPicture picture(form);
        const QPoint a = picture.Pixel(133, 62), b = picture.Pixel(147, 50);
        int n = 0;
        for (int y = a.y(); y <= b.y(); ++y)
            for (int x = a.x(); x <= b.x(); ++x)
                n += picture.At(QPoint(x, y)) == rgb ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    const int narrow = zebraPixels(0x000000);
    EXPECT_GT(narrow, 0);
    EXPECT_EQ(zebraPixels(0xF0F000), 0);
    prompts_.EnterText(QStringLiteral("8"));
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Ширина зебры")));
    EXPECT_EQ(zebra->Width, 8.0f);
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Ширина зебры")) == QStringLiteral("8.0"); }));
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_GT(zebraPixels(0x000000), narrow * 3 / 2) << "the wide crossing's halves and arrows";
    prompts_.Select(1);
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Желтый фон")));
    EXPECT_NE(zebra->YellowBackground, 0);
    EXPECT_TRUE(WaitUntil([&] { return InfoValue(form, QStringLiteral("Желтый фон")) == QStringLiteral("Да"); }));
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_GT(zebraPixels(0xF0F000), 0) << "yellow patches";
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-editors-done.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(file_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
