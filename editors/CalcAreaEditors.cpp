#include "editors/CalcAreaEditors.h"

#include "ui_CalcAreaViewForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "engine/Streams.h"
#include "objects/SignPicture.h"
#include "shell/FormPlacement.h"
#include "shell/ReportTable.h"
#include "shell/UserPrompts.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QMenu>
#include <QTableWidget>

#include <cmath>

const QString CalcAreaTooFewPointsMessage =
    QStringLiteral("У области обсчета меньше трех вершин: расчет невозможен.");

namespace {

Cp1251String Fixed(double value, bool unknown, int width, int decimals) {
    return CalcFigureText(value, unknown, width, decimals);
}

Cp1251String IntText(int64_t value, int width) {
    std::string s = IntToStr(value);
    if (s.size() < static_cast<std::size_t>(width))
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    return Cp1251String(s);
}

Cp1251String CountText(const TRazmetSumRecord &r) {
    return r.Count == -1 ? Cp1251String() : IntText(r.Count, 3);
}
Cp1251String LengthText(const TRazmetSumRecord &r) {
    return r.Length < 0 ? Cp1251String() : Fixed(r.Length, r.LengthUnknown, 5, 1);
}
Cp1251String AreaText2(const TRazmetSumRecord &r) {
    return Fixed(r.Area, r.AreaUnknown, 5, 2);
}

// A figure line of the text page: the label (its width is part of it), the number and the unit.
Cp1251String FigureLine(const char *label, const TCalcFigure &f, const char *unit) {
    return Cp(label) + Fixed(f.Value, f.Unknown, 5, 1) + Cp(unit);
}

// The lines of a list of names and counts ("name=count").
struct TNameCount {
    Cp1251String Name, Count;
};
std::vector<TNameCount> NameCounts(const TNameValueList &list) {
    std::vector<TNameCount> out;
    for (const Cp1251String &line : list.AllLines()) {
        const std::size_t eq = line.Bytes().rfind('=');
        if (eq == std::string::npos)
            out.push_back({line, Cp1251String()});
        else
            out.push_back({line.Sub(0, eq), line.Sub(eq + 1)});
    }
    return out;
}

Cp1251String Joined(const std::vector<Cp1251String> &fields, char separator) {
    std::vector<Cp1251String> encoded;
    for (const Cp1251String &f : fields)
        encoded.push_back(EncodeReportField(f, separator));
    Cp1251String line;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (i > 0)
            line += Cp1251String(std::string(1, separator));
        line += encoded[i];
    }
    return line;
}

void FillGrid(QTableWidget &grid, const std::vector<std::vector<Cp1251String>> &rows) {
    grid.clearContents();
    grid.setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size() && static_cast<int>(c) < grid.columnCount(); ++c)
            grid.setItem(static_cast<int>(r), static_cast<int>(c),
                         new QTableWidgetItem(ToQString(rows[r][c])));
    grid.resizeColumnsToContents();
}

QString ClipboardText(const std::vector<Cp1251String> &lines) {
    Cp1251String all;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            all += Cp1251String("\r\n");
        all += lines[i];
    }
    return ToQString(all);
}

void AddNotes(std::vector<Cp1251String> &lines, const std::vector<TCalcNote> &notes, const char *title) {
    if (notes.empty())
        return;
    lines.emplace_back();
    lines.push_back(Cp(title));
    for (const TCalcNote &n : notes)
        lines.push_back(Cp1251String("\t") + n.TypeName + Cp(" №") + Cp1251String(IntToStr(n.Id)) +
                        Cp1251String(": ") + n.Reason);
}

const QString SettingsSection = QStringLiteral("CalcAreaViewForm");

} // namespace

// ---- Pages

std::vector<Cp1251String> CalcAreaCommonLines(TCalcAreaItem &area) {
    std::vector<Cp1251String> lines;
    lines.push_back(FigureLine("Площадь разд. полосы      ", area.DividingStripArea, " кв. м."));
    lines.push_back(FigureLine("Площадь проезжей части    ", area.RoadwayArea, " кв. м."));
    area.ReportRoadway(lines);
    lines.push_back(FigureLine("Площадь газонов           ", area.LawnArea, " кв. м."));
    lines.push_back(FigureLine("Площадь тротуаров         ", area.SidewalkArea, " кв. м."));
    area.ReportSidewalk(lines);
    lines.push_back(FigureLine("Площадь обочин            ", area.ShoulderArea, " кв. м."));
    lines.push_back(FigureLine("Площадь оф.фигур          ", area.DesignFigureArea, " кв. м."));
    TCalcFigure total;
    for (const TCalcFigure *f : {&area.DividingStripArea, &area.RoadwayArea, &area.LawnArea,
                                 &area.SidewalkArea, &area.ShoulderArea, &area.DesignFigureArea}) {
        total.Value += f->Value;
        total.Unknown = total.Unknown || f->Unknown;
    }
    lines.push_back(FigureLine("Итого площадь             ", total, " кв. м."));
    lines.emplace_back();
    lines.push_back(FigureLine("Длина борта               ", area.CurbLength, " м."));
    lines.push_back(FigureLine("Длина трам. линий         ", area.TramLineLength, " м."));
    lines.emplace_back();
    lines.push_back(Cp("Количество колодцев       ") + IntText(area.ManholeCount, 5) + Cp(" шт."));
    lines.push_back(Cp("Количество решеток        ") + IntText(area.GratingCount, 5) + Cp(" шт."));
    area.ReportFences(lines);
    AddNotes(lines, area.Unknowns, "Измерены не полностью (число с \"+?\" больше показанного):");
    AddNotes(lines, area.NotCounted, "Не учтены:");
    return lines;
}

