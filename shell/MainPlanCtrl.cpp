#include "shell/MainPlanCtrl.h"

#include "shell/MainForm.h"
#include "shell/MainPlan.h"
#include "shell/StreetsHolder.h"

#include <algorithm>
#include <cmath>

namespace {

const QString Category = QStringLiteral("Управление видом");

bool OnlyLeftButton(const TMouseEventArgs &e) {
    return e.Button == Qt::LeftButton && e.Buttons == Qt::LeftButton && e.Modifiers == Qt::NoModifier;
}

QSize RendererSize(const TMainPlanDrawer &drawer) {
    const TdxRenderer *r = drawer.GetRenderer();
    return r != nullptr ? QSize(r->Width(), r->Height()) : QSize();
}

} // namespace

TPlanControlsHost PlanControlsHostOf(TMainForm &form) {
    TPlanControlsHost host;
    host.Drawer = [&form] { return &form.MainPlanDrawer(); };
    host.PlanShown = [&form] { return form.PlanShown(); };
    host.PlanActive = [&form] { return form.PlanShown() && form.Holder().Count() > 0; };
    host.Refresh = [&form] { form.RefreshAll(); };
    host.MouseMode = [&form] { return form.MouseMode(); };
    host.SetMouseMode = [&form](TMouseEvents *mode) { form.SetMouseMode(mode); };
    host.DrawListeners = &form.DrawListeners;
    return host;
}

TMainPlanControls::TMainPlanControls(TMainForm &form, QObject *parent)
    : TMainPlanControls(PlanControlsHostOf(form), parent) {
    form.SetTemporaryModes(ShiftViewMode, RotateMode);
}

TMainPlanControls::TMainPlanControls(TPlanControlsHost host, QObject *parent)
    : TQk2RootDatamodule(parent), host_(std::move(host)) {
    setObjectName(QStringLiteral("MainPlanControls"));
    ShiftViewMode = MakeMode("ShiftViewMode", ShiftViewCursor, QStringLiteral("Сдвиг плана"));
    SelectAreaMode = MakeMode("SelectAreaMode", SelectAreaCursor, QStringLiteral("Выбор видимой области"));
    ZoomMode = MakeMode("ZoomMode", ZoomCursor, QStringLiteral("Масштабирование"));
    RotateMode = MakeMode("RotateMode", RotateViewCursor, QStringLiteral("Вращение"));
    auto on = [this](void (TMainPlanControls::*handler)(const TMouseEventArgs &)) {
        return [this, handler](TMouseEvents *, const TMouseEventArgs &e) { (this->*handler)(e); };
    };
    auto release = [this](TMouseEvents *, const TMouseEventArgs &) { held_ = false; };
    ShiftViewMode->OnMouseDown = on(&TMainPlanControls::DragDown);
    ShiftViewMode->OnMouseMove = on(&TMainPlanControls::DragMove);
    ShiftViewMode->OnMouseUp = release;
    SelectAreaMode->OnMouseDown = on(&TMainPlanControls::AreaDown);
    SelectAreaMode->OnMouseMove = on(&TMainPlanControls::AreaMove);
    SelectAreaMode->OnMouseUp = on(&TMainPlanControls::AreaUp);
    ZoomMode->OnMouseDown = on(&TMainPlanControls::ZoomDown);
    ZoomMode->OnMouseMove = on(&TMainPlanControls::ZoomMove);
    ZoomMode->OnMouseUp = on(&TMainPlanControls::ZoomUp);
    RotateMode->OnMouseDown = on(&TMainPlanControls::RotateDown);
    RotateMode->OnMouseMove = on(&TMainPlanControls::RotateMove);
    RotateMode->OnMouseUp = release;

    ShowAll = MakeAction("ShowAll", QStringLiteral("Показать весь объект"),
                         QKeySequence(Qt::CTRL | Qt::Key_Home), [](TMainPlanDrawer &d) { d.ShowAll(); });
    const QString shift = QStringLiteral("Сдвиг вида");
    ShiftLeft = MakeAction("ShiftLeft", shift, QKeySequence(Qt::Key_Left),
                           [](TMainPlanDrawer &d) { d.PanPixels(-PanStep, 0); });
    ShiftRight = MakeAction("ShiftRight", shift, QKeySequence(Qt::Key_Right),
                            [](TMainPlanDrawer &d) { d.PanPixels(PanStep, 0); });
    ShiftUp = MakeAction("ShiftUp", shift, QKeySequence(Qt::Key_Up),
                         [](TMainPlanDrawer &d) { d.PanPixels(0, PanStep); });
    ShiftDown = MakeAction("ShiftDown", shift, QKeySequence(Qt::Key_Down),
                           [](TMainPlanDrawer &d) { d.PanPixels(0, -PanStep); });
    const QString turn = QStringLiteral("Вращение вида");
    RotCW = MakeAction("RotCW", turn, QKeySequence(Qt::Key_Home),
                       [](TMainPlanDrawer &d) { d.SetAngle(d.GetAngle() - RotationStep); });
    RotCCW = MakeAction("RotCCW", turn, QKeySequence(Qt::Key_End),
                        [](TMainPlanDrawer &d) { d.SetAngle(d.GetAngle() + RotationStep); });
    ScaleUp =
        MakeAction("ScaleUp", QStringLiteral("Увеличение"), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus),
                   [](TMainPlanDrawer &d) { d.SetScale(d.GetScale() * std::sqrt(2.0)); });
    ScaleDown = MakeAction("ScaleDown", QStringLiteral("Уменьшение"),
                           QKeySequence(Qt::KeypadModifier | Qt::Key_Minus), [](TMainPlanDrawer &d) {
                               if (d.GetScale() > ZoomOutLimit)
                                   d.SetScale(d.GetScale() / std::sqrt(2.0));
                           });
    for (TFloatingAction *a : {ShiftLeft, ShiftRight, ShiftUp, ShiftDown, RotCW, RotCCW, ScaleUp, ScaleDown})
        a->AutoRep = true;
    ShiftView =
        ModeAction("ShiftView", QStringLiteral("Таскать вид"), QKeySequence(Qt::Key_F5), ShiftViewMode);
    SelectArea = ModeAction("SelectArea", QStringLiteral("Выбрать видимую область"), QKeySequence(Qt::Key_F6),
                            SelectAreaMode);
    Zoom = ModeAction("Zoom", QStringLiteral("Масштаб плавно"), QKeySequence(Qt::Key_F7), ZoomMode);
    Rotate = ModeAction("Rotate", QStringLiteral("Вращение плавно"), QKeySequence(Qt::Key_F8), RotateMode);
    AllStreetsDraw = MakeAction("AllStreetsDraw", QStringLiteral("Включить прорисовку всех улиц"),
                                QKeySequence(), nullptr);
    AllStreetsDraw->Toggle = true;
    AllStreetsDraw->OnExecute = [this](TFloatingAction *a) {
        if (TMainPlanDrawer *d = Drawer())
            d->AllStreetsDraw = a->GetDown();
        Refresh();
    };

    if (host_.DrawListeners != nullptr)
        areaToken_ = host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawArea(p); });
}

