// The summary of a calculation area without a window of its own on screen: the text page, the marking and
// sign grids, both exports, the refusal for an area that cannot be computed, and the module's action.
#include "EditorsTestSupport.h"

#include "editors/CalcAreaEditors.h"
#include "engine/Reg_Shell.h"
#include "objects/CalcAreaItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/RoadWay.h"
#include "objects/ZnakItem.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <fstream>
#include <iterator>

using namespace editortest;

namespace {

class CalcAreaSummary : public EditorTest {
protected:
    TCalcAreaItem *Area() { return dynamic_cast<TCalcAreaItem *>(Box(CalcAreaTypeCode, 0, 0, 20, 10)); }
    static TRazmetSumRecord Row(const char *name, const char *description, int32_t count, double length,
                                double area, bool unknown = false) {
        TRazmetSumRecord r;
        r.Name = Cp(name);
        r.Description = Cp(description);
        r.Count = count;
        r.Length = length;
        r.Area = area;
        r.Material = WhitePaintName();
        r.AreaUnknown = unknown;
        return r;
    }
    static std::string ReadFile(const std::string &name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(CalcAreaSummary, MarkingGridAndExportsFormatEveryCase) {
    TCalcAreaItem *area = Area();
    area->MarkingRows = {Row("1.1", "сплошная", -1, -1, 0),             // nothing: shown, not exported
                         Row("1.5", "a#b\tc", 0, 0, 1.5),               // separators inside the description
                         Row("1.7", "пунктир", 3, 12.34, 12.35, true)}; // partly unknown
    area->WhitePaintArea = {13.86, true};
    area->YellowPlasticArea = {2.5, false};

    const auto grid = CalcAreaMarkingGrid(*area);
    ASSERT_EQ(grid.size(), area->MarkingRows.size() + 5);
    EXPECT_EQ(grid[0], (std::vector<Cp1251String>{Cp("ГОСТ"), Cp("Кол-во, шт"), Cp("Длина, м"),
                                                  Cp("Площадь, кв.м."), Cp("Материал"), Cp("Описание")}));
    struct TCase {
        std::size_t Row;
        const char *Count, *Length, *Area;
    } cases[] = {{1, "", "", " 0.00"}, {2, "  0", "  0.0", " 1.50"}, {3, "  3", " 12.3", "12.35+?"}};
    for (const TCase &c : cases) {
        EXPECT_EQ(grid[c.Row][1], Cp(c.Count)) << c.Row;
        EXPECT_EQ(grid[c.Row][2], Cp(c.Length)) << c.Row;
        EXPECT_EQ(grid[c.Row][3], Cp(c.Area)) << c.Row;
    }
    const std::vector<std::vector<Cp1251String>> totals{
        {Cp("Итого"), {}, {}, Cp(" 0.00"), Cp("Пластик белый"), {}},
        {Cp("Итого"), {}, {}, Cp("13.86+?"), Cp("Краска белая"), {}},
        {Cp("Итого"), {}, {}, Cp(" 2.50"), Cp("Пластик жёлтый"), {}},
        {Cp("Итого"), {}, {}, Cp(" 0.00"), Cp("Краска желтая"), {}}};
    EXPECT_EQ(std::vector<std::vector<Cp1251String>>(grid.end() - 4, grid.end()), totals);

    EXPECT_EQ(CalcAreaMarkingExport(*area, '#'),
              (std::vector<Cp1251String>{Cp(" 1.5#\"a#b\tc\"#  0#  0.0# 1.50"),
                                         Cp(" 1.7#пунктир#  3# 12.3#12.35+?")}));
    EXPECT_EQ(CalcAreaMarkingExport(*area, '\t'),
              (std::vector<Cp1251String>{Cp(" 1.5\t\"a#b\tc\"\t  0\t  0.0\t 1.50"),
                                         Cp(" 1.7\tпунктир\t  3\t 12.3\t12.35+?")}));
    EXPECT_EQ(CalcAreaMaterialLabel(area->WhitePaintArea), Cp("Площадь  13.9+? кв. м."));
    EXPECT_EQ(CalcAreaOwnAreaLabel(*area), Cp("200.0 кв. м."));
}

TEST_F(CalcAreaSummary, SignGridAndExport) {
    TCalcAreaItem *area = Area();
    area->SignsByNumber.Add(Cp("9.99.9=2")); // no description listed
    area->SignsByNumber.Add(Cp("x#y=1"));
    area->SignsByStatus.Add(Cp("без статуса=3"));
    const auto grid = CalcAreaSignGrid(*area);
    ASSERT_EQ(grid.size(), 2u + 2 + 1);
    EXPECT_EQ(grid[1], (std::vector<Cp1251String>{Cp("9.99.9"), {}, Cp("2")}));
    EXPECT_EQ(grid[3], (std::vector<Cp1251String>{{}, {}, {}}));
    EXPECT_EQ(grid[4], (std::vector<Cp1251String>{Cp("итого"), Cp("без статуса"), Cp("3")}));
    EXPECT_EQ(CalcAreaSignExport(*area, '#'),
              (std::vector<Cp1251String>{Cp(" 9.99.9##2"), Cp("\" x#y\"##1")}));
}

TEST_F(CalcAreaSummary, WindowComputesShowsAndExports) {
    TCalcAreaItem *area = Area();
    Box(RoadWayTypeCode, -5, 0, 25, 10);
    auto *post = dynamic_cast<TZnakItem *>(Make(ZnakTypeCode, {{5, 5, 0}, {6, 5, 0}, {5, 6, 0}}));
    post->AddPlate()->SetText(Cp("2.1"));
    TLnParamRec solid;
    solid.Name = Cp("1.1");
    solid.Description = Cp("Сплошная");
    solid.Disp1 = 0.05f;
    solid.Disp2 = -0.05f;
    solid.SqCoeff = 1;
    street.SetLnRazmetParams({solid});
    dynamic_cast<TLineRazmetItem &>(*Make(LineRazmetTypeCode, {{-5, 5, 0}, {15, 5, 0}})).SetGost(Cp("1.1"));

    TCalcAreaViewForm form;
    ASSERT_TRUE(form.Fill(*area));
    const QString text = form.findChild<QPlainTextEdit *>(QStringLiteral("CommonMemo"))->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Площадь проезжей части    200.0 кв. м.\n")))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(QStringLiteral("Проезжая часть по категориям:\n\t! без категории !\t200.0 кв.м.")));
    EXPECT_TRUE(text.contains(QStringLiteral("Количество колодцев           0 шт.")));
    EXPECT_EQ(form.findChild<QTableWidget *>(QStringLiteral("SumTable"))->rowCount(),
              static_cast<int>(area->MarkingRows.size()) + 5);
    EXPECT_EQ(form.findChild<QTableWidget *>(QStringLiteral("ZnakGrid"))->item(1, 0)->text(),
              QStringLiteral("2.1"));
    EXPECT_EQ(form.findChild<QTableWidget *>(QStringLiteral("ZnakGrid"))->item(1, 2)->text(),
              QStringLiteral("1"));

    // Copy: the TAB text of the rows with paint.
    form.CopyRazmet();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" 1.1\tСплошная\t\t 15.0\t 1.50"));