std::vector<std::vector<Cp1251String>> CalcAreaMarkingGrid(const TCalcAreaItem &area) {
    std::vector<std::vector<Cp1251String>> rows;
    rows.push_back(
        {Cp("ГОСТ"), Cp("Кол-во, шт"), Cp("Длина, м"), Cp("Площадь, кв.м."), Cp("Материал"), Cp("Описание")});
    for (const TRazmetSumRecord &r : area.MarkingRows)
        rows.push_back({r.Name, CountText(r), LengthText(r), AreaText2(r), r.Material, r.Description});
    const std::pair<const TCalcFigure *, const char *> totals[] = {
        {&area.WhitePlasticArea, "Пластик белый"},
        {&area.WhitePaintArea, "Краска белая"},
        {&area.YellowPlasticArea, "Пластик жёлтый"},
        {&area.YellowPaintArea, "Краска желтая"}};
    for (const auto &[f, name] : totals)
        rows.push_back({Cp("Итого"), {}, {}, Fixed(f->Value, f->Unknown, 5, 2), Cp(name), {}});
    return rows;
}

std::vector<std::vector<Cp1251String>> CalcAreaSignGrid(const TCalcAreaItem &area) {
    std::vector<std::vector<Cp1251String>> rows;
    rows.push_back({Cp("ГОСТ"), Cp("Описание"), Cp("Количество")});
    for (const TNameCount &n : NameCounts(area.SignsByNumber))
        rows.push_back({n.Name, SignDescription(n.Name), n.Count});
    rows.push_back({{}, {}, {}});
    for (const TNameCount &n : NameCounts(area.SignsByStatus))
        rows.push_back({Cp("итого"), n.Name, n.Count});
    return rows;
}

std::vector<Cp1251String> CalcAreaMarkingExport(const TCalcAreaItem &area, char separator) {
    std::vector<Cp1251String> lines;
    for (const TRazmetSumRecord &r : area.MarkingRows) {
        if (r.Area == 0 && !r.AreaUnknown)
            continue;
        lines.push_back(
            Joined({Cp1251String(" ") + r.Name, r.Description, CountText(r), LengthText(r), AreaText2(r)},
                   separator));
    }
    return lines;
}

std::vector<Cp1251String> CalcAreaSignExport(const TCalcAreaItem &area, char separator) {
    std::vector<Cp1251String> lines;
    for (const TNameCount &n : NameCounts(area.SignsByNumber))
        lines.push_back(Joined({Cp1251String(" ") + n.Name, SignDescription(n.Name), n.Count}, separator));
    return lines;
}

Cp1251String CalcAreaMaterialLabel(const TCalcFigure &total) {
    return Cp("Площадь ") + Fixed(total.Value, total.Unknown, 5, 1) + Cp(" кв. м.");
}

Cp1251String CalcAreaOwnAreaLabel(TCalcAreaItem &area) {
    return Fixed(area.Area(), !area.AreaReliable(), 5, 1) + Cp(" кв. м.");
}

// ---- The window

TCalcAreaViewForm::TCalcAreaViewForm(QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CalcAreaViewForm>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("CalcAreaViewForm"));
    ui_->CommonMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    PopupMenu = new QMenu(this);
    QAction *save = PopupMenu->addAction(QStringLiteral("Записать текст"));
    save->setObjectName(QStringLiteral("SaveTextMI"));
    QAction *metafile = PopupMenu->addAction(QStringLiteral("Создать метафайл"));
    metafile->setObjectName(QStringLiteral("MetafileMI"));
    metafile->setEnabled(false);
    connect(save, &QAction::triggered, this, [this] { SaveRazmet(); });
    connect(ui_->SumTable, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu->popup(ui_->SumTable->viewport()->mapToGlobal(pos)); });
    connect(ui_->CopyRazmetSB, &QPushButton::clicked, this, [this] { CopyRazmet(); });
    connect(ui_->SaveRazmetSB, &QPushButton::clicked, this, [this] { SaveRazmet(); });
    connect(ui_->CopyZnakSB, &QPushButton::clicked, this, [this] { CopyZnak(); });
    connect(ui_->SaveZnakSB, &QPushButton::clicked, this, [this] { SaveZnak(); });
    RestoreWidgetPos(this, true);
}

