// Painted road text and a painted sign in the real window: the street opens and paints "СТОП" and the
// sign on the road way, and labels a core with the texture font; P and a right click on the text select
// it (the info grid names its type); F2 saves, and the file reads back to the street in the window. A
// screenshot goes to the build folder.
#include "e2e/E2ESupport.h"
#include "engine/DxDraw.h"
#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "objects/Kern.h"
#include "objects/RazmetGlyphs.h"
#include "objects/RazmetText.h"
#include "shell/DrawBox.h"
#include "shell/ItemsControl.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace e2etest;

class RoadPaintE2E : public SharedEdgeWindowTest {
protected:
    void SetUp() override {
        SharedEdgeWindowTest::SetUp();
        FreeRazmetGlyphs();
        // On the road way of the shared-edge street: "СТОП" reading up the plan from (110, 53) (its
        // letters stand to the left, towards -x), and a speed limit whose copy runs up from (140, 53).
        TStreetStructure street;
        street.LoadFromFile(street_);
        auto *text = dynamic_cast<TRazmetTextItem *>(
            MakeItem(street, RazmetTextTypeCode, {{110, 53, 0}, {110, 59, 0}}));
        text->SetText(Cp("СТОП"));
        auto *sign = dynamic_cast<TRazmetZnakItem *>(
            MakeItem(street, RazmetZnakTypeCode, {{140, 53, 0}, {141, 53, 0}}));
        sign->SetSignName(Cp1251String("3.24-40"));
        // A labelled core beside them: its label is drawn with the program's texture font.
        auto *core = dynamic_cast<TKernItem *>(MakeItem(street, KernTypeCode, {{125, 56, 0}}));
        core->SetLabel(Cp("К-1"));
        street.SaveToFile(street_);
    }
    void TearDown() override {
        FreeRazmetGlyphs();
        SharedEdgeWindowTest::TearDown();
    }
};

TEST_F(RoadPaintE2E, OpenPaintSelectSaveAndReopen) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(RazmetTextTypeCode).Count(), 1);
    TAbstractItem *text = street.Lists(RazmetTextTypeCode).Items(0);

    // Black paint on the first letter's left stroke (0.08 m in from the text's start, 0.8 m up the
    // letter) and on the sign's frame at its far end (0.06 m short of 2.5 m), the road way beside them.
    const TPlanPicture picture(form);
    EXPECT_TRUE(picture.Near(110 - 0.8f, 53.08f, 0x000000)) << "on the letter";
    EXPECT_TRUE(picture.Near(140, 53 + 2.44f, 0x000000)) << "on the sign's frame";
    EXPECT_NE(picture.At(105, 56), 0x000000u) << "the road way beside the text";
    TDxPrimCollection *labels = TypePrimCollection(street, KernTypeCode, 0);
    ASSERT_NE(labels, nullptr);
    ASSERT_NE(TFontsDataForm::Instance(), nullptr);
    EXPECT_EQ(labels->Texture(), TFontsDataForm::Instance()->SmallArialTexture(false));
    std::size_t labelVertices = 0;
    for (std::size_t i = 0; i < labels->Count(); ++i)
        if (!labels->Group(i).Deleted)
            labelVertices += labels->Group(i).Vertices.size();
    EXPECT_EQ(labelVertices, 3u * 6) << "two triangles a character of \"К-1\"";

    // P, then a right click on the text's first vertex.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_P);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, picture.Pixel(110, 53));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{text});
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Выбрано объектов")) == QStringLiteral("1"); }));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Тип")), QStringLiteral("Разметка текст"));
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-road-paint.png")));

    // F2 (the street was opened unchanged: mark it changed so that saving is offered), and the file reads
    // back to the street.
    street.SetModified();
    form.RefreshAll();
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_EQ(back->Lists(RazmetZnakTypeCode).Count(), 1);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
