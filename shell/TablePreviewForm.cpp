#include "shell/TablePreviewForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "shell/FormPlacement.h"
#include "shell/UserPrompts.h"
#include "ui_TablePreviewForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>

void TTablePreviewForm::Present(const QString &caption, const TReportTable &table) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    FillGrid(table);
    show();
}

TTablePreviewForm::TTablePreviewForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), ui_(std::make_unique<Ui::TablePreviewForm>()) {
    ui_->setupUi(this);
    RepSaveDialog.OwnerName = objectName();
    RepSaveDialog.Name = QStringLiteral("RepSaveDialog");
    RepSaveDialog.RegKeyName = QStringLiteral("SaveTableDir");
    RepSaveDialog.DefaultExt = QStringLiteral("txt");
    RepSaveDialog.Filter = QStringLiteral("*.txt|*.txt");
    GridMenu = new QMenu(this);
    GridMenu->setObjectName(QStringLiteral("GridMenu"));
    ui_->Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(ui_->Grid, &QWidget::customContextMenuRequested, this, &TTablePreviewForm::PopupGridMenu);
    connect(ui_->CopySB, &QPushButton::clicked, this, &TTablePreviewForm::CopyToClipboard);
    connect(ui_->SaveSB, &QPushButton::clicked, this, &TTablePreviewForm::Save);
    connect(ui_->CancelSB, &QPushButton::clicked, this, &QWidget::close);
}

TTablePreviewForm::~TTablePreviewForm() {
    SaveLayout();
}

QTableWidget *TTablePreviewForm::Grid() const {
    return ui_->Grid;
}

void TTablePreviewForm::FillGrid(const TReportTable &table) {
    if (&table != &table_)
        table_ = table;
    FillGrid();
}

void TTablePreviewForm::FillGrid() {
    QTableWidget *grid = ui_->Grid;
    const std::vector<Cp1251String> columns = table_.Columns();
    grid->clear();
    grid->setColumnCount(static_cast<int>(columns.size()));
    QStringList header;
    for (const Cp1251String &c : columns)
        header += ToQString(c);
    grid->setHorizontalHeaderLabels(header);
    const int rows = table_.RowCount();
    grid->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const std::vector<Cp1251String> fields = table_.RowFields(r);
        for (std::size_t c = 0; c < fields.size() && c < columns.size(); ++c) {
            auto *item = new QTableWidgetItem(ToQString(fields[c]));
            // Each grid row keeps the object of its line.
            item->setData(Qt::UserRole, table_.RowObject(r));
            grid->setItem(r, static_cast<int>(c), item);
        }
    }
}

void TTablePreviewForm::Sort(int column) {
    sortColumn_ = column;
    table_.SortByColumn(column);
    FillGrid();
}

void TTablePreviewForm::CopyToClipboard() const {
    QApplication::clipboard()->setText(table_.ClipboardText());
}

bool TTablePreviewForm::Save() {
    if (!RepSaveDialog.Execute())
        return false;
    try {
        table_.SaveToFile(RepSaveDialog.FileName.toStdString());
    } catch (const std::exception &e) {
        UserPrompts().ShowMessage(TPromptKind::Error, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void TTablePreviewForm::AddGridMenuEntries(QMenu &) {}

void TTablePreviewForm::PopupGridMenu(const QPoint &pos) {
    GridMenu->clear();
    QMenu *sortMenu = GridMenu->addMenu(QStringLiteral("Отсортировать"));
    sortMenu->setObjectName(QStringLiteral("SortMI"));
    const std::vector<Cp1251String> columns = table_.Columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        QAction *a = sortMenu->addAction(ToQString(columns[i]));
        const int column = static_cast<int>(i);
        connect(a, &QAction::triggered, this, [this, column] { Sort(column); });
    }
    AddGridMenuEntries(*GridMenu);
    GridMenu->popup(ui_->Grid->viewport()->mapToGlobal(pos));
}

Cp1251String TTablePreviewForm::SettingsSection() const {
    Cp1251String caption;
    if (!TryFromQString(windowTitle(), caption))
        return {};
    return Cp1251String(metaObject()->className()) + Cp1251String("\\") + caption;
}

void TTablePreviewForm::RestoreLayout() {
    const Cp1251String section = SettingsSection();
    if (section.Empty())
        return;
    TFormPos pos = FormPosOf(this, true);
    const auto read = [&](const char *name) { return RegReadInteger(section, Cp1251String(name)); };
    if (const int v = read("Left"))
        pos.Left = v;
    if (const int v = read("Top"))
        pos.Top = v;
    if (const int v = read("Width"); v > 0)
        pos.Width = v;
    if (const int v = read("Height"); v > 0)
        pos.Height = v;
    FitFormToScreen(pos, WorkAreaOf(this));
    ApplyFormPos(this, pos);
    for (int i = 0; i < ui_->Grid->columnCount(); ++i)
        if (const int w = RegReadInteger(section, Cp1251String("ColW" + IntToStr(i))); w > 0)
            ui_->Grid->setColumnWidth(i, w);
}

void TTablePreviewForm::SaveLayout() const {
    const Cp1251String section = SettingsSection();
    if (section.Empty())
        return;
    try {
        RegWriteInteger(section, Cp1251String("Left"), x());
        RegWriteInteger(section, Cp1251String("Top"), y());
        RegWriteInteger(section, Cp1251String("Width"), width());
        RegWriteInteger(section, Cp1251String("Height"), height());
        for (int i = 0; i < ui_->Grid->columnCount(); ++i)
            RegWriteInteger(section, Cp1251String("ColW" + IntToStr(i)), ui_->Grid->columnWidth(i));
    } catch (const std::exception &) {
        // The place is lost, nothing else.
    }
}

void TTablePreviewForm::showEvent(QShowEvent *event) {
    if (!restored_) {
        restored_ = true;
        RestoreLayout();
    }
    QWidget::showEvent(event);
}

void TTablePreviewForm::closeEvent(QCloseEvent *event) {
    SaveLayout();
    QWidget::closeEvent(event);
}
