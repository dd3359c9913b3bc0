// A sign post in the real window: S, P and a right click select it; Shift+L hangs a plate picked from the
// sign library, which shows at the post's anchor and can be dragged at once; O turns it, Shift+S doubles it,
// Shift+T labels it; the support kind comes from the dictionary; F gives the sign table; the conversion
// makes a column of second-kind plates, of which Ctrl+A selects both; F2 writes the plate by library name.
// A screenshot of the window goes to the build folder.
#include "e2e/E2ESupport.h"
#include "editors/SignEditors.h"
#include "engine/Cp1251Qt.h"
#include "engine/Directory.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "shell/ContextModules.h"
#include "shell/DrawBox.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace e2etest;

class SignEditorsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Signs.zrv");
        TStreetStructure street;
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        // A post heading east: its plates hang from (130, 44), the one it has 8 m north of that.
        auto *post = dynamic_cast<TZnakItem *>(
            MakeItem(street, ZnakTypeCode, {{130, 40, 0}, {127, 44, 0}, {130, 44, 0}}));
        TEmfSubItem *plate = post->AddPlate();
        plate->SetLibraryName(Cp("2-4.emf"));
        plate->SetOrigin({0, 8, 0});
        // Plates eight times their size, so that they show large in the fitted view.
        street.SetZnakScale(8);
        street.SaveToFile(street_);
    }
    static TZnakEditorModule *PostModule() {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *z = qobject_cast<TZnakEditorModule *>(m))
                return z;
        return nullptr;
    }
    // Pixels of the plate's blue around a view point.
    static int BluePixels(const TPicture &picture, const TXYZ &at, int radius) {
        int blue = 0;
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                const uint32_t c = picture.At(int(at.x) + dx, int(at.y) + dy);
                blue += (c & 0xFF) > 120 && ((c >> 16) & 0xFF) < 90;
            }
        return blue;
    }

    std::string street_;
};

