#pragma once
// A small dialog of entries with a tick box each under a line of text, with Ok and Cancel; buttons tick
// or clear every entry at once.
#include <QDialog>
#include <QList>
#include <QStringList>

#include <memory>

namespace Ui {
class CheckListForm;
}

class TCheckListForm : public QDialog {
    Q_OBJECT
public:
    // checked: the ticks at start, one per entry (missing ones are clear).
    TCheckListForm(const QString &caption, const QString &text, const QStringList &items,
                   const QList<bool> &checked, QWidget *parent = nullptr);
    ~TCheckListForm() override;

    // One per entry, in order.
    QList<bool> Ticked() const;
    void SetAll(bool ticked);

private:
    std::unique_ptr<Ui::CheckListForm> ui_;
};
