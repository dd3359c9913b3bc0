#pragma once
// The window every report is shown in: a grid of the report table that sorts by a column, copies the table
// to the clipboard as text and saves it as a text file. It stays on top, is not modal, and remembers its
// place and column widths per window class and caption (section "<class>\<caption>").
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "shell/ReportTable.h"
#endif
#include "shell/StoredDialogs.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TablePreviewForm;
}
class QMenu;
class QTableWidget;

class TTablePreviewForm : public QWidget {
    Q_OBJECT
public:
    // Makes a window of the class given (this one or a descendant), fills it and shows it without waiting;
    // it frees itself when closed, or with its parent (the main window, when given).
    template <class TForm = TTablePreviewForm>
    static TForm *ShowTable(const QString &caption, const TReportTable &table, QWidget *parent = nullptr) {
        auto *form = new TForm(parent);
        form->Present(caption, table);
        return form;
    }

    explicit TTablePreviewForm(QWidget *parent = nullptr);
    ~TTablePreviewForm() override;

    // Copies the table (unless it is the window's own) and fills the grid from it.
    void FillGrid(const TReportTable &table);
    void FillGrid();
    const TReportTable &Table() const { return table_; }
    TReportTable &Table() { return table_; }
    QTableWidget *Grid() const;
    int SortColumn() const { return sortColumn_; }

    void Sort(int column);
    void CopyToClipboard() const;
    // Asks for a file name; false when none was chosen. A file that cannot be written is reported.
    bool Save();
    // The section of the window's settings ("" when its class and caption cannot be stored).
    Cp1251String SettingsSection() const;
    // Applies the stored place and column widths (done when the window is first shown).
    void RestoreLayout();
    void SaveLayout() const;

    TStoredSaveDialog RepSaveDialog;
    QMenu *GridMenu = nullptr;

protected:
    void Present(const QString &caption, const TReportTable &table);
    // Entries a descendant adds to the grid's popup, after the sort entries.
    virtual void AddGridMenuEntries(QMenu &menu);
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void PopupGridMenu(const QPoint &pos);

    std::unique_ptr<Ui::TablePreviewForm> ui_;
    TReportTable table_;
    int sortColumn_ = -1;
    bool restored_ = false;
};
