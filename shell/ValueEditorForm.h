#pragma once
// The value editor: one line of text with a drop-down history of the last 20 values entered under the
// same caption, and typed helpers for numbers. Numbers are written and read with "." whatever the locale.
//
// The helpers ask through the prompts interface (UserPrompts); the Qt prompts show this form.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/Cp1251.h"
#endif

#include <QDialog>
#include <QPoint>

#include <cstdint>
#include <memory>

namespace Ui {
class ValueEditorForm;
}

class TValueEditorForm : public QDialog {
    Q_OBJECT
public:
    // True on Ok with text set to what was entered; otherwise text becomes def. Text without a
    // code-page-1251 form is refused with a message (false, text = def).
    static bool EditString(const QString &caption, const QPoint &pos, Cp1251String &text,
                           const Cp1251String &def);
    // The value is offered with two decimals (integers as they are). On Ok with a number the value becomes
    // it and the result is true; after Cancel the value is left as it was and the result is false; a text
    // that is no number gives "Неверный формат числа.", false and the value unchanged.
    static bool EditFloat(const QString &caption, const QPoint &pos, double &value);
    static bool EditSingle(const QString &caption, const QPoint &pos, float &value);
    static bool EditInteger(const QString &caption, const QPoint &pos, int32_t &value);

    // The form itself, placed at pos and fitted to the screen, showing def with the caption's history.
    TValueEditorForm(const QString &caption, const QPoint &pos, const QString &def,
                     QWidget *parent = nullptr);
    ~TValueEditorForm() override;
    QString Text() const;
    void SetText(const QString &text);
    QStringList History() const;
    // Ok: the text goes to the top of the caption's history and the form closes with result 1.
    void ClickOk();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    void SaveWidth();

    std::unique_ptr<Ui::ValueEditorForm> ui_;
    Cp1251String section_; // "ValueEditorForm\<caption>"; empty when the caption cannot be stored
    bool widthSaved_ = false;
};
