#pragma once
// The calculation-area module and its summary window "Сводка": a text page of areas, lengths and counts
// (with the items whose figures are only partly known and those no row takes), a grid of marking
// quantities per standard number with material totals, and a grid of sign counts. The marking and sign
// pages are saved as "#"-separated text or copied to the clipboard as TAB-separated text.
//
// The pages are built by plain functions from the computed item, so that they are tested without a window.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/Cp1251.h"
#include "objects/CalcAreaItem.h"
#endif
#include "editors/EditorKit.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class CalcAreaViewForm;
}
class QMenu;

// ---- The pages from a computed area

// The text page, line by line.
std::vector<Cp1251String> CalcAreaCommonLines(TCalcAreaItem &area);
// The marking grid: the header, one row per marking row, the four total rows.
std::vector<std::vector<Cp1251String>> CalcAreaMarkingGrid(const TCalcAreaItem &area);
// The sign grid: the header, one row per number, an empty row, one "итого" row per status.
std::vector<std::vector<Cp1251String>> CalcAreaSignGrid(const TCalcAreaItem &area);
// The exports with the separator: marking rows whose area is not exactly 0, and one line per sign number.
std::vector<Cp1251String> CalcAreaMarkingExport(const TCalcAreaItem &area, char separator);
std::vector<Cp1251String> CalcAreaSignExport(const TCalcAreaItem &area, char separator);
// "%5.1f кв. м." labels: the four material totals and the area's own area.
Cp1251String CalcAreaMaterialLabel(const TCalcFigure &total);
Cp1251String CalcAreaOwnAreaLabel(TCalcAreaItem &area);

// The refusal shown for an area that cannot be computed.
extern const QString CalcAreaTooFewPointsMessage;

// ---- The window

class TCalcAreaViewForm : public QDialog {
    Q_OBJECT
public:
    explicit TCalcAreaViewForm(QWidget *parent = nullptr);
    ~TCalcAreaViewForm() override;

    // Computes the area and fills the pages; False (the user told why) when it has fewer than 3 vertices.
    bool Fill(TCalcAreaItem &area);

    // The exports: "Копировать" puts the TAB text on the clipboard; "Сохранить" asks for a file (starting
    // from "LastTxtFile" of the window's section, stored back after a save) and writes the "#" lines in
    // code page 1251 with CR LF. False when nothing was written (cancelled, or the write failed: told, and
    // the old file kept).
    void CopyRazmet() const;
    bool SaveRazmet();
    void CopyZnak() const;
    bool SaveZnak();

    Ui::CalcAreaViewForm &Ui() const { return *ui_; }
    QMenu *PopupMenu = nullptr;

protected:
    void done(int result) override;

private:
    bool SaveLines(const std::vector<Cp1251String> &lines);

    std::unique_ptr<Ui::CalcAreaViewForm> ui_;
    std::vector<Cp1251String> razmetTab_, razmetHash_, znakTab_, znakHash_;
};

// Computes the area, shows the window modally and frees it.
void ShowCalcAreaView(TCalcAreaItem &area);

class TCalcAreaEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TCalcAreaEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    // Exactly one item selected, and it is a calculation area.
    static bool ViewEnabled(std::span<TAbstractItem *const> selection);
    TFloatingAction *CalcAreaView = nullptr;
};
