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
        const QVariantList o = t.RowObject(row).toList();
        if (o.size() == 2 && gone.contains({o[0].toInt(), o[1].toInt()})) {
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
    for (int r : rows) {
        const QTableWidgetItem *cell = Grid()->item(r, 0);
        const QVariantList o = cell != nullptr ? cell->data(Qt::UserRole).toList() : QVariantList();
        if (o.size() != 2 || !IsItemTypeCode(o[0].toInt()))
            continue;
        if (TAbstractItem *item = street->Lists(o[0].toInt()).FindById(o[1].toInt()))
            out.push_back(item);
    }
    return out;
}

void TStreetTableForm::SelectRows() {
    const std::vector<TAbstractItem *> items = SelectedRowItems();
    const TStreetTableHost &h = HostSlot();
    if (TStreetStructure *street = h.ActivateStreet ? h.ActivateStreet(streetSerial_) : nullptr) {
        Call(h.ClearSelection);
        for (TAbstractItem *item : items)
            street->Selection().AddItem(item);
    }
    Call(h.Refresh);
}

void TStreetTableForm::AddRowsToSelection() {
    const std::vector<TAbstractItem *> items = SelectedRowItems();
    const TStreetTableHost &h = HostSlot();
    if (TStreetStructure *street = h.ActivateStreet ? h.ActivateStreet(streetSerial_) : nullptr)
        for (TAbstractItem *item : items)
            if (street->Selection().IndexOf(item) < 0)
                street->Selection().AddItem(item);
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
