// The quantity summary in the real window: a street with a road way, a sidewalk, a line marking, a post
// with two plates and a calculation area opens; S and a Ctrl right click inside the area offer the items
// there, and the area is chosen; "Отчет" shows "Сводка" with the hand-computed figures; "Копировать" leaves
// the TAB text on the clipboard and "Сохранить" writes the "#" lines and remembers the file. A screenshot
// of each page goes to the build folder.
#include "e2e/E2ESupport.h"
#include "editors/CalcAreaEditors.h"
#include "engine/Cp1251Qt.h"
#include "objects/CalcAreaItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/ZnakItem.h"
#include "shell/DrawBox.h"
#include "shell/FloatingActions.h"
#include "shell/ItemsControl.h"
#include "shell/MainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace {

using namespace e2etest;

// A road way 30 x 10 with a sidewalk above it, a solid line along the road, a post with two plates, and a
// 20 x 10 area over the middle of the road way.
void WriteCalcStreet(const std::string &fileName) {
    TStreetStructure street;
    MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {130, 50, 0}, {130, 60, 0}, {100, 60, 0}});
    MakeItem(street, TrotuarTypeCode, {{100, 60, 0}, {130, 60, 0}, {130, 64, 0}, {100, 64, 0}});
    TLnParamRec solid;
    solid.Name = Cp("1.1");
    solid.Description = Cp("Сплошная линия");
    solid.Disp1 = 0.05f;
    solid.Disp2 = -0.05f;
    solid.SqCoeff = 1;
    street.SetLnRazmetParams({solid});
    dynamic_cast<TLineRazmetItem &>(*MakeItem(street, LineRazmetTypeCode, {{95, 55, 0}, {135, 55, 0}}))
        .SetGost(Cp("1.1"));
    auto &post = dynamic_cast<TZnakItem &>(
        *MakeItem(street, ZnakTypeCode, {{110, 52, 0}, {111, 52, 0}, {110, 53, 0}}));
    TEmfSubItem *a = post.AddPlate();
    a->SetText(Cp("2.1"));
    a->SetStatus(Cp("новый"));
    post.AddPlate()->SetText(Cp("5.19.1"));
    MakeItem(street, CalcAreaTypeCode, {{105, 50, 0}, {125, 50, 0}, {125, 60, 0}, {105, 60, 0}});
    street.SaveToFile(fileName);
}

std::string ReadFile(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CalcAreaE2E : public SharedEdgeWindowTest {
protected:
    void SetUp() override {
        SharedEdgeWindowTest::SetUp();
        WriteCalcStreet(street_);
    }
};

TEST_F(CalcAreaE2E, ChooseTheAreaReadItsSummaryCopyAndSave) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(CalcAreaTypeCode).Count(), 1);
    TAbstractItem *area = street.Lists(CalcAreaTypeCode).Items(0);
    const QPoint at = PlanPixel(form, {115, 57, 0});

    // S, then Ctrl and a right click inside the area: the items there are offered; the area is chosen.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_S);
    prompts_.Menu(-1);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::ControlModifier, at);
    const int index = int(prompts_.LastMenuEntries().indexOf(QStringLiteral("Область обсчета")));
    ASSERT_GE(index, 0) << prompts_.LastMenuEntries().join(QLatin1Char(',')).toStdString();
    prompts_.Menu(index);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::ControlModifier, at);
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{area});
    QCoreApplication::processEvents();

    TFloatingAction *report = nullptr;
    for (TFloatingAction *a : TFloatingAction::All())
        if (a->objectName() == QStringLiteral("CalcAreaView"))
            report = a;
    ASSERT_NE(report, nullptr);
    TFloatingAction::UpdateAll();
    ASSERT_TRUE(report->Enabled());

    // "Отчет": the window is modal; it is read and worked while it is up, then closed.
    const std::string saved = dir_.File("razmet.txt");
    bool seen = false;
    QString common, clip;
    int markingRows = 0;
    QStringList signs;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *view = qobject_cast<TCalcAreaViewForm *>(QApplication::activeModalWidget());
        if (!view || seen)
            return;
        seen = true;
        poll.stop();
        auto *pages = view->findChild<QTabWidget *>(QStringLiteral("PageControl"));
        common = view->findChild<QPlainTextEdit *>(QStringLiteral("CommonMemo"))->toPlainText();
        markingRows = view->findChild<QTableWidget *>(QStringLiteral("SumTable"))->rowCount();
        auto *znak = view->findChild<QTableWidget *>(QStringLiteral("ZnakGrid"));
        for (int r = 0; r < znak->rowCount(); ++r)
            signs << (znak->item(r, 0) ? znak->item(r, 0)->text() : QString()) + QLatin1Char('=') +
                         (znak->item(r, 2) ? znak->item(r, 2)->text() : QString());
        const char *shots[] = {"e2e-calc-area-common.png", "e2e-calc-area-marking.png",
                               "e2e-calc-area-signs.png"};
        for (int p = 0; p < 3; ++p) {
            pages->setCurrentIndex(p);
            QCoreApplication::processEvents();
            view->grab().save(BuildFile(shots[p]));
        }
        view->findChild<QPushButton *>(QStringLiteral("CopyRazmetSB"))->click();
        clip = QApplication::clipboard()->text();
        prompts_.Files({QString::fromStdString(saved)});
        view->findChild<QPushButton *>(QStringLiteral("SaveRazmetSB"))->click();
        view->accept();
    });
    poll.start();
    report->Click();
    poll.stop();
    ASSERT_TRUE(seen);

    EXPECT_TRUE(common.contains(QStringLiteral("Площадь проезжей части    200.0 кв. м.\n")))
        << common.toStdString();
    EXPECT_TRUE(common.contains(QStringLiteral("Площадь тротуаров           0.0 кв. м.\n")))
        << common.toStdString();
    EXPECT_EQ(markingRows, static_cast<int>(dynamic_cast<TCalcAreaItem *>(area)->MarkingRows.size()) + 5);
    EXPECT_EQ(signs, (QStringList{QStringLiteral("ГОСТ=Количество"), QStringLiteral("2.1=1"),
                                  QStringLiteral("5.19.1=1"), QStringLiteral("="), QStringLiteral("итого=1"),
                                  QStringLiteral("итого=1")}));
    EXPECT_EQ(clip, QStringLiteral(" 1.1\tСплошная линия\t\t 20.0\t 2.00"));
    EXPECT_EQ(ReadFile(saved), Cp(" 1.1#Сплошная линия## 20.0# 2.00").Bytes() + "\r\n");
    EXPECT_EQ(RegReadString(Cp1251String("CalcAreaViewForm"), Cp1251String("LastTxtFile")),
              Cp1251String(saved));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