    // Save: "#" lines in code page 1251 with CR LF; the name is stored and offered next time.
    const std::string file = settingsDir_.File("razmet.txt");
    prompts_.Files({QString::fromStdString(file)});
    ASSERT_TRUE(form.SaveRazmet());
    EXPECT_EQ(ReadFile(file), Cp(" 1.1#Сплошная## 15.0# 1.50").Bytes() + "\r\n");
    EXPECT_EQ(RegReadString(Cp("CalcAreaViewForm"), Cp("LastTxtFile")), Cp1251String(file));
    prompts_.Files({QString::fromStdString(file)});
    ASSERT_TRUE(form.SaveZnak());
    EXPECT_EQ(prompts_.LastFileRequest()->FileName, QString::fromStdString(file));
    EXPECT_EQ(prompts_.LastFileRequest()->Filter, QStringLiteral("*.txt|*.txt"));
    const std::string signs = ReadFile(file);
    EXPECT_EQ(signs.substr(0, 5), " 2.1#");
    EXPECT_EQ(signs.substr(signs.size() - 4), "#1\r\n");

    // A save that fails says so and keeps the old file.
    prompts_.Files({QString::fromStdString(settingsDir_.File("no/such/dir/x.txt"))});
    EXPECT_FALSE(form.SaveRazmet());
    ASSERT_FALSE(prompts_.Messages().isEmpty());
    EXPECT_TRUE(prompts_.Messages().back().startsWith(QStringLiteral("Не удалось сохранить файл")));
    EXPECT_EQ(ReadFile(file), signs);
}

TEST_F(CalcAreaSummary, AnAreaOfTwoVerticesIsRefusedAndItsTotalsCleared) {
    TCalcAreaItem *area = Area();
    Box(RoadWayTypeCode, 0, 0, 10, 10);
    {
        TCalcAreaViewForm form;
        ASSERT_TRUE(form.Fill(*area));
        ASSERT_EQ(area->RoadwayArea.Value, 100);
    }
    area->Points.Delete(3);
    area->Points.Delete(2);
    TCalcAreaViewForm form;
    EXPECT_FALSE(form.Fill(*area));
    EXPECT_EQ(prompts_.Messages(), QStringList{CalcAreaTooFewPointsMessage});
    EXPECT_EQ(area->RoadwayArea.Value, 0);
    EXPECT_TRUE(area->MarkingRows.empty());
}

TEST_F(CalcAreaSummary, ActionIsForExactlyOneCalculationArea) {
    TCalcAreaItem *area = Area();
    TAbstractItem *other = Area();
    TAbstractItem *road = Box(RoadWayTypeCode, 0, 0, 1, 1);
    const std::vector<TAbstractItem *> one{area}, two{area, other}, wrong{road};
    EXPECT_TRUE(TCalcAreaEditorModule::ViewEnabled(one));
    EXPECT_FALSE(TCalcAreaEditorModule::ViewEnabled(two));
    EXPECT_FALSE(TCalcAreaEditorModule::ViewEnabled(wrong));
    EXPECT_FALSE(TCalcAreaEditorModule::ViewEnabled({}));
}

} // namespace
