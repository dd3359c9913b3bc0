#include "shell/StreetTableForm.h"

#include "model/AbstractItem.h"
#include "model/StreetStructure.h"

#include <QVariantList>

#include <algorithm>
#include <set>

namespace {

std::vector<TStreetTableForm *> &Forms() {
    static std::vector<TStreetTableForm *> forms;
    return forms;
}

} // namespace

QVariant ItemRowObject(const TAbstractItem &item) {
    return QVariantList{item.GetTypeCode(), item.ID()};
}

TStreetTableForm::TStreetTableForm(QWidget *parent) : TTablePreviewForm(parent) {
    listener_ =
        AddItemsFreeingListener([this](TStreetStructure &street, std::span<TAbstractItem *const> items) {
            ItemsFreeing(street, items);
        });
    Forms().push_back(this);
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
