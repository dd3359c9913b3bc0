#include "shell/ReportTable.h"
#include "ShellTestSupport.h"
#include "engine/Cp1251Qt.h"
#include "engine/StreetError.h"
#include "shell/TablePreviewForm.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

std::vector<Cp1251String> Fields(std::initializer_list<const char *> list) {
    std::vector<Cp1251String> out;
    for (const char *s : list)
        out.push_back(Cp(s));
    return out;
}

TReportTable Lines(std::initializer_list<const char *> lines) {
    TReportTable t;
    int i = 0;
    for (const char *l : lines)
        t.Lines.push_back({Cp(l), QVariant(i++)});
    return t;
}

std::vector<std::string> Texts(const TReportTable &t) {
    std::vector<std::string> out;
    for (const TReportLine &l : t.Lines)
        out.push_back(l.Text.ToUtf8());
    return out;
}

using ReportTables = shelltest::ShellTest;

} // namespace

TEST(ReportTable, TextForm) {
    TReportTable t = TReportTable::WithHeader(Fields({"№", "Название", "Площадь"}));
    t.AddRow(Fields({"1", "Тротуар", "12.5"}), QVariant(7));
    t.AddRow(Fields({"2", "Газон", ""}));
    EXPECT_EQ(Texts(t),
              (std::vector<std::string>{"2", "#", "№#Название#Площадь", "1#Тротуар#12.5", "2#Газон#"}));
    EXPECT_EQ(t.Columns(), Fields({"№", "Название", "Площадь"}));
    EXPECT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.RowFields(1), Fields({"2", "Газон", ""}));
    EXPECT_EQ(t.RowObject(0).toInt(), 7);
    // The separator comes from line 1 and the row count from the lines present, not from line 0.
    TReportTable other = Lines({"99", ";x", "a;b", "1;2;3", "4"});
    EXPECT_EQ(other.Separator(), ';');
    EXPECT_EQ(other.RowCount(), 2);
    EXPECT_EQ(other.RowFields(0), Fields({"1", "2", "3"}));
    EXPECT_EQ(other.RowFields(1), Fields({"4"})); // fewer separators, fewer cells
}

TEST(ReportTable, SeparatorsInsideValuesNeverShiftColumns) {
    const char *values[] = {"",     "#",   "##",  "a#b", "\"",          "\"\"",         "\"#\"",
                            "a\"b", "\"x", "x\"", "#\"", "\"a\"#\"b\"", "плоский текст"};
    for (const char *a : values)
        for (const char *b : values) {
            const auto fields = Fields({a, b, "end"});
            const Cp1251String line = JoinReportFields(fields, '#');
            EXPECT_EQ(SplitReportLine(line, '#'), fields) << a << " | " << b << " -> " << line.ToUtf8();
        }
    // Plain values are written as they are, so older tables read unchanged.
    EXPECT_EQ(JoinReportFields(Fields({"1", "Тротуар", "a\"b"}), '#'), Cp("1#Тротуар#a\"b"));
    EXPECT_EQ(JoinReportFields(Fields({"a#b", "\"q\""}), '#'), Cp("\"a#b\"#\"\"\"q\"\"\""));
    // Lines that are not well formed still split without losing text.
    EXPECT_EQ(SplitReportLine(Cp("\"open#rest"), '#'), Fields({"open#rest"}));
    EXPECT_EQ(SplitReportLine(Cp("\"a\"b#c"), '#'), Fields({"ab", "c"}));
    EXPECT_EQ(SplitReportLine(Cp("x#y##"), '#'), Fields({"x", "y", "", ""}));

    TReportTable t = TReportTable::WithHeader(Fields({"Текст", "Номер"}));
    t.AddRow(Fields({"дом #5", "1"}));
    EXPECT_EQ(t.RowFields(0), Fields({"дом #5", "1"}));
}

TEST(ReportTable, SortingByAColumn) {
    struct Case {
        const char *name;
        std::vector<const char *> keys, sorted;
    };
    const Case cases[] = {
        {"numbers compare as numbers", {"100", "2", "10", "-1.5"}, {"-1.5", "2", "10", "100"}},
        {"a pair that is not two numbers compares as text", {"x", "10"}, {"10", "x"}},
        {"text by character codes", {"б", "а", "Б", "b"}, {"b", "Б", "а", "б"}},
    };
    for (const Case &c : cases) {
        TReportTable t = TReportTable::WithHeader(Fields({"№", "Ключ"}));
        for (std::size_t i = 0; i < c.keys.size(); ++i)
            t.AddRow({Cp1251String(std::to_string(i)), Cp(c.keys[i])}, QVariant(static_cast<int>(i)));
        t.SortByColumn(1);
        for (std::size_t i = 0; i < c.sorted.size(); ++i) {
            const auto fields = t.RowFields(static_cast<int>(i));
            EXPECT_EQ(fields[1], Cp(c.sorted[i])) << c.name;
            // The object and the other fields move with their line.
            EXPECT_EQ(fields[0], Cp1251String(std::to_string(t.RowObject(static_cast<int>(i)).toInt())))
                << c.name;
        }
        EXPECT_EQ(t.Lines[2].Text, Cp("№#Ключ")) << c.name;
    }
    // Rows without the column sort as an empty field; a column no row has changes nothing.
    TReportTable t = Lines({"3", "#", "a#b", "1#z", "2", "3#a"});
    t.SortByColumn(1);
    EXPECT_EQ(Texts(t), (std::vector<std::string>{"3", "#", "a#b", "2", "3#a", "1#z"}));
    t.SortByColumn(9);
    EXPECT_EQ(t.RowCount(), 3);
}