TEST_F(SignEditorsE2E, PlatePickedMovedTurnedScaledLabelledReportedConvertedAndSaved) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenStreetInWindow(startUp, street_));
    TStreetStructure &street = form.CurrentStreet();
    auto *post = dynamic_cast<TZnakItem *>(street.Lists(ZnakTypeCode).Items(0));
    ASSERT_NE(post, nullptr);
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto pixel = [&](float x, float y) {
        const TXYZ p = plan.GroundToScreen({x, y, 0});
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };

    // S to select, P for point items, and a right click on the post's foot.
    QTest::keyClick(drawBox, Qt::Key_S);
    QTest::keyClick(drawBox, Qt::Key_P);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(130, 40));
    ASSERT_TRUE(WaitUntil([&] { return PostModule() != nullptr; }));
    TZnakEditorModule *m = PostModule();
    EXPECT_TRUE(WaitUntil([&] {
        return InfoValue(form, QStringLiteral("Количество знаков")) == QStringLiteral("1");
    })) << InfoValue(form, QStringLiteral("Количество знаков")).toStdString();

    // Shift+L: the picker, answered with the library's 5.19.1; the plate hangs at the anchor, selected,
    // and the move mode is current.
    prompts_.Picture(
        QString::fromStdString((GetNamedDirectory(MetafileLibDirName()) / "5-19-1.emf").string()));
    QTest::keyClick(drawBox, Qt::Key_L, Qt::ShiftModifier);
    ASSERT_EQ(post->PlateCount(), 2);
    TEmfSubItem *plate = post->GetPlate(1);
    EXPECT_EQ(plate->LibName(), Cp("5-19-1.emf"));
    EXPECT_EQ(form.MouseMode(), m->MoveEMFMode);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_GT(BluePixels(Picture(form), plan.GroundToScreen({130, 44, 0}), 16), 100)
        << "no plate at the anchor";

    // A left drag takes it where the mouse goes.
    const QPoint from = pixel(130, 44), to = pixel(136, 38);
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(drawBox, (from + to) / 2);
    QTest::mouseMove(drawBox, to);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, to);
    const TXYZ target = plan.ScreenToGround(to.x(), to.y()), at = plate->GetWorldPosition();
    EXPECT_NEAR(at.x, target.x, 1e-3);
    EXPECT_NEAR(at.y, target.y, 1e-3);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_GT(BluePixels(Picture(form), plan.GroundToScreen(at), 16), 100) << "the plate did not follow";

    // O turns it, Shift+S 200 doubles it, Shift+T labels it.
    QTest::keyClick(drawBox, Qt::Key_O);
    EXPECT_EQ(plate->Rotation(), 90);
    prompts_.TypeFloats({200}, true);
    QTest::keyClick(drawBox, Qt::Key_S, Qt::ShiftModifier);
    EXPECT_FLOAT_EQ(plate->Scale(), 2.0f);
    prompts_.EnterText(QStringLiteral("5.19.1 лев"));
    QTest::keyClick(drawBox, Qt::Key_T, Qt::ShiftModifier);
    EXPECT_EQ(plate->GetText(), Cp("5.19.1 лев"));
    EXPECT_TRUE(prompts_.Log().join(u'\n').contains(QStringLiteral("Подпись знака")));

    // The support kind from the dictionary.
    prompts_.Select(0);
    m->AncKindInfo->DoClick();
    EXPECT_FALSE(post->SupportKind().Empty());
    EXPECT_EQ(prompts_.LastSelectItems().value(0), ToQString(post->SupportKind()));
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Тип опоры")) == ToQString(post->SupportKind()); }));

    // F: the sign table, a row a plate, rather than the pick of any item that F starts otherwise; the
    // mouse mode stays.
    TMouseEvents *modeBefore = form.MouseMode();
    const std::size_t tablesBefore = TStreetTableForm::All().size();
    QTest::keyClick(drawBox, Qt::Key_F);
    ASSERT_EQ(TStreetTableForm::All().size(), tablesBefore + 1);
    TStreetTableForm *table = TStreetTableForm::All().back();
    EXPECT_EQ(table->windowTitle(), QStringLiteral("Отчет по дорожным знакам"));
    ASSERT_EQ(table->Table().RowCount(), 2);
    EXPECT_EQ(table->Table().RowFields(1).at(5), Cp("5.19.1 лев")) << "the number as labelled";
    EXPECT_EQ(table->Table().RowFields(1).at(6), post->SupportKind());
    EXPECT_EQ(table->Table().RowFields(0).at(6), post->SupportKind());
    EXPECT_EQ(form.MouseMode(), modeBefore);

    // The conversion: two plates of the second kind, the second hanging from the first.
    ASSERT_TRUE(WaitUntil([&] { return PostModule() != nullptr; }));
    PostModule()->ConvertToNewFormat->Click();
    TStreetTableForm *result = TStreetTableForm::All().back();
    EXPECT_EQ(result->windowTitle(), QStringLiteral("Отчет по преобразованию"));
    ASSERT_EQ(result->Table().RowCount(), 1);
    EXPECT_EQ(result->Table().RowFields(0).at(0), Cp("Преобразован, количетво новых = 2"));
    ASSERT_EQ(street.Lists(RoadSignTypeCode).Count(), 2);
    auto *lower = dynamic_cast<TRoadSignItem *>(street.Lists(RoadSignTypeCode).Items(1));
    ASSERT_NE(lower, nullptr);

    // Ctrl+A on the lower one selects the column.
    street.Selection().Clear();
    street.Selection().AddItem(lower);
    form.RefreshAll();
    QTest::keyClick(drawBox, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(street.Selection().Count(), 2);
    EXPECT_EQ(street.Selection().Items(0), street.Lists(RoadSignTypeCode).Items(0));
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-signs.png")));

    // F2: the file holds the picked plate by its library name.
    for (TStreetTableForm *t : TStreetTableForm::All())
        t->close();
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    const std::vector<uint8_t> saved = sptest::ReadFileBytes(street_);
    EXPECT_NE(std::search(saved.begin(), saved.end(), std::begin("ZNSLIBNM"), std::end("ZNSLIBNM") - 1),
              saved.end());
    std::unique_ptr<TStreetStructure> back = sptest::LoadBytes(saved);
    auto *readPost = dynamic_cast<TZnakItem *>(back->Lists(ZnakTypeCode).Items(0));
    ASSERT_NE(readPost, nullptr);
    ASSERT_EQ(readPost->PlateCount(), 2);
    EXPECT_EQ(readPost->GetPlate(1)->LibName(), Cp("5-19-1.emf"));
    EXPECT_GE(readPost->GetPlate(1)->LibIndex(), 0);
    EXPECT_EQ(readPost->GetPlate(1)->Rotation(), 90);
    EXPECT_EQ(back->Lists(RoadSignTypeCode).Count(), 2);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
