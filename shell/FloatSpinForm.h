#pragma once
// A number that takes effect while it is changed: the callback sees every valid value typed or spun, the
// value at Ok, and the start value again at Cancel.
#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class FloatSpinForm;
}
class TFloatSpinEdit;

class TFloatSpinForm : public QDialog {
    Q_OBJECT
public:
    using TCallback = std::function<void(double)>;

    // True on Ok.
    static bool Execute(const QPoint &pos, const QString &caption, const TCallback &callback, double value);

    // The start value is shown (and not reported); the callback is called from then on.
    TFloatSpinForm(const QPoint &pos, const QString &caption, const TCallback &callback, double value,
                   QWidget *parent = nullptr);
    ~TFloatSpinForm() override;

    TFloatSpinEdit *FloatEdit() const;
    double StartValue() const { return startValue_; }
    void ClickOk();
    // Cancel, Escape and closing the window.
    void reject() override;

private:
    void Report(double value);

    std::unique_ptr<Ui::FloatSpinForm> ui_;
    double startValue_ = 0;
    TCallback callback_;
};
