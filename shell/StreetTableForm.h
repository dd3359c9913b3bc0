#pragma once
// A report window bound to a street: its rows carry the items they describe (as type code and id, see
// ItemRowObject), and rows whose item is freed leave the window at once, whoever frees it. The rows'
// items can become the selection of that street ("Выбрать", a double click, "Добавить к выборке"), and two
// number columns can become a design line ("Геометр").
#include "shell/TablePreviewForm.h"

// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include <span>
#include <vector>
#endif

#include <QVariant>

#include <functional>

#include <cstdint>

class TAbstractItem;
class TStreetStructure;

// The object a row of a street-bound table carries for the item.
QVariant ItemRowObject(const TAbstractItem &item);

// What the table windows need of the window around them; the items module sets it.
struct TStreetTableHost {
    // Makes the street with the serial the active one; nullptr when it is no longer open.
    std::function<TStreetStructure *(uint64_t serial)> ActivateStreet;
    std::function<void()> ClearSelection, ShowSelection, Refresh, RaiseMainWindow;
};
void SetStreetTableHost(TStreetTableHost host);

class TStreetTableForm : public TTablePreviewForm {
    Q_OBJECT
public:
    explicit TStreetTableForm(QWidget *parent = nullptr);
    ~TStreetTableForm() override;

    // Shows the table bound to the street, without waiting.
    static TStreetTableForm *ShowStreetTable(const QString &caption, const TReportTable &table,
                                             TStreetStructure &street, QWidget *parent = nullptr);
    uint64_t StreetSerial() const { return streetSerial_; }
    // Every open street-bound table window.
    static std::vector<TStreetTableForm *> All();

    // The items of the grid's selected rows, top to bottom, in the table's own street (made active
    // first); rows without a live item are left out, and a closed street gives none.
    std::vector<TAbstractItem *> SelectedRowItems();
    // "Выбрать": the selection becomes those items. "Добавить к выборке": they join it, and it is shown.
    void SelectRows();
    void AddRowsToSelection();
    void ClearSelection();
    // A double click: as "Выбрать", then the selection is shown and the main window comes to the front.
    void SelectAndShow();
    // "Геометр": the table-to-geometry dialog over this window.
    void OpenGeometry();

protected:
    void AddGridMenuEntries(QMenu &menu) override;

private:
    void ItemsFreeing(TStreetStructure &street, std::span<TAbstractItem *const> items);

    uint64_t streetSerial_ = 0;
    uint64_t listener_ = 0;
};

// The table window of item reports: the unified table and every editor's report open in it.
using TTablePreviewQKForm = TStreetTableForm;