TMainPlanControls::~TMainPlanControls() {
    if (host_.DrawListeners != nullptr)
        host_.DrawListeners->Remove(areaToken_);
    // The modes go with the module; the window must not keep one as its mode.
    for (TMouseEvents *mode : {ShiftViewMode, SelectAreaMode, ZoomMode, RotateMode})
        mode->OnDestroy = nullptr;
    if (host_.MouseMode && host_.SetMouseMode) {
        TMouseEvents *current = host_.MouseMode();
        if (current == ShiftViewMode || current == SelectAreaMode || current == ZoomMode ||
            current == RotateMode)
            host_.SetMouseMode(nullptr);
    }
}

TMainPlanDrawer *TMainPlanControls::Drawer() const {
    return host_.Drawer ? host_.Drawer() : nullptr;
}

void TMainPlanControls::Refresh() const {
    if (host_.Refresh)
        host_.Refresh();
}

TFloatingAction *TMainPlanControls::MakeAction(const char *name, const QString &hint,
                                               const QKeySequence &shortcut,
                                               std::function<void(TMainPlanDrawer &)> execute) {
    TFloatingAction *a = TFloatingAction::Make(this, Category, name, hint, shortcut);
    a->OnUpdateState = [this](TFloatingAction *self) {
        const bool shown = host_.PlanShown && host_.PlanShown();
        self->SetVisible(shown);
        self->SetEnabled(shown);
    };
    if (execute)
        a->OnExecute = [this, execute](TFloatingAction *) {
            if (!host_.PlanActive || !host_.PlanActive())
                return;
            if (TMainPlanDrawer *d = Drawer())
                execute(*d);
            Refresh();
        };
    return a;
}

TFloatingAction *TMainPlanControls::ModeAction(const char *name, const QString &hint,
                                               const QKeySequence &shortcut, TMouseEvents *mode) {
    TFloatingAction *a = MakeAction(name, hint, shortcut, nullptr);
    // The mode actions set their mode whatever drawer is shown (the mode then checks its context).
    a->OnExecute = [this, mode](TFloatingAction *) {
        if (host_.SetMouseMode)
            host_.SetMouseMode(mode);
    };
    return a;
}

TMouseEvents *TMainPlanControls::MakeMode(const char *name, int cursor, const QString &description) {
    auto *mode = new TMouseEvents(this);
    mode->setObjectName(QString::fromLatin1(name));
    mode->Cursor = cursor;
    mode->Description = description;
    mode->OnCheckContext = [this](TMouseEvents *, bool &valid) {
        valid = host_.PlanShown && host_.PlanShown();
    };
    mode->BeforeSendEvents = [this](TMouseEvents *) { held_ = false; };
    mode->OnDestroy = [this](TMouseEvents *self) {
        if (host_.MouseMode && host_.SetMouseMode && host_.MouseMode() == self)
            host_.SetMouseMode(nullptr);
    };
    return mode;
}