TEST(ReportTable, ClipboardTextAndFile) {
    TReportTable t = TReportTable::WithHeader(Fields({"№", "Название"}));
    t.AddRow(Fields({"1", "дом #5"}));
    t.AddRow(Fields({"2", "Газон"}));
    EXPECT_EQ(t.ClipboardText(), QStringLiteral("№\tНазвание\r\n1\tдом #5\r\n2\tГазон\r\n"));

    sptest::TempDir dir;
    const std::string file = dir.File("table.txt");
    t.SaveToFile(file);
    const std::vector<uint8_t> bytes = sptest::ReadFileBytes(file);
    const std::string expected = Cp("№#Название\r\n1#\"дом #5\"\r\n2#Газон\r\n").Bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);

    // A file that cannot be written is an error and leaves nothing behind.
    EXPECT_THROW(t.SaveToFile(dir.File("missing/table.txt")), EStreetError);
}

TEST_F(ReportTables, ThePreviewShowsSortsCopiesAndSaves) {
    TReportTable t = TReportTable::WithHeader(Fields({"Тип", "Длина"}));
    t.AddRow(Fields({"Борт", "100"}), QVariant(1));
    t.AddRow(Fields({"Борт", "2"}), QVariant(2));
    TTablePreviewForm form;
    form.setWindowTitle(QStringLiteral("Борты"));
    form.FillGrid(t);
    QTableWidget *grid = form.Grid();
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Длина"));
    EXPECT_EQ(grid->item(0, 1)->data(Qt::UserRole).toInt(), 1);

    form.Sort(1);
    EXPECT_EQ(form.SortColumn(), 1);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("2"));
    EXPECT_EQ(grid->item(0, 1)->data(Qt::UserRole).toInt(), 2);

    form.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Тип\tДлина\r\nБорт\t2\r\nБорт\t100\r\n"));

    sptest::TempDir dir;
    const QString file = QString::fromStdString(dir.File("борты.txt"));
    prompts_.Files({file});
    EXPECT_TRUE(form.Save());
    EXPECT_EQ(prompts_.LastFileRequest()->Filter, QStringLiteral("*.txt|*.txt"));
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(Cp("Тип#Длина\r\nБорт#2\r\nБорт#100\r\n").Bytes().c_str()));
    // The folder is remembered under the key the system names.
    EXPECT_EQ(RegReadString(Cp("SaveTableDir"), Cp("FileName")), Cp(file.toUtf8().constData()));

    // A failed save says so.
    prompts_.Files({QString::fromStdString(dir.File("missing/x.txt"))});
    EXPECT_FALSE(form.Save());
    EXPECT_EQ(prompts_.Messages().size(), 1);
}

TEST_F(ReportTables, APreviewReopensWhereItWasClosed) {
    TReportTable t = TReportTable::WithHeader(Fields({"a", "b", "c"}));
    {
        TTablePreviewForm *form = TTablePreviewForm::ShowTable(QStringLiteral("Унифицированная таблица"), t);
        form->move(40, 50);
        form->resize(500, 300);
        form->Grid()->setColumnWidth(0, 33);
        form->Grid()->setColumnWidth(2, 140);
        EXPECT_TRUE(form->testAttribute(Qt::WA_DeleteOnClose));
        EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        form->close();
        shelltest::RunDeferredDeletes();
    }
    const Cp1251String section = Cp("TTablePreviewForm\\Унифицированная таблица");
    EXPECT_EQ(RegReadInteger(section, Cp("Width")), 500);
    EXPECT_EQ(RegReadInteger(section, Cp("ColW2")), 140);

    TTablePreviewForm *again = TTablePreviewForm::ShowTable(QStringLiteral("Унифицированная таблица"), t);
    EXPECT_EQ(again->size(), QSize(500, 300));
    EXPECT_EQ(again->pos(), QPoint(40, 50));
    EXPECT_EQ(again->Grid()->columnWidth(0), 33);
    EXPECT_EQ(again->Grid()->columnWidth(2), 140);
    // Another caption has its own place.
    TTablePreviewForm *other = TTablePreviewForm::ShowTable(QStringLiteral("Газоны"), t);
    EXPECT_NE(other->Grid()->columnWidth(2), 140);
    again->close();
    other->close();
    shelltest::RunDeferredDeletes();
}
