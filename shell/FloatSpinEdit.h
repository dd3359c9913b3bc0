#pragma once
// A text edit for a number with spin buttons on its right: IntSpins buttons stepping by 1, 10, 100, ...
// (the 1 next to a separator), then FraSpins buttons stepping by 0.1, 0.01, ... Each button's upper half
// adds its step, the lower half subtracts it. Text is read and written with "." whatever the locale; keys
// that cannot belong to a number are refused with a beep, and while the text is no number Value keeps the
// last valid one.
#include <QLineEdit>

#include <vector>

class TFloatSpinEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int IntSpins READ IntSpins WRITE SetIntSpins)
    Q_PROPERTY(int FraSpins READ FraSpins WRITE SetFraSpins)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
public:
    explicit TFloatSpinEdit(QWidget *parent = nullptr);

    int IntSpins() const { return intSpins_; }
    void SetIntSpins(int count);
    int FraSpins() const { return fraSpins_; }
    void SetFraSpins(int count);
    double Value() const { return value_; }
    // When the text is a number other than value, it becomes value with FraSpins decimals; text that is no
    // number is left as typed. The stored value becomes value in every case.
    void SetValue(double value);
    bool TextValid() const { return textValid_; }
    bool HasValidText() const;
    int SpinsWidth() const { return spinsWidth_; }

    // Digits, "-", "." and control characters other than Enter.
    virtual bool IsValidChar(QChar c) const;

    // The step of a button: fraction buttons 0.1, 0.01, ... by tag; integer buttons 1, 10, 100, ...
    static double SpinStep(bool fraction, int tag);
    // One step of a button, up or down.
    void Spin(bool fraction, int tag, bool up);
    // The buttons from left to right as (fraction, tag); the separator lies between the two groups.
    std::vector<std::pair<bool, int>> ButtonsLeftToRight() const;
    // The geometry of the button (fraction, tag); empty when there is none.
    QRect ButtonRect(bool fraction, int tag) const;

signals:
    // After every change of the text, once Value has followed it.
    void Changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void RebuildSpins();
    void TextChanged(const QString &text);

    int intSpins_ = 0, fraSpins_ = 0;
    int spinsWidth_ = 0;
    double value_ = 0;
    bool textValid_ = true;
};
