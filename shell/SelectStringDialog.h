#pragma once
// Choosing one entry of a list in a small drop-down dialog.
#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class SelectStringDialog;
}

class TSelectStringDialog : public QDialog {
    Q_OBJECT
public:
    // index in: the entry selected at start; out: the entry selected at the end (also after Cancel). True
    // on Ok with an entry selected, so an empty list never gives true.
    static bool Execute(const QPoint &pos, const QString &caption, int &index, const QStringList &items);

    TSelectStringDialog(const QPoint &pos, const QString &caption, const QStringList &items, int index,
                        QWidget *parent = nullptr);
    ~TSelectStringDialog() override;
    int SelectedIndex() const;
    void SetSelectedIndex(int index);

private:
    std::unique_ptr<Ui::SelectStringDialog> ui_;
};
