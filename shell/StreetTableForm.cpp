#include "shell/StreetTableForm.h"

#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypes.h"
#include "model/StreetStructure.h"
#include "shell/TblToGeometryForm.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVariantList>

#include <algorithm>
#include <set>

namespace {

std::vector<TStreetTableForm *> &Forms() {
    static std::vector<TStreetTableForm *> forms;
    return forms;
}

TStreetTableHost &HostSlot() {
    static TStreetTableHost host;
    return host;
}

void Call(const std::function<void()> &f) {
    if (f)
        f();
}

// The type code and id a row object names (see ItemRowObject); false for a row that names no item. Read in
// place: a table of thousands of rows copies no list per row.
bool RowItemRef(const QVariant &object, int &code, int32_t &id) {
    if (object.metaType() != QMetaType::fromType<QVariantList>())
        return false;
    const auto &o = *static_cast<const QVariantList *>(object.constData());
    if (o.size() != 2)
        return false;
    bool codeOk = false, idOk = false;
    code = o[0].toInt(&codeOk);
    id = o[1].toInt(&idOk);
    return codeOk && idOk;
}

} // namespace

void SetStreetTableHost(TStreetTableHost host) {
    HostSlot() = std::move(host);
}

QVariant ItemRowObject(const TAbstractItem &item) {
    return QVariantList{item.GetTypeCode(), item.ID()};
}

TStreetTableForm::TStreetTableForm(QWidget *parent) : TTablePreviewForm(parent) {
    listener_ =
        AddItemsFreeingListener([this](TStreetStructure &street, std::span<TAbstractItem *const> items) {
            ItemsFreeing(street, items);
        });
    Forms().push_back(this);
    connect(Grid(), &QTableWidget::cellDoubleClicked, this, [this] { SelectAndShow(); });
    // The geometry button stands beside the others at the bottom.
    if (auto *copy = findChild<QPushButton *>(QStringLiteral("CopySB")))
        if (auto *row = qobject_cast<QHBoxLayout *>(copy->parentWidget()->layout())) {
            auto *geometry = new QPushButton(QStringLiteral("Геометр"), copy->parentWidget());
            geometry->setObjectName(QStringLiteral("GeometrySB"));
            geometry->setAutoDefault(false);
            row->insertWidget(2, geometry);
            connect(geometry, &QPushButton::clicked, this, &TStreetTableForm::OpenGeometry);
        }
}

TStreetTableForm::~TStreetTableForm() {
    RemoveItemsFreeingListener(listener_);
    std::erase(Forms(), this);
}

std::vector<TStreetTableForm *> TStreetTableForm::All() {
    return Forms();
}

TStreetTableForm *TStreetTableForm::ShowStreetTable(const QString &caption, const TReportTable &table,
                                                    TStreetStructure &street, QWidget *parent) {
    auto *form = new TStreetTableForm(parent);
    form->streetSerial_ = street.Serial();
    form->Present(caption, table);
    return form;
}

void TStreetTableForm::ItemsFreeing(TStreetStructure &street, std::span<TAbstractItem *const> items) {
    if (street.Serial() != streetSerial_)
        return;
    std::set<std::pair<int, int32_t>> gone;
    for (const TAbstractItem *item : items)
        gone.emplace(item->GetTypeCode(), item->ID());
    TReportTable &t = Table();
    bool changed = false;
    for (int row = t.RowCount() - 1; row >= 0; --row) {
        int code = 0;
        int32_t id = 0;
        if (RowItemRef(t.RowObject(row), code, id) && gone.contains({code, id})) {
            t.Lines.erase(t.Lines.begin() + 3 + row);
            changed = true;
        }
    }
    if (!changed)
        return;
    if (!t.Lines.empty())
        t.Lines[0].Text = Cp1251String(std::to_string(t.RowCount()));
    FillGrid();
}

std::vector<TAbstractItem *> TStreetTableForm::SelectedRowItems() {
    std::vector<TAbstractItem *> out;
    const TStreetTableHost &h = HostSlot();
    TStreetStructure *street = h.ActivateStreet ? h.ActivateStreet(streetSerial_) : nullptr;
    if (street == nullptr)
        return out;
    std::vector<int> rows;
    for (const QTableWidgetSelectionRange &range : Grid()->selectedRanges())
        for (int r = range.topRow(); r <= range.bottomRow(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // The grid shows the table's rows in its order (sorting sorts the table and refills the grid).
    const TReportTable &table = Table();
    out.reserve(rows.size());
    for (int r : rows) {
        int code = 0;
        int32_t id = 0;
        if (r >= table.RowCount() || !RowItemRef(table.RowObject(r), code, id) || !IsItemTypeCode(code))
            continue;
        if (TAbstractItem *item = street->Lists(code).FindById(id))
            out.push_back(item);
    }
    return out;
}

void TStreetTableForm::SelectRows() {
    const std::vector<TAbstractItem *> items = SelectedRowItems();
    const TStreetTableHost &h = HostSlot();
    // The selection is replaced in one step, and the window refreshed once when it is complete.
    if (TStreetStructure *street = h.ActivateStreet ? h.ActivateStreet(streetSerial_) : nullptr) {
        street->Selection().Clear();
        street->Selection().AddItems(items);
    }
    Call(h.Refresh);
}

void TStreetTableForm::AddRowsToSelection() {
    const std::vector<TAbstractItem *> items = SelectedRowItems();
    const TStreetTableHost &h = HostSlot();
    if (TStreetStructure *street = h.ActivateStreet ? h.ActivateStreet(streetSerial_) : nullptr)
        street->Selection().AddItems(items);
    Call(h.Refresh);
    Call(h.ShowSelection);
}

void TStreetTableForm::ClearSelection() {
    const TStreetTableHost &h = HostSlot();
    if (h.ActivateStreet && h.ActivateStreet(streetSerial_) != nullptr)
        Call(h.ClearSelection);
    Call(h.Refresh);
}

void TStreetTableForm::SelectAndShow() {
    SelectRows();
    const TStreetTableHost &h = HostSlot();
    Call(h.ShowSelection);
    Call(h.RaiseMainWindow);
}

void TStreetTableForm::OpenGeometry() {
    TTblToGeometryForm::SetTable(this);
}

void TStreetTableForm::AddGridMenuEntries(QMenu &menu) {
    menu.addAction(QStringLiteral("Очистить выборку"), this, &TStreetTableForm::ClearSelection)
        ->setObjectName(QStringLiteral("ClearSelectionMI"));
    menu.addAction(QStringLiteral("Выбрать"), this, &TStreetTableForm::SelectRows)
        ->setObjectName(QStringLiteral("SelectItemsMI"));
    menu.addAction(QStringLiteral("Добавить к выборке"), this, &TStreetTableForm::AddRowsToSelection)
        ->setObjectName(QStringLiteral("AddToSelectionMI"));
}
