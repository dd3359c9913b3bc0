#include "shell/ValueEditorForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "shell/FormPlacement.h"
#include "shell/UserPrompts.h"
#include "ui_ValueEditorForm.h"

#include <QCloseEvent>
#include <QLineEdit>

#include <cmath>
#include <limits>

namespace {

const char *const BadNumber = "Неверный формат числа.";
constexpr int HistorySize = 20;

// Runs the editor for a number: the text is offered and read back; fromText converts (false when it is no
// number of the type).
template <class T, class Parse>
bool EditNumber(const QString &caption, const QPoint &pos, T &value, const std::string &def, Parse fromText) {
    QString text = QString::fromStdString(def);
    if (!UserPrompts().EditString(caption, pos, text))
        return false;
    // The default text is the value rounded for show: confirming it unchanged must not round the value.
    if (text == QString::fromStdString(def))
        return true;
    T parsed{};
    if (!fromText(text.toStdString(), parsed)) {
        UserPrompts().ShowMessage(TPromptKind::Warning, QString::fromUtf8(BadNumber));
        return false;
    }
    value = parsed;
    return true;
}

} // namespace

bool TValueEditorForm::EditString(const QString &caption, const QPoint &pos, Cp1251String &text,
                                  const Cp1251String &def) {
    QString entered = ToQString(def);
    const bool ok = UserPrompts().EditString(caption, pos, entered);
    text = def;
    return ok && UserTextToCp1251(entered, text);
}

bool TValueEditorForm::EditFloat(const QString &caption, const QPoint &pos, double &value) {
    return EditNumber(caption, pos, value, FormatFixed(value, 2), [](const std::string &s, double &out) {
        return TryStrToFloat(s, out) && std::isfinite(out);
    });
}

bool TValueEditorForm::EditSingle(const QString &caption, const QPoint &pos, float &value) {
    return EditNumber(caption, pos, value, FormatFixed(value, 2), [](const std::string &s, float &out) {
        double d = 0;
        if (!TryStrToFloat(s, d) || !std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max())
            return false;
        out = static_cast<float>(d);
        return true;
    });
}

bool TValueEditorForm::EditInteger(const QString &caption, const QPoint &pos, int32_t &value) {
    return EditNumber(caption, pos, value, IntToStr(value),
                      [](const std::string &s, int32_t &out) { return TryStrToInt(s, out); });
}

TValueEditorForm::TValueEditorForm(const QString &caption, const QPoint &pos, const QString &def,
                                   QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ValueEditorForm>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    Cp1251String cpCaption;
    if (TryFromQString(caption, cpCaption))
        section_ = Cp1251String("ValueEditorForm\\") + cpCaption;
    if (!section_.Empty()) {
        std::vector<Cp1251String> items;
        RegReadStrings(section_, Cp1251String("Items"), items);
        for (const Cp1251String &item : items)
            ui_->Edit->addItem(ToQString(item));
    }
    ui_->Edit->setCurrentText(def);
    ui_->Edit->lineEdit()->selectAll();
    connect(ui_->OkSB, &QPushButton::clicked, this, &TValueEditorForm::ClickOk);
    connect(ui_->CancelSB, &QPushButton::clicked, this, &QDialog::reject);
    PlaceAndFit(this, pos);
}

TValueEditorForm::~TValueEditorForm() = default;

QString TValueEditorForm::Text() const {
    return ui_->Edit->currentText();
}

void TValueEditorForm::SetText(const QString &text) {
    ui_->Edit->setCurrentText(text);
}

QStringList TValueEditorForm::History() const {
    QStringList items;
    for (int i = 0; i < ui_->Edit->count(); ++i)
        items += ui_->Edit->itemText(i);
    return items;
}

void TValueEditorForm::ClickOk() {
    Cp1251String text;
    // Text that cannot be stored is kept out of the history; the caller refuses it with a message.
    if (!section_.Empty() && TryFromQString(Text(), text)) {
        try {
            RegAddMruString(section_, Cp1251String("Items"), text, HistorySize);
        } catch (const std::exception &) {
            // A settings folder that cannot be written loses the history, not the value.
        }
    }
    done(1);
}

void TValueEditorForm::showEvent(QShowEvent *event) {
    if (!section_.Empty()) {
        const int width = RegReadInteger(section_, Cp1251String("Width"));
        resize(std::max(width, minimumWidth()), height());
    }
    QDialog::showEvent(event);
}

void TValueEditorForm::SaveWidth() {
    if (widthSaved_ || section_.Empty())
        return;
    widthSaved_ = true;
    try {
        RegWriteInteger(section_, Cp1251String("Width"), width());
    } catch (const std::exception &) {
        // A settings folder that cannot be written loses the width, nothing else.
    }
}

void TValueEditorForm::closeEvent(QCloseEvent *event) {
    SaveWidth();
    QDialog::closeEvent(event);
}

void TValueEditorForm::done(int result) {
    SaveWidth();
    QDialog::done(result);
}