TCalcAreaViewForm::~TCalcAreaViewForm() = default;

void TCalcAreaViewForm::done(int result) {
    SaveWidgetPos(this, true);
    QDialog::done(result);
}

bool TCalcAreaViewForm::Fill(TCalcAreaItem &area) {
    area.CalcMarkings();
    area.CalcAreas();
    area.CountSigns();
    if (!area.CanCalculate()) {
        UserPrompts().ShowMessage(TPromptKind::Warning, CalcAreaTooFewPointsMessage);
        return false;
    }
    FillGrid(*ui_->SumTable, CalcAreaMarkingGrid(area));
    FillGrid(*ui_->ZnakGrid, CalcAreaSignGrid(area));
    ui_->WhitePlastValue->setText(ToQString(CalcAreaMaterialLabel(area.WhitePlasticArea)));
    ui_->WhitePaintValue->setText(ToQString(CalcAreaMaterialLabel(area.WhitePaintArea)));
    ui_->YellowPlastValue->setText(ToQString(CalcAreaMaterialLabel(area.YellowPlasticArea)));
    ui_->YellowPaintValue->setText(ToQString(CalcAreaMaterialLabel(area.YellowPaintArea)));
    ui_->AreaValue->setText(ToQString(CalcAreaOwnAreaLabel(area)));
    QStringList text;
    for (const Cp1251String &line : CalcAreaCommonLines(area))
        text << ToQString(line);
    ui_->CommonMemo->setPlainText(text.join(QLatin1Char('\n')));
    razmetTab_ = CalcAreaMarkingExport(area, '\t');
    razmetHash_ = CalcAreaMarkingExport(area, '#');
    znakTab_ = CalcAreaSignExport(area, '\t');
    znakHash_ = CalcAreaSignExport(area, '#');
    return true;
}

void TCalcAreaViewForm::CopyRazmet() const {
    QApplication::clipboard()->setText(ClipboardText(razmetTab_));
}

void TCalcAreaViewForm::CopyZnak() const {
    QApplication::clipboard()->setText(ClipboardText(znakTab_));
}

bool TCalcAreaViewForm::SaveRazmet() {
    return SaveLines(razmetHash_);
}

bool TCalcAreaViewForm::SaveZnak() {
    return SaveLines(znakHash_);
}

bool TCalcAreaViewForm::SaveLines(const std::vector<Cp1251String> &lines) {
    const Cp1251String section = FromQString(SettingsSection), value("LastTxtFile");
    TFileDialogRequest request;
    request.Mode = TFileDialogMode::Save;
    request.Filter = QStringLiteral("*.txt|*.txt");
    request.DefaultExt = QStringLiteral("txt");
    try {
        request.FileName = ToQString(RegReadString(section, value));
    } catch (const std::exception &) {
        // An unreadable setting only means the dialog starts empty.
    }
    QStringList files;
    if (!UserPrompts().ChooseFiles(request, files) || files.isEmpty())
        return false;
    const QString file = files.front();
    std::string bytes;
    for (const Cp1251String &line : lines)
        bytes += line.Bytes() + "\r\n";
    try {
        SaveBytesToFile(file.toStdString(), bytes.data(), bytes.size());
    } catch (const std::exception &e) {
        UserPrompts().ShowMessage(
            TPromptKind::Error,
            QStringLiteral("Не удалось сохранить файл %1: %2").arg(file, QString::fromUtf8(e.what())));
        return false;
    }
    Cp1251String stored;
    if (TryFromQString(file, stored)) {
        try {
            RegWriteString(section, value, stored);
        } catch (const std::exception &) {
            // Forgetting the name is no reason to report the saved file as failed.
        }
    }
    return true;
}

void ShowCalcAreaView(TCalcAreaItem &area) {
    const TEditorHost &h = EditorHost();
    TCalcAreaViewForm form(h.WindowParent ? h.WindowParent() : nullptr);
    if (form.Fill(area))
        form.exec();
}

// ---- The module

TCalcAreaEditorModule::TCalcAreaEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("CalcAreaEditorModule"));
    MakeActionFromRow(this, QStringLiteral("Редактор"),
                      {.Name = "CalcAreaView",
                       .Hint = QStringLiteral("Отчет"),
                       .Enabled = [] { return ViewEnabled(EditorSelection()); },
                       .Execute =
                           [] {
                               const std::vector<TAbstractItem *> s = EditorSelection();
                               if (ViewEnabled(s))
                                   ShowCalcAreaView(*dynamic_cast<TCalcAreaItem *>(s.front()));
                           },
                       .Slot = &CalcAreaView});
}

bool TCalcAreaEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TCalcAreaItem>(selection);
}

bool TCalcAreaEditorModule::ViewEnabled(std::span<TAbstractItem *const> selection) {
    return selection.size() == 1 && dynamic_cast<TCalcAreaItem *>(selection.front()) != nullptr;
}
