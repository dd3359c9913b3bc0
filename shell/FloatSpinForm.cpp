#include "shell/FloatSpinForm.h"

#include "shell/FloatSpinEdit.h"
#include "shell/FormPlacement.h"
#include "shell/UserPrompts.h"
#include "ui_FloatSpinForm.h"

bool TFloatSpinForm::Execute(const QPoint &pos, const QString &caption, const TCallback &callback,
                             double value) {
    return UserPrompts().EditFloatLive(pos, caption, value, callback);
}

TFloatSpinForm::TFloatSpinForm(const QPoint &pos, const QString &caption, const TCallback &callback,
                               double value, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FloatSpinForm>()), startValue_(value) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    PlaceAndFit(this, pos);
    ui_->FloatEdit->SetValue(value);
    ui_->FloatEdit->selectAll();
    callback_ = callback; // only now: the start value is not reported
    connect(ui_->FloatEdit, &TFloatSpinEdit::Changed, this, [this] { Report(ui_->FloatEdit->Value()); });
    connect(ui_->OkSB, &QPushButton::clicked, this, &TFloatSpinForm::ClickOk);
    connect(ui_->CancelSB, &QPushButton::clicked, this, &TFloatSpinForm::reject);
}

TFloatSpinForm::~TFloatSpinForm() = default;

TFloatSpinEdit *TFloatSpinForm::FloatEdit() const {
    return ui_->FloatEdit;
}

void TFloatSpinForm::Report(double value) {
    if (callback_)
        callback_(value);
}

void TFloatSpinForm::ClickOk() {
    Report(ui_->FloatEdit->Value());
    done(1);
}

void TFloatSpinForm::reject() {
    Report(startValue_);
    QDialog::reject();
}