bool TMainPlanControls::AreaRect(QPoint &from, QPoint &to) const {
    if (!held_ || !host_.MouseMode || host_.MouseMode() != SelectAreaMode)
        return false;
    from = start_;
    to = current_;
    return true;
}

// ---- Drag

void TMainPlanControls::DragDown(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || !OnlyLeftButton(e))
        return;
    start_ = current_ = QPoint(e.X, e.Y);
    startCenter_ = d->GetCenter();
    held_ = true;
}

void TMainPlanControls::DragMove(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || !held_)
        return;
    current_ = QPoint(e.X, e.Y);
    const TXYZ g0 = d->ScreenToGround(start_.x(), start_.y());
    const TXYZ g1 = d->ScreenToGround(current_.x(), current_.y());
    d->SetCenter({static_cast<float>(double(startCenter_.x) - (double(g1.x) - g0.x)),
                  static_cast<float>(double(startCenter_.y) - (double(g1.y) - g0.y)), startCenter_.z});
    Refresh();
}

// ---- Area zoom

void TMainPlanControls::AreaDown(const TMouseEventArgs &e) {
    if (!OnlyLeftButton(e))
        return;
    start_ = current_ = QPoint(e.X, e.Y);
    held_ = true;
    Refresh();
}

void TMainPlanControls::AreaMove(const TMouseEventArgs &e) {
    if (!held_)
        return;
    current_ = QPoint(e.X, e.Y);
    Refresh();
}

void TMainPlanControls::AreaUp(const TMouseEventArgs &e) {
    if (!held_)
        return;
    held_ = false;
    TMainPlanDrawer *d = Drawer();
    const QSize size = d != nullptr ? RendererSize(*d) : QSize();
    const QPoint end(e.X, e.Y);
    const int w = std::abs(end.x() - start_.x()), h = std::abs(end.y() - start_.y());
    if (d != nullptr && size.width() > 0 && w >= MinAreaSize && h >= MinAreaSize) {
        const int mx = (std::min(start_.x(), end.x()) + std::max(start_.x(), end.x())) / 2;
        const int my = (std::min(start_.y(), end.y()) + std::max(start_.y(), end.y())) / 2;
        const TXYZ centre = d->ScreenToGround(mx, my);
        const double factor = std::min(double(size.width()) / w, double(size.height()) / h);
        d->SetCenter(centre);
        d->SetScale(d->GetScale() * factor);
    }
    Refresh();
}

void TMainPlanControls::DrawArea(const TDxDrawParams &params) {
    QPoint a, b;
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || params.Renderer == nullptr || !AreaRect(a, b) ||
        !(host_.PlanShown && host_.PlanShown()))
        return;
    TdxRenderer &r = *params.Renderer;
    const TXYZ corners[5] = {r.ScreenToGround(a.x(), a.y()), r.ScreenToGround(b.x(), a.y()),
                             r.ScreenToGround(b.x(), b.y()), r.ScreenToGround(a.x(), b.y()),
                             r.ScreenToGround(a.x(), a.y())};
    r.DrawPolyline(corners, 0xFF000000);
}

// ---- Continuous zoom

void TMainPlanControls::ZoomDown(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr)
        return;
    held_ = true;
    start_ = current_ = QPoint(e.X, e.Y);
    startScale_ = d->GetScale();
}

void TMainPlanControls::ZoomMove(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || !held_)
        return;
    current_ = QPoint(e.X, e.Y);
    const QSize size = RendererSize(*d);
    const QPoint c(size.width() / 2, size.height() / 2);
    const double d0 = std::hypot(start_.x() - c.x(), start_.y() - c.y());
    const double d1 = std::hypot(current_.x() - c.x(), current_.y() - c.y());
    const int limit = size.width() / 10;
    if (d0 > limit && d1 > limit) {
        d->SetScale(startScale_ * d1 / d0);
        Refresh();
    }
}

void TMainPlanControls::ZoomUp(const TMouseEventArgs &) {
    if (!held_)
        return;
    held_ = false;
    Refresh();
}

// ---- Continuous turning

void TMainPlanControls::RotateDown(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || !OnlyLeftButton(e))
        return;
    start_ = current_ = QPoint(e.X, e.Y);
    startAngle_ = d->GetAngle();
    held_ = true;
}

void TMainPlanControls::RotateMove(const TMouseEventArgs &e) {
    TMainPlanDrawer *d = Drawer();
    if (d == nullptr || !held_)
        return;
    current_ = QPoint(e.X, e.Y);
    const QSize size = RendererSize(*d);
    const double cx = size.width() / 2.0, cy = size.height() / 2.0;
    const float a0 =
        VectorAngle({static_cast<float>(start_.x() - cx), static_cast<float>(start_.y() - cy), 0});
    const float a1 =
        VectorAngle({static_cast<float>(current_.x() - cx), static_cast<float>(current_.y() - cy), 0});
    d->SetAngle(double(startAngle_) + a0 - a1);
    Refresh();
}
