#pragma once
// A report window bound to a street: its rows carry the items they describe (as type code and id, see
// ItemRowObject), and rows whose item is freed leave the window at once, whoever frees it.
#include "shell/TablePreviewForm.h"

// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include <span>
#include <vector>
#endif

#include <QVariant>

#include <cstdint>

class TAbstractItem;
class TStreetStructure;

// The object a row of a street-bound table carries for the item.
QVariant ItemRowObject(const TAbstractItem &item);

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

private:
    void ItemsFreeing(TStreetStructure &street, std::span<TAbstractItem *const> items);

    uint64_t streetSerial_ = 0;
    uint64_t listener_ = 0;
};
