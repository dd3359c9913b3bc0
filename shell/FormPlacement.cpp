#include "shell/FormPlacement.h"

#include "engine/Cp1251Qt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

TWorkArea AreaOf(const QRect &r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

TWorkArea WorkAreaAt(const QPoint &globalPos) {
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen ? AreaOf(screen->availableGeometry()) : TWorkArea{0, 0, 1024, 768};
}

TWorkArea WorkAreaOf(const QWidget *widget) {
    if (widget != nullptr && widget->screen() != nullptr)
        return AreaOf(widget->screen()->availableGeometry());
    return WorkAreaAt(QPoint());
}

TFormPos FormPosOf(const QWidget *widget, bool sizeable) {
    TFormPos pos;
    TryFromQString(widget->objectName(), pos.Name);
    pos.Left = widget->x();
    pos.Top = widget->y();
    pos.Width = widget->width();
    pos.Height = widget->height();
    pos.Sizeable = sizeable;
    return pos;
}

void ApplyFormPos(QWidget *widget, const TFormPos &pos) {
    widget->move(pos.Left, pos.Top);
    if (pos.Sizeable && pos.Width > 0 && pos.Height > 0)
        widget->resize(pos.Width, pos.Height);
}

void RestoreWidgetPos(QWidget *widget, bool sizeable) {
    TFormPos pos = FormPosOf(widget, sizeable);
    if (pos.Name.Empty())
        return;
    RestoreFormPos(pos, WorkAreaOf(widget));
    ApplyFormPos(widget, pos);
}

void SaveWidgetPos(const QWidget *widget, bool sizeable) {
    const TFormPos pos = FormPosOf(widget, sizeable);
    if (!pos.Name.Empty())
        SaveFormPos(pos);
}

void PlaceAndFit(QWidget *widget, const QPoint &globalPos) {
    TFormPos pos = FormPosOf(widget, true);
    pos.Left = globalPos.x();
    pos.Top = globalPos.y();
    FitFormToScreen(pos, WorkAreaAt(globalPos));
    ApplyFormPos(widget, pos);
}
