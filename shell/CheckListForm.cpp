#include "shell/CheckListForm.h"

#include "ui_CheckListForm.h"

#include <QListWidgetItem>

TCheckListForm::TCheckListForm(const QString &caption, const QString &text, const QStringList &items,
                               const QList<bool> &checked, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CheckListForm>()) {
    ui_->setupUi(this);
    setWindowTitle(caption);
    ui_->TextLabel->setText(text);
    ui_->TextLabel->setVisible(!text.isEmpty());
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto *item = new QListWidgetItem(items[i], ui_->ItemsList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(i < checked.size() && checked[i] ? Qt::Checked : Qt::Unchecked);
    }
    connect(ui_->CheckAllSB, &QPushButton::clicked, this, [this] { SetAll(true); });
    connect(ui_->ClearAllSB, &QPushButton::clicked, this, [this] { SetAll(false); });
    connect(ui_->OkSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->CancelSB, &QPushButton::clicked, this, &QDialog::reject);
}

TCheckListForm::~TCheckListForm() = default;

QList<bool> TCheckListForm::Ticked() const {
    QList<bool> ticks;
    for (int i = 0; i < ui_->ItemsList->count(); ++i)
        ticks += ui_->ItemsList->item(i)->checkState() == Qt::Checked;
    return ticks;
}

void TCheckListForm::SetAll(bool ticked) {
    for (int i = 0; i < ui_->ItemsList->count(); ++i)
        ui_->ItemsList->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}
