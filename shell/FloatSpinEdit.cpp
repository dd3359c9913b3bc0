#include "shell/FloatSpinEdit.h"

#include "engine/NumText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

constexpr int MaxSpins = 9;

// One up-down button: the upper half steps up, the lower half down.
class TSpinButton : public QWidget {
public:
    TSpinButton(TFloatSpinEdit *edit, bool fraction, int tag)
        : QWidget(edit), edit_(edit), fraction_(fraction), tag_(tag) {
        setCursor(Qt::ArrowCursor);
        setToolTip(QStringLiteral("±") +
                   QString::fromStdString(FloatToStr(TFloatSpinEdit::SpinStep(fraction, tag))));
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        QStyleOption opt;
        opt.initFrom(this);
        const int h = height() / 2;
        for (int half = 0; half < 2; ++half) {
            opt.rect = QRect(0, half * h, width(), half == 0 ? h : height() - h);
            opt.state =
                QStyle::State_Enabled | (pressed_ == half ? QStyle::State_Sunken : QStyle::State_Raised);
            style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
            opt.rect.adjust(1, 1, -1, -1);
            style()->drawPrimitive(half == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                                   &opt, &p, this);
        }
    }
    void mousePressEvent(QMouseEvent *e) override {
        if (e->button() != Qt::LeftButton)
            return;
        pressed_ = e->position().y() < height() / 2 ? 0 : 1;
        update();
        edit_->Spin(fraction_, tag_, pressed_ == 0);
    }
    void mouseReleaseEvent(QMouseEvent *) override {
        pressed_ = -1;
        update();
    }

private:
    TFloatSpinEdit *edit_;
    bool fraction_;
    int tag_;
    int pressed_ = -1;
};

bool ParseNumber(const QString &text, double &out) {
    return TryStrToFloat(text.toStdString(), out);
}

} // namespace

TFloatSpinEdit::TFloatSpinEdit(QWidget *parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &TFloatSpinEdit::TextChanged);
    setText(QStringLiteral("0"));
}

void TFloatSpinEdit::SetIntSpins(int count) {
    intSpins_ = std::clamp(count, 0, MaxSpins);
    RebuildSpins();
}

void TFloatSpinEdit::SetFraSpins(int count) {
    fraSpins_ = std::clamp(count, 0, MaxSpins);
    RebuildSpins();
}

void TFloatSpinEdit::SetValue(double value) {
    double current = 0;
    if (ParseNumber(text(), current) && current != value) {
        const QString formatted = QString::fromStdString(FormatFixed(value, fraSpins_)).trimmed();
        setText(formatted);
    }
    value_ = value;
}

bool TFloatSpinEdit::HasValidText() const {
    double v = 0;
    return ParseNumber(text(), v);
}

bool TFloatSpinEdit::IsValidChar(QChar c) const {
    if (c.isDigit() && c.unicode() < 128)
        return true;
    if (c == u'-' || c == u'.')
        return true;
    return c.unicode() < 32 && c.unicode() != 13;
}

double TFloatSpinEdit::SpinStep(bool fraction, int tag) {
    // Written out and read back, so that 0.1, 0.01, ... are the numbers their text names. Beyond the
    // range of a double the step is 0 or infinite anyway; the cap keeps a wild tag from asking for memory.
    const std::size_t zeros = static_cast<std::size_t>(std::clamp(tag, 0, 400));
    std::string text = fraction ? "0." : "1";
    text.append(zeros, '0');
    if (fraction)
        text.push_back('1');
    double step = 0;
    TryStrToFloat(text, step);
    return step;
}

void TFloatSpinEdit::Spin(bool fraction, int tag, bool up) {
    const double step = SpinStep(fraction, tag);
    SetValue(up ? step + value_ : value_ - step);
}

void TFloatSpinEdit::TextChanged(const QString &text) {
    double v = 0;
    textValid_ = ParseNumber(text, v);
    if (textValid_)
        value_ = v;
    emit Changed();
}

void TFloatSpinEdit::keyPressEvent(QKeyEvent *event) {
    const QString text = event->text();
    const bool editingKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                            event->key() == Qt::Key_Escape || (event->modifiers() & Qt::ControlModifier);
    if (!editingKey && text.size() == 1 && !IsValidChar(text[0])) {
        QApplication::beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TFloatSpinEdit::resizeEvent(QResizeEvent *event) {
    QLineEdit::resizeEvent(event);
    RebuildSpins();
}

std::vector<std::pair<bool, int>> TFloatSpinEdit::ButtonsLeftToRight() const {
    std::vector<std::pair<bool, int>> order;
    for (int t = intSpins_ - 1; t >= 0; --t)
        order.emplace_back(false, t);
    for (int t = 0; t < fraSpins_; ++t)
        order.emplace_back(true, t);
    return order;
}

QRect TFloatSpinEdit::ButtonRect(bool fraction, int tag) const {
    for (QObject *child : children())
        if (auto *b = dynamic_cast<TSpinButton *>(child))
            if (b->property("fraction").toBool() == fraction && b->property("tag").toInt() == tag)
                return b->geometry();
    return {};
}

void TFloatSpinEdit::RebuildSpins() {
    // A button may be rebuilt while its own click runs: old ones are deleted later.
    std::vector<QWidget *> old;
    for (QObject *child : children())
        if (dynamic_cast<TSpinButton *>(child) != nullptr ||
            child->objectName() == QStringLiteral("SpinSeparator"))
            old.push_back(static_cast<QWidget *>(child));
    for (QWidget *w : old) {
        w->hide();
        w->setObjectName(QString());
        w->setProperty("tag", -1);
        w->deleteLater();
    }

    const int h = height();
    const int buttonWidth = h * 2 / 3;
    int x = width();
    auto place = [&](bool fraction, int tag) {
        auto *b = new TSpinButton(this, fraction, tag);
        b->setProperty("fraction", fraction);
        b->setProperty("tag", tag);
        x -= buttonWidth;
        b->setGeometry(x, 0, buttonWidth, h);
        b->show();
    };
    // From the right edge leftwards: the fraction buttons (highest tag rightmost), the separator, then the
    // integer buttons (tag 0 next to the separator).
    for (int t = fraSpins_ - 1; t >= 0; --t)
        place(true, t);
    if (intSpins_ > 0 || fraSpins_ > 0) {
        auto *sep = new QWidget(this);
        sep->setObjectName(QStringLiteral("SpinSeparator"));
        x -= h / 4;
        sep->setGeometry(x, 0, h / 4, h);
        sep->show();
    }
    for (int t = 0; t < intSpins_; ++t)
        place(false, t);
    spinsWidth_ = width() - x;
    setTextMargins(0, 0, spinsWidth_, 0);
}
