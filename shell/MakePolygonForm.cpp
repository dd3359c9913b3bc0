#include "shell/MakePolygonForm.h"

#include "shell/FormPlacement.h"
#include "ui_MakePolygonForm.h"

namespace {

std::function<bool(TRegularPolygonParams &)> &Prompt() {
    static std::function<bool(TRegularPolygonParams &)> prompt;
    return prompt;
}

} // namespace

TMakePolygonForm::TMakePolygonForm(QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::MakePolygonForm>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui_->RadiusEdit->SetValue(1.0);
    connect(ui_->NVertexEdit, &QSpinBox::valueChanged, this,
            [this](int n) { ui_->SplineContourCheck->setChecked(n > 3); });
    connect(ui_->OkSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->CancelSB, &QPushButton::clicked, this, &QDialog::reject);
    RestoreWidgetPos(this, false);
}

TMakePolygonForm::~TMakePolygonForm() = default;

TRegularPolygonParams TMakePolygonForm::Params() const {
    TRegularPolygonParams p;
    p.Vertices = ui_->NVertexEdit->value();
    p.Radius = ui_->RadiusEdit->Value();
    p.CloseContour = ui_->CloseContourCheck->isChecked();
    p.SplineContour = ui_->SplineContourCheck->isChecked();
    return p;
}

void TMakePolygonForm::SetVertices(int n) {
    ui_->NVertexEdit->setValue(n);
}

void TMakePolygonForm::done(int result) {
    SaveWidgetPos(this, false);
    QDialog::done(result);
}

bool TMakePolygonForm::Ask(TRegularPolygonParams &params) {
    if (Prompt())
        return Prompt()(params);
    // The window lives while it is shown and goes when it closes.
    TMakePolygonForm form;
    const bool ok = form.exec() == QDialog::Accepted;
    if (ok)
        params = form.Params();
    return ok;
}

void TMakePolygonForm::SetPrompt(std::function<bool(TRegularPolygonParams &)> prompt) {
    Prompt() = std::move(prompt);
}
