#include "shell/SelectStringDialog.h"

#include "shell/FormPlacement.h"
#include "shell/UserPrompts.h"
#include "ui_SelectStringDialog.h"

bool TSelectStringDialog::Execute(const QPoint &pos, const QString &caption, int &index,
                                  const QStringList &items) {
    const bool ok = UserPrompts().SelectString(pos, caption, items, index);
    if (index < -1 || index >= items.size())
        index = -1;
    return ok && index != -1;
}

TSelectStringDialog::TSelectStringDialog(const QPoint &pos, const QString &caption, const QStringList &items,
                                         int index, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SelectStringDialog>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    ui_->ComboBox->addItems(items);
    SetSelectedIndex(index);
    connect(ui_->OkSB, &QPushButton::clicked, this, [this] { done(1); });
    connect(ui_->CancelSB, &QPushButton::clicked, this, &QDialog::reject);
    PlaceAndFit(this, pos);
}

TSelectStringDialog::~TSelectStringDialog() = default;

int TSelectStringDialog::SelectedIndex() const {
    return ui_->ComboBox->currentIndex();
}

void TSelectStringDialog::SetSelectedIndex(int index) {
    ui_->ComboBox->setCurrentIndex(index >= 0 && index < ui_->ComboBox->count() ? index : -1);
}
