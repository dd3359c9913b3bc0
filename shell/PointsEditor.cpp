#include "shell/PointsEditor.h"

#include "engine/DxOverlay.h"
#include "engine/GPSCalc3.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemSetRules.h"
#include "model/ItemTypeCodes.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"
#include "objects/OrientPointItem.h"
#include "shell/MainForm.h"
#include "shell/MakePolygonForm.h"
#include "shell/ModuleRows.h"
#include "shell/PointEditOps.h"
#include "shell/StartUp.h"
#include "shell/StreetsHolder.h"
#include "shell/UserPrompts.h"

#include <QApplication>
#include <QCursor>
#include <QPalette>

#include <typeinfo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

const QString Category = QStringLiteral("Редактор");
const QString InfoCategory = QStringLiteral("Редактор точек");
constexpr D3DCOLOR Red = 0xFFFF0000;
constexpr D3DCOLOR Green = 0xFF00FF00;

const char *const SuperConnectRefused = "Присоединение с \"Shift\" ом не разрешено (см. настройки разные)";
const char *const ScaleNeedsPoint = "Масштабировать можно только относительно выбранной точки.";
const char *const RotateNeedsPoint = "Вращение возможно только относительно выбранной точки";

// The types whose direction can be turned round.
constexpr TItemTypeSet InvertTypes{
    RazdPolTypeCode,  RoadWayTypeCode,    TrotuarTypeCode,      GazonTypeCode,
    ObochTypeCode,    HouseTypeCode,      DesignFigureTypeCode, BortTypeCode,
    RoadWallTypeCode, LineRazmetTypeCode, RazmetStopTypeCode,   ZebraTypeCode,
    TramWayTypeCode,  DesignLineTypeCode, ArcCoordsTypeCode,    RazmetLabelPlaceTypeCode,
    CalcAreaTypeCode, AxisTypeCode,       LnDefectTypeCode,     SqDefectTypeCode};
constexpr TItemTypeSet ArrangeTypes{HouseTypeCode, DesignFigureTypeCode, DesignLineTypeCode};

bool OnlyLeft(const TMouseEventArgs &e) {
    return e.Buttons == Qt::LeftButton && e.Modifiers == Qt::NoModifier;
}

bool ValidCurrent(const TAbstractItem &item) {
    return item.Points.IsValidIndex(item.Points.CurrentIndex);
}

bool IsLineItem(const TAbstractItem &item) {
    return !item.IsClosed() && !item.HasControlPoints() && item.MinPointCount() >= 2;
}

QString Fixed(double v) {
    return QString::asprintf("%5.2f", v);
}

// The settings section of the editor's own values.
Cp1251String Section() {
    return Cp1251String("PointsEditorModule");
}

TPointsEditorModule *LiveModule = nullptr;

} // namespace

TPointsEditorModule *PointsEditorModule() {
    return LiveModule;
}

TPointsEditorHost PointsEditorHostOf(TMainForm &form) {
    TPointsEditorHost host;
    host.Street = [&form]() -> TStreetStructure * { return form.Holder().FindActiveStreet(); };
    host.Ground = [&form](int x, int y) {
        TdxRenderer *r = form.ActiveDrawer() != nullptr ? form.ActiveDrawer()->GetRenderer() : nullptr;
        if (form.PlanShown())
            return form.MainPlanDrawer().ScreenToGround(x, y);
        return r != nullptr ? r->ScreenToGround(x, y) : TXYZ{};
    };
    host.PixelSize = [&form](int x, int y) -> double {
        if (form.PlanShown()) {
            const double ppu = form.MainPlanDrawer().PixelsPerUnit();
            return ppu > 0 ? 1 / ppu : 0;
        }
        TdxRenderer *r = form.ActiveDrawer() != nullptr ? form.ActiveDrawer()->GetRenderer() : nullptr;
        return r != nullptr ? r->PixelSizeAt(x, y) : 0;
    };
    host.Refresh = [&form] { form.RefreshAll(); };
    host.MouseMode = [&form] { return form.MouseMode(); };
    host.SetMouseMode = [&form](TMouseEvents *mode) { form.SetMouseMode(mode); };
    host.VisibleTypes = [&form] { return form.VisibleLayers(); };
    // Until the video subsystem installs its drawer, the video view is an empty stand-in with nothing
    // to measure in.
    host.VideoActive = [&form] {
        const TDrawerObject &video = form.VideoDrawer();
        return form.ActiveDrawer() == &video && typeid(video) != typeid(TDrawerObject);
    };
    host.PixelRay = [&form](int x, int y, TXYZ &nearPoint, TXYZ &farPoint) {
        TdxRenderer *r = form.ActiveDrawer() != nullptr ? form.ActiveDrawer()->GetRenderer() : nullptr;
        if (r == nullptr)
            return false;
        nearPoint = r->ScreenToNear(x, y);
        farPoint = r->ScreenToFar(x, y);
        return true;
    };
    host.PopupPosition = [] { return QCursor::pos(); };
    host.DrawListeners = &form.DrawListeners;
    return host;
}

TPointsEditorModule::TPointsEditorModule(TMainForm &form, QObject *parent)
    : TPointsEditorModule(PointsEditorHostOf(form), parent) {}

TPointsEditorModule::TPointsEditorModule(TPointsEditorHost host, QObject *parent)
    : TQk2RootDatamodule(parent), host_(std::move(host)) {
    setObjectName(QStringLiteral("PointsEditorModule"));
    LiveModule = this;
    AllowSuperConnect = RegReadBool(Section(), Cp1251String("AllowSuperConnect"), false);
    MakeModes();
    MakeActions();
    MakeInfoLines();
    if (host_.DrawListeners != nullptr) {
        drawTokens_.push_back(
            host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawVertexOverlay(p); }));
        drawTokens_.push_back(host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawCutLine(p); }));
        drawTokens_.push_back(
            host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawCandidates(p); }));
        drawTokens_.push_back(
            host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawStereoRays(p); }));
    }
}

TPointsEditorModule::~TPointsEditorModule() {
    if (LiveModule == this)
        LiveModule = nullptr;
    if (host_.DrawListeners != nullptr)
        for (auto token : drawTokens_)
            host_.DrawListeners->Remove(token);
    const TMouseEvents *modes[] = {AddPointMode,    MovePointMode,  ConnectPointMode,
                                   DeletePointMode, RotateEdgeMode, MoveAllMode,
                                   RotateAllMode,   DropMode,       StereoMode};
    for (const TMouseEvents *mode : modes)
        const_cast<TMouseEvents *>(mode)->OnDestroy = nullptr;
    if (host_.MouseMode && host_.SetMouseMode) {
        const TMouseEvents *current = host_.MouseMode();
        if (std::find(std::begin(modes), std::end(modes), current) != std::end(modes))
            host_.SetMouseMode(nullptr);
    }
}

// ---- The edited item

TAbstractItem *TPointsEditorModule::EditedItem() const {
    TStreetStructure *street = host_.Street ? host_.Street() : nullptr;
    if (street == nullptr)
        return nullptr;
    for (TAbstractItem *item : street->Selection().Slots())
        if (item != nullptr)
            return item->MaxPointCount() > 0 ? item : nullptr;
    return nullptr;
}

std::vector<TAbstractItem *> TPointsEditorModule::SelectedItems() const {
    std::vector<TAbstractItem *> items;
    TStreetStructure *street = host_.Street ? host_.Street() : nullptr;
    if (street != nullptr)
        for (TAbstractItem *item : street->Selection().Slots())
            if (item != nullptr)
                items.push_back(item);
    return items;
}

void TPointsEditorModule::SelectNearestPoint(int x, int y) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr)
        return;
    const TXYZArray points = item->Points.GetPoints();
    item->Points.CurrentIndex = FindNearestInList(Ground(x, y), points);
    Refresh();
}

void TPointsEditorModule::Refresh() const {
    if (host_.Refresh)
        host_.Refresh();
}

bool TPointsEditorModule::Finish(const TEditResult &result, bool quiet) {
    if (result.Kind == TEditResult::Refused && !quiet)
        UserPrompts().ShowMessage(TPromptKind::Warning, result.Message);
    if (result.Changed())
        Refresh();
    return result.Changed();
}

TXYZ TPointsEditorModule::Ground(int x, int y) const {
    return host_.Ground ? host_.Ground(x, y) : TXYZ{float(x), float(y), 0};
}

double TPointsEditorModule::PixelSize(int x, int y) const {
    return host_.PixelSize ? host_.PixelSize(x, y) : 1.0;
}

QPoint TPointsEditorModule::PopupPosition() const {
    return host_.PopupPosition ? host_.PopupPosition() : QPoint();
}

bool TPointsEditorModule::EditExactValue(const QString &caption, const QPoint &pos, double value, bool single,
                                         double &result) {
    const std::string shown = single ? SingleToStrRoundTrip(float(value)) : FloatToStrRoundTrip(value);
    QString text = QString::fromStdString(shown);
    if (!UserPrompts().EditString(caption, pos, text))
        return false;
    const std::string entered = text.trimmed().toStdString();
    if (entered == shown)
        return false;
    double parsed = 0;
    if (!TryStrToFloat(entered, parsed) || !std::isfinite(parsed) ||
        (single && std::fabs(parsed) > std::numeric_limits<float>::max())) {
        UserPrompts().ShowMessage(TPromptKind::Warning, QStringLiteral("Неверный формат числа."));
        return false;
    }
    if (single ? float(parsed) == float(value) : parsed == value)
        return false;
    result = parsed;
    return true;
}

// ---- Actions

void TPointsEditorModule::MakeActions() {
    // Every rule holds only while there is an edited item; the handlers get that item.
    using TItemRule = std::function<bool(TAbstractItem &)>;
    auto onItem = [this](TItemRule rule) -> TRule {
        return [this, rule] {
            TAbstractItem *i = EditedItem();
            return i != nullptr && (!rule || rule(*i));
        };
    };
    auto run = [this](std::function<void(TAbstractItem &)> execute) {
        return [this, execute] {
            if (TAbstractItem *i = EditedItem())
                execute(*i);
        };
    };
    auto enter = [this](TMouseEvents *mode) {
        return [this, mode] {
            if (host_.SetMouseMode)
                host_.SetMouseMode(mode);
        };
    };
    auto both = [](TItemRule a, TItemRule b) -> TItemRule {
        return [a, b](TAbstractItem &i) { return a(i) && b(i); };
    };
    const TItemRule hasPoint = [](TAbstractItem &i) { return i.Points.Count() > 0; };
    const TItemRule noControlPoints = [](TAbstractItem &i) { return !i.HasControlPoints(); };
    const TItemRule edgeExists = [](TAbstractItem &i) {
        return !i.HasControlPoints() && CurrentEdgeEnd(i) >= 0;
    };
    const TItemRule videoActive = [this](TAbstractItem &) {
        return host_.VideoActive && host_.VideoActive();
    };
    const TItemRule alone = [this](TAbstractItem &) { return SelectedItems().size() == 1; };
    const TItemRule dropLine = [this](TAbstractItem &i) {
        const int k = i.Points.CurrentIndex;
        return SelectedItems().size() == 1 && IsLineItem(i) && k >= 1 && k <= i.Points.Count() - 2;
    };
    const TItemRule linkTwo = [this](TAbstractItem &) {
        const std::vector<TAbstractItem *> s = SelectedItems();
        return s.size() == 2 && s[0]->CanLinkWith(s[1]);
    };
    const TItemRule linkMany = [this](TAbstractItem &) {
        const std::vector<TAbstractItem *> s = SelectedItems();
        return s.size() > 2 && IsLineItem(*s[0]) && AllOfOneType(s);
    };
    const TItemRule shared = [](TAbstractItem &i) {
        return ValidCurrent(i) && SharingListCount(*i.Points.PointRec(i.Points.CurrentIndex)) > 1;
    };
    auto typeIn = [](const TItemTypeSet &types) -> TItemRule {
        return [types](TAbstractItem &i) { return types.Contains(i.GetTypeCode()); };
    };

    const TActionRow rows[] = {
        {.Name = "AddPoint",
         .Hint = QStringLiteral("Добавить точку. "),
         .Key = QKeySequence(Qt::Key_A),
         .Enabled = onItem([](TAbstractItem &i) { return i.Points.Count() < i.MaxPointCount(); }),
         .Visible = onItem(nullptr),
         .Execute = enter(AddPointMode),
         .Slot = &AddPoint},
        {.Name = "MovePoint",
         .Hint = QStringLiteral("Переместить точку. "),
         .Key = QKeySequence(Qt::Key_M),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = enter(MovePointMode),
         .Slot = &MovePoint},
        {.Name = "StereoMove",
         .Hint = QStringLiteral("Стерео измерение"),
         .Key = QKeySequence(Qt::Key_K),
         .Enabled = onItem(both(videoActive, [](TAbstractItem &i) { return ValidCurrent(i); })),
         .Visible = onItem(videoActive),
         .Execute =
             [this] {
                 rayValid_[0] = rayValid_[1] = false;
                 if (host_.SetMouseMode)
                     host_.SetMouseMode(StereoMode);
             },
         .Slot = &StereoMove},
        {.Name = "ConnectPoint",
         .Hint = QStringLiteral("Присоединить точку. "),
         .Key = QKeySequence(Qt::Key_C),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = enter(ConnectPointMode),
         .Slot = &ConnectPoint},
        {.Name = "DeletePoint",
         .Hint = QStringLiteral("Удалить точку. "),
         .Key = QKeySequence(Qt::Key_D),
         .Enabled = onItem([](TAbstractItem &i) { return i.Points.Count() > i.MinPointCount(); }),
         .Visible = onItem(nullptr),
         .Execute = enter(DeletePointMode),
         .Slot = &DeletePoint},
        {.Name = "RotateEdge",
         .Hint = QStringLiteral("Вращать ребро. "),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_R),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = enter(RotateEdgeMode),
         .Slot = &RotateEdge},
        {.Name = "MoveAll",
         .Hint = QStringLiteral("Переместить объект. "),
         .Key = QKeySequence(Qt::Key_T),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = enter(MoveAllMode),
         .Slot = &MoveAll},
        {.Name = "RotateAll",
         .Hint = QStringLiteral("Вращать объект. "),
         .Key = QKeySequence(Qt::Key_R),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = enter(RotateAllMode),
         .Slot = &RotateAll},
        {.Name = "EdgeLen",
         .Hint = QStringLiteral("Длина ребра"),
         .Key = QKeySequence(Qt::Key_1),
         .Enabled = onItem(edgeExists),
         .Visible = onItem(noControlPoints),
         .Execute = run([this](TAbstractItem &i) { ExecuteEdgeLen(i); }),
         .Slot = &EdgeLen},
        {.Name = "EdgeAngle",
         .Hint = QStringLiteral("Угол ребра"),
         .Key = QKeySequence(Qt::Key_2),
         .Enabled = onItem(edgeExists),
         .Visible = onItem(noControlPoints),
         .Execute = run([this](TAbstractItem &i) { ExecuteEdgeAngle(i); }),
         .Slot = &EdgeAngle},
        // The spline toggle flips the list itself; its button only shows the list's state.
        {.Name = "Spline",
         .Hint = QStringLiteral("Кривой контур"),
         .Enabled = onItem([](TAbstractItem &i) { return i.Points.CanBuildSpline(); }),
         .Visible = onItem(nullptr),
         .Execute = run([this](TAbstractItem &i) {
             i.Points.SetSpline(!i.Points.Spline());
             Refresh();
         }),
         .Slot = &Spline,
         .Down = onItem([](TAbstractItem &i) { return i.Points.Spline(); })},
        {.Name = "DropItems",
         .Hint = QStringLiteral("Разбить объект"),
         .Key = QKeySequence(Qt::Key_Slash),
         .Enabled = onItem([](TAbstractItem &i) { return !i.HasControlPoints() && i.Points.Count() >= 2; }),
         .Visible = onItem(noControlPoints),
         .Execute = enter(DropMode),
         .Slot = &DropItems},
        {.Name = "DropLine",
         .Hint = QStringLiteral("Разделить в выбранной точке"),
         .Key = QKeySequence(Qt::CTRL | Qt::Key_Slash),
         .Enabled = onItem(dropLine),
         .Visible = onItem(both(alone, [](TAbstractItem &i) { return IsLineItem(i); })),
         .Execute = run([this](TAbstractItem &i) { ExecuteDropLine(i); }),
         .Slot = &DropLine},
        {.Name = "LinkItems",
         .Hint = QStringLiteral("Слить объекты"),
         .Key = QKeySequence(Qt::Key_7),
         .Enabled = onItem(linkTwo),
         .Visible = onItem(linkTwo),
         .Execute = run([this](TAbstractItem &) {
             const std::vector<TAbstractItem *> s = SelectedItems();
             s[0]->LinkWith(s[1]);
             Refresh();
         }),
         .Slot = &LinkItems},
        {.Name = "LinkManyLines",
         .Hint = QStringLiteral("Слить непрерывные участки"),
         .Key = QKeySequence(Qt::Key_7),
         .Enabled = onItem(linkMany),
         .Visible = onItem(linkMany),
         .Execute = run([this](TAbstractItem &) { ExecuteLinkMany(); }),
         .Slot = &LinkManyLines},
        {.Name = "DisconnectPoint",
         .Hint = QStringLiteral("Отделить присоединенную точку"),
         .Key = QKeySequence(Qt::Key_Minus),
         .Enabled = onItem(shared),
         .Visible = onItem(nullptr),
         .Execute = run([this](TAbstractItem &i) { Finish(DisconnectCurrentPoint(i)); }),
         .Slot = &DisconnectPoint},
        {.Name = "InvertDirection",
         .Hint = QStringLiteral("Сменить направление"),
         .Key = QKeySequence(Qt::Key_B),
         .Enabled = onItem([](TAbstractItem &i) { return i.Points.Count() >= 2; }),
         .Visible = onItem(typeIn(InvertTypes)),
         .Execute = run([this](TAbstractItem &i) {
             i.Points.Reverse();
             Refresh();
         }),
         .Slot = &InvertDirection},
        {.Name = "ArrangeAngles",
         .Hint = QStringLiteral("Автоматическое выравнивание углов."),
         .Enabled = onItem([](TAbstractItem &i) { return i.Points.Count() > 3; }),
         .Visible = onItem(typeIn(ArrangeTypes)),
         .Execute = run([this](TAbstractItem &i) { Finish(ArrangeItemAngles(i, ArrangeAnglesParameter)); }),
         .Slot = &ArrangeAngles},
        {.Name = "MakePolygon",
         .Hint = QStringLiteral("Построение многоугольника"),
         .Enabled = onItem([](TAbstractItem &i) { return ValidCurrent(i); }),
         .Visible = onItem(both(alone, noControlPoints)),
         .Execute = run([this](TAbstractItem &i) { ExecuteMakePolygon(i); }),
         .Slot = &MakePolygon},
        {.Name = "Scale",
         .Hint = QStringLiteral("Масштабировать."),
         .Key = QKeySequence(Qt::Key_8),
         .Enabled = onItem(hasPoint),
         .Visible = onItem(nullptr),
         .Execute = run([this](TAbstractItem &i) { ExecuteScale(i); }),
         .Slot = &Scale},
    };
    MakeActionsFromRows(this, Category, rows);
}

// ---- Modes

TMouseEvents *TPointsEditorModule::MakeMode(const char *name, int cursor, const QString &description) {
    auto *mode = new TMouseEvents(this);
    mode->setObjectName(QString::fromLatin1(name));
    mode->Cursor = cursor;
    mode->Description = description;
    mode->OnCheckContext = [this](TMouseEvents *, bool &valid) { valid = EditedItem() != nullptr; };
    mode->OnDestroy = [this](TMouseEvents *self) {
        if (host_.MouseMode && host_.SetMouseMode && host_.MouseMode() == self)
            host_.SetMouseMode(nullptr);
    };
    return mode;
}

void TPointsEditorModule::MakeModes() {
    auto on = [this](void (TPointsEditorModule::*handler)(const TMouseEventArgs &)) {
        return [this, handler](TMouseEvents *, const TMouseEventArgs &e) { (this->*handler)(e); };
    };
    auto selects = [this](TMouseEvents *, const TMouseEventArgs &e) { RightSelects(e); };
    AddPointMode = MakeMode("AddPointMode", AddPointCursor, QStringLiteral("Добавение точек"));
    AddPointMode->OnMouseDown = on(&TPointsEditorModule::AddDown);
    AddPointMode->OnMouseMove = on(&TPointsEditorModule::AddMove);
    MovePointMode = MakeMode("MovePointMode", MovePointCursor, QStringLiteral("Сдвиг точек"));
    MovePointMode->OnMouseDown = selects;
    MovePointMode->OnMouseMove = on(&TPointsEditorModule::MoveMove);
    ConnectPointMode =
        MakeMode("ConnectPointMode", ConnectPointCursor, QStringLiteral("Присоединение точек"));
    ConnectPointMode->OnMouseDown = on(&TPointsEditorModule::ConnectDown);
    ConnectPointMode->OnMouseMove = on(&TPointsEditorModule::ConnectMove);
    DeletePointMode = MakeMode("DeletePointMode", DeletePointCursor, QStringLiteral("Удаение точек"));
    DeletePointMode->OnMouseDown = on(&TPointsEditorModule::DeleteDown);
    RotateEdgeMode = MakeMode("RotateEdgeMode", RotateEdgeCursor, QStringLiteral("Вращение ребра"));
    RotateEdgeMode->OnMouseDown = selects;
    RotateEdgeMode->OnMouseMove = on(&TPointsEditorModule::RotateEdgeMove);
    MoveAllMode = MakeMode("MoveAllMode", MoveAllCursor, QStringLiteral("Сдвиг объекта"));
    MoveAllMode->OnMouseDown = on(&TPointsEditorModule::MoveAllDown);
    MoveAllMode->OnMouseMove = on(&TPointsEditorModule::MoveAllMove);
    RotateAllMode = MakeMode("RotateAllMode", RotateAllCursor, QStringLiteral("Вращение объекта"));
    RotateAllMode->OnMouseDown = on(&TPointsEditorModule::RotateAllDown);
    RotateAllMode->OnMouseMove = on(&TPointsEditorModule::RotateAllMove);
    RotateAllMode->OnMouseUp = [this](TMouseEvents *, const TMouseEventArgs &) { rotating_ = false; };
    DropMode = MakeMode("DropMode", DropCursor, QStringLiteral("Деление объекта"));
    DropMode->OnMouseDown = on(&TPointsEditorModule::DropDown);
    DropMode->OnMouseMove = on(&TPointsEditorModule::DropMove);
    DropMode->OnMouseUp = on(&TPointsEditorModule::DropUp);
    // The stereo mode keeps the view's own (cross) cursor.
    StereoMode = MakeMode("StereoMode", NoCursor, QString());
    StereoMode->OnCheckContext = [this](TMouseEvents *, bool &valid) {
        TAbstractItem *item = EditedItem();
        valid = host_.VideoActive && host_.VideoActive() && item != nullptr && ValidCurrent(*item);
    };
    StereoMode->OnMouseMove = [this](TMouseEvents *, const TMouseEventArgs &e) { StereoEvent(e, false); };
    StereoMode->OnMouseUp = [this](TMouseEvents *, const TMouseEventArgs &e) { StereoEvent(e, true); };
}

bool TPointsEditorModule::RightSelects(const TMouseEventArgs &e) {
    if (e.Button != Qt::RightButton)
        return false;
    SelectNearestPoint(e.X, e.Y);
    return true;
}

void TPointsEditorModule::AddDown(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || RightSelects(e) || e.Button != Qt::LeftButton)
        return;
    const bool ctrl = e.Modifiers == Qt::ControlModifier;
    Finish(::AddPoint(*item, Ground(e.X, e.Y), ctrl));
}

void TPointsEditorModule::AddMove(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item != nullptr && (e.Buttons & Qt::LeftButton))
        Finish(MoveCurrentPoint(*item, Ground(e.X, e.Y)), true);
}

void TPointsEditorModule::MoveMove(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item != nullptr && OnlyLeft(e))
        Finish(MoveCurrentPoint(*item, Ground(e.X, e.Y)), true);
}

void TPointsEditorModule::DeleteDown(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || RightSelects(e) || e.Button != Qt::LeftButton)
        return;
    if (e.Modifiers == Qt::NoModifier)
        Finish(DeleteCurrentPoint(*item));
    else if (e.Modifiers == Qt::ControlModifier)
        ExecuteDeleteEverywhere(*item);
}

void TPointsEditorModule::ExecuteDeleteEverywhere(TAbstractItem &item) {
    Finish(DeleteCurrentPointEverywhere(item, [](int count) {
        return UserPrompts().Ask(
                   TPromptKind::Confirmation,
                   QStringLiteral("Без этой точки объектов в количестве %1 штук останется меньше "
                                  "допустимого числа точек. Удалить эти объекты?")
                       .arg(count),
                   TPromptButtons::YesNo) == TPromptAnswer::Yes;
    }));
}

void TPointsEditorModule::ConnectMove(const TMouseEventArgs &e) {
    if (std::abs(e.X - lastPixel_.x()) > CandidateStepPixels ||
        std::abs(e.Y - lastPixel_.y()) > CandidateStepPixels) {
        lastPixel_ = QPoint(e.X, e.Y);
        moved_ = true;
        Refresh();
    }
    if (e.Buttons & Qt::LeftButton)
        ConnectDown({Qt::NoButton, e.Buttons, e.Modifiers, e.X, e.Y});
}

void TPointsEditorModule::ConnectDown(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || RightSelects(e) || !(e.Buttons & Qt::LeftButton) || !ValidCurrent(*item))
        return;
    const bool shift = e.Modifiers.testFlag(Qt::ShiftModifier);
    if (shift && !AllowSuperConnect) {
        // Said once, at the press; the moves that follow stay quiet.
        if (e.Button == Qt::LeftButton)
            UserPrompts().ShowMessage(TPromptKind::Error, QString::fromUtf8(SuperConnectRefused));
        return;
    }
    bool ctrl = e.Modifiers.testFlag(Qt::ControlModifier);
    if (item->Points.Count() >= item->MaxPointCount())
        ctrl = false;
    TStreetStructure *street = item->Street();
    const TXYZ pointer = Ground(e.X, e.Y);
    TXYZ snapped = pointer;
    const TItemTypeSet types = host_.VisibleTypes ? host_.VisibleTypes() : FullTypeSet();
    const int32_t id = street->Pool().FindNearest(snapped, types);
    TStreetPointRec *target = id > 0 ? street->Pool().FindById(id) : nullptr;
    if (target == nullptr || item->Points.IndexOfRec(target) >= 0)
        return;
    const double dx = double(target->X()) - pointer.x, dy = double(target->Y()) - pointer.y;
    if (std::hypot(dx, dy) > SnapPixels * PixelSize(e.X, e.Y))
        return;
    const TConnectKind kind = shift  ? TConnectKind::Relink
                              : ctrl ? TConnectKind::Insert
                                     : TConnectKind::Replace;
    Finish(ConnectCurrentPoint(*item, target, kind), e.Button != Qt::LeftButton);
}

void TPointsEditorModule::UpdateConnectCandidates() {
    if (!moved_)
        return;
    moved_ = false;
    candidates_.clear();
    TStreetStructure *street = host_.Street ? host_.Street() : nullptr;
    if (street == nullptr)
        return;
    const TItemTypeSet types = host_.VisibleTypes ? host_.VisibleTypes() : FullTypeSet();
    const double radius = CandidateRadiusPixels * PixelSize(lastPixel_.x(), lastPixel_.y());
    candidates_ = street->Pool().CollectWithin(Ground(lastPixel_.x(), lastPixel_.y()), types, radius);
}

void TPointsEditorModule::RotateEdgeMove(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || !OnlyLeft(e) || CurrentEdgeEnd(*item) < 0)
        return;
    const TXYZ c = item->Points.GetPoint(item->Points.CurrentIndex);
    const TXYZ p = Ground(e.X, e.Y);
    SetCurrentEdgeAngle(*item, VectorAngle(VectorFromTo(c, p)));
    if (const auto *oriented = dynamic_cast<TOrientPointItem *>(item)) {
        const float angle = oriented->GetAngle();
        for (TAbstractItem *other : SelectedItems())
            if (auto *o = dynamic_cast<TOrientPointItem *>(other); o != nullptr && o != oriented)
                o->SetAngle(angle);
    }
    Refresh();
}

void TPointsEditorModule::MoveAllDown(const TMouseEventArgs &e) {
    if (RightSelects(e) || e.Button != Qt::LeftButton)
        return;
    const TXYZ p = Ground(e.X, e.Y);
    for (TAbstractItem *item : SelectedItems())
        item->Points.StoreRelative(p);
}

void TPointsEditorModule::MoveAllMove(const TMouseEventArgs &e) {
    if (!OnlyLeft(e) || EditedItem() == nullptr)
        return;
    const std::vector<TAbstractItem *> items = SelectedItems();
    MoveItemsRelative(items, Ground(e.X, e.Y));
    Refresh();
}

void TPointsEditorModule::RotateAllDown(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || RightSelects(e) || e.Button != Qt::LeftButton)
        return;
    if (!ValidCurrent(*item)) {
        UserPrompts().ShowMessage(TPromptKind::Information, QString::fromUtf8(RotateNeedsPoint));
        return;
    }
    rotateCentre_ = item->Points.GetPoint(item->Points.CurrentIndex);
    startAngle_ = VectorAngle(VectorFromTo(rotateCentre_, Ground(e.X, e.Y)));
    rotating_ = true;
    for (TAbstractItem *i : SelectedItems())
        i->Points.StoreRelative(rotateCentre_);
}

void TPointsEditorModule::RotateAllMove(const TMouseEventArgs &e) {
    if (!rotating_ || EditedItem() == nullptr)
        return;
    const float a = VectorAngle(VectorFromTo(rotateCentre_, Ground(e.X, e.Y))) - startAngle_;
    if (OnlyLeft(e)) {
        const std::vector<TAbstractItem *> items = SelectedItems();
        RotateItemsRelative(items, rotateCentre_, a);
        Refresh();
    }
}

void TPointsEditorModule::DropDown(const TMouseEventArgs &e) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr)
        return;
    if (e.Button == Qt::RightButton && e.Buttons == Qt::RightButton) {
        SelectNearestPoint(e.X, e.Y);
        return;
    }
    if (e.Button != Qt::LeftButton)
        return;
    if (e.Modifiers == Qt::ControlModifier) {
        if (!item->IsClosed() || !ValidCurrent(*item))
            return;
        const int remembered = item->Points.CurrentIndex;
        SelectNearestPoint(e.X, e.Y);
        if (SplitAlongChord(*item, remembered, item->Points.CurrentIndex) != nullptr)
            Refresh();
        return;
    }
    cutFrom_ = cutTo_ = Ground(e.X, e.Y);
    dragging_ = true;
    Refresh();
}

void TPointsEditorModule::DropMove(const TMouseEventArgs &e) {
    if (!dragging_ || !OnlyLeft(e))
        return;
    cutTo_ = Ground(e.X, e.Y);
    Refresh();
}

void TPointsEditorModule::DropUp(const TMouseEventArgs &) {
    if (!dragging_)
        return;
    dragging_ = false;
    for (TAbstractItem *item : SelectedItems())
        if (!item->HasControlPoints())
            CutItem(*item, cutFrom_, cutTo_);
    Refresh();
}

bool TPointsEditorModule::CutLine(TXYZ &from, TXYZ &to) const {
    if (!dragging_)
        return false;
    from = cutFrom_;
    to = cutTo_;
    return true;
}

void TPointsEditorModule::StereoEvent(const TMouseEventArgs &e, bool release) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || !host_.PixelRay)
        return;
    const bool right = release ? e.Button == Qt::RightButton : e.Buttons == Qt::RightButton;
    const bool left = release ? e.Button == Qt::LeftButton : e.Buttons == Qt::LeftButton;
    if (right) {
        if (host_.PixelRay(e.X, e.Y, rays_[0][0], rays_[0][1])) {
            rayValid_[0] = true;
            rayValid_[1] = false;
        }
        Refresh();
        return;
    }
    if (!left || !rayValid_[0] || !host_.PixelRay(e.X, e.Y, rays_[1][0], rays_[1][1]))
        return;
    rayValid_[1] = true;
    TXYZ onFirst, onSecond;
    if (ClosestPointsOfLines(rays_[0][0], rays_[0][1], rays_[1][0], rays_[1][1], onFirst, onSecond)) {
        onFirst.z = 0;
        MoveCurrentPoint(*item, onFirst);
    }
    Refresh();
}

bool TPointsEditorModule::StereoRay(int which, TXYZ &nearPoint, TXYZ &farPoint) const {
    if (which < 0 || which > 1 || !rayValid_[which])
        return false;
    nearPoint = rays_[which][0];
    farPoint = rays_[which][1];
    return true;
}

// ---- Commands

void TPointsEditorModule::ExecuteEdgeLen(TAbstractItem &item) {
    double value = 0;
    if (EditExactValue(QStringLiteral("Длина ребра"), PopupPosition(),
                       item.Points.EdgeLength(item.Points.CurrentIndex), true, value))
        Finish(SetCurrentEdgeLength(item, float(value)));
}

void TPointsEditorModule::ExecuteEdgeAngle(TAbstractItem &item) {
    const double degrees = double(item.Points.EdgeAngle(item.Points.CurrentIndex)) * 180 / std::numbers::pi;
    double value = 0;
    if (EditExactValue(QStringLiteral("Угол ребра"), PopupPosition(), degrees, false, value))
        Finish(SetCurrentEdgeAngle(item, float(value * std::numbers::pi / 180)));
}

void TPointsEditorModule::ExecuteCoordinate(int axis, const QString &caption) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || !ValidCurrent(*item))
        return;
    const TXYZ p = item->Points.GetPoint(item->Points.CurrentIndex);
    const float now = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
    double value = 0;
    if (EditExactValue(caption, PopupPosition(), now, true, value))
        Finish(SetCurrentCoordinate(*item, axis, float(value)));
}

void TPointsEditorModule::ExecuteDropLine(TAbstractItem &item) {
    QString why;
    if (SplitOpenItem(item, item.Points.CurrentIndex, &why) != nullptr)
        Refresh();
    else if (!why.isEmpty())
        UserPrompts().ShowMessage(TPromptKind::Warning, why);
}

void TPointsEditorModule::ExecuteLinkMany() {
    std::vector<TAbstractItem *> items = SelectedItems();
    LinkManyItems(items);
    Refresh();
}

void TPointsEditorModule::ExecuteMakePolygon(TAbstractItem &item) {
    TRegularPolygonParams params;
    if (!TMakePolygonForm::Ask(params))
        return;
    QString why;
    if (!MakeRegularPolygon(item, params, &why).empty())
        Refresh();
    else if (!why.isEmpty())
        UserPrompts().ShowMessage(TPromptKind::Warning, why);
}

void TPointsEditorModule::ExecuteScale(TAbstractItem &item) {
    if (!ValidCurrent(item)) {
        UserPrompts().ShowMessage(TPromptKind::Error, QString::fromUtf8(ScaleNeedsPoint));
        return;
    }
    double factor = 1.0;
    if (!EditExactValue(QStringLiteral("масштаб"), PopupPosition(), 1.0, false, factor))
        return;
    const TXYZ centre = item.Points.GetPoint(item.Points.CurrentIndex);
    const std::vector<TAbstractItem *> items = SelectedItems();
    for (TAbstractItem *i : items)
        i->Points.StoreRelative(centre);
    Finish(ScaleItemsRelative(items, centre, float(factor)));
}

// ---- Info lines

void TPointsEditorModule::MakeInfoLines() {
    const QColor blue = QColor(Qt::blue), black = QColor(Qt::black);
    auto edited = [this] { return EditedItem(); };
    const QString exotic = QStringLiteral("Экзотика");
    auto currentValid = [edited] {
        TAbstractItem *i = edited();
        return i != nullptr && ValidCurrent(*i);
    };
    auto coordinate = [edited](int axis) {
        return [edited, axis](TInfoStringAction &) {
            TAbstractItem *i = edited();
            if (i == nullptr || !ValidCurrent(*i))
                return QString();
            const TXYZ p = i->Points.GetPoint(i->Points.CurrentIndex);
            return Fixed(axis == 0 ? p.x : axis == 1 ? p.y : p.z);
        };
    };
    auto editCoordinate = [this](int axis, const QString &caption) {
        return [this, axis, caption] { ExecuteCoordinate(axis, caption); };
    };
    // Latitude and longitude of the current vertex through the street's origin; nothing without one.
    auto geodetic = [this, edited](double &lat, double &lon) {
        TAbstractItem *i = edited();
        TStreetStructure *street = host_.Street ? host_.Street() : nullptr;
        if (i == nullptr || street == nullptr || !ValidCurrent(*i))
            return false;
        const TEcefMapRec &origin = street->StoredEcefMap();
        if (origin.X == 0 && origin.Y == 0 && origin.Z == 0)
            return false;
        try {
            const TLocalConverter converter({origin.X, origin.Y, origin.Z, 0, 0, 0, 0, 1});
            const TXYZ p = i->Points.GetPoint(i->Points.CurrentIndex);
            const TXYZ_Dbl e = converter.LocalToEcef(p.x, p.y, p.z);
            double h = 0;
            EcefToGeodetic(lat, lon, h, e.x, e.y, e.z);
            lat *= 180 / std::numbers::pi;
            lon *= 180 / std::numbers::pi;
            return std::isfinite(lat) && std::isfinite(lon);
        } catch (const std::exception &) {
            // An origin no converter can stand on (the Earth's axis, not numbers) gives no position.
            return false;
        }
    };
    auto geodeticKnown = [geodetic] {
        double lat = 0, lon = 0;
        return geodetic(lat, lon);
    };
    auto degrees = [geodetic](bool latitude) {
        return [geodetic, latitude](TInfoStringAction &) {
            double lat = 0, lon = 0;
            return geodetic(lat, lon) ? QString::asprintf("%3.8f", latitude ? lat : lon) : QString();
        };
    };

    const TInfoRow rows[] = {
        {.Name = "EdgeLenInfo",
         .Caption = QStringLiteral("Длина ребра"),
         .Category = InfoCategory,
         .Text = blue,
         .Valid =
             [edited] {
                 TAbstractItem *i = edited();
                 return i != nullptr && !i->HasControlPoints() && CurrentEdgeEnd(*i) >= 0;
             },
         .Value =
             [edited](TInfoStringAction &) {
                 TAbstractItem *i = edited();
                 return i != nullptr && CurrentEdgeEnd(*i) >= 0
                            ? Fixed(i->Points.EdgeLength(i->Points.CurrentIndex))
                            : QString();
             },
         .Click = [this] { EdgeLen->Click(); },
         .Slot = &EdgeLenInfo},
        {.Name = "ContourLenInfo",
         .Caption = QStringLiteral("Длина контура"),
         .Category = InfoCategory,
         .Text = blue,
         .Valid =
             [this, edited] {
                 TAbstractItem *i = edited();
                 if (i == nullptr || SelectedItems().size() != 1 || i->HasControlPoints())
                     return false;
                 i->Points.EnsureGeometry();
                 return i->Points.Lengths().size() >= 2;
             },
         .Value =
             [edited](TInfoStringAction &) {
                 TAbstractItem *i = edited();
                 return i != nullptr ? Fixed(i->Points.DenseLength()) : QString();
             },
         .Slot = &ContourLenInfo},
        {.Name = "AllLengthInfo",
         .Caption = QStringLiteral("Длина общая"),
         .Category = InfoCategory,
         .Text = blue,
         .Valid =
             [this] {
                 const std::vector<TAbstractItem *> s = SelectedItems();
                 return s.size() > 1 && !s[0]->HasControlPoints() && AllOfOneType(s);
             },
         .Value =
             [this](TInfoStringAction &) {
                 double sum = 0;
                 for (TAbstractItem *i : SelectedItems())
                     sum += i->Points.DenseLength();
                 return Fixed(sum);
             },
         .Slot = &AllLengthInfo},
        {.Name = "PntCoordInfoX",
         .Caption = QStringLiteral("Коорд. абс. X"),
         .Category = exotic,
         .Text = black,
         .Valid = currentValid,
         .Value = coordinate(0),
         .Click = editCoordinate(0, QStringLiteral("Коорд. абс. X")),
         .Slot = &PntCoordInfoX},
        {.Name = "PntCoordInfoY",
         .Caption = QStringLiteral("Коорд. абс. Y"),
         .Category = exotic,
         .Text = black,
         .Valid = currentValid,
         .Value = coordinate(1),
         .Click = editCoordinate(1, QStringLiteral("Коорд. абс. Y")),
         .Slot = &PntCoordInfoY},
        {.Name = "PntCoordInfoZ",
         .Caption = QStringLiteral("Коорд. абс. Z"),
         .Category = exotic,
         .Text = black,
         .Valid = currentValid,
         .Value = coordinate(2),
         .Click = editCoordinate(2, QStringLiteral("Коорд. абс. Z")),
         .Slot = &PntCoordInfoZ},
        {.Name = "SelectedIndex",
         .Caption = QStringLiteral("SelectedIndex"),
         .Category = QStringLiteral("Технические"),
         .Text = QColor(Qt::white),
         .Back = black,
         .Valid = [edited] { return edited() != nullptr; },
         .Value =
             [edited](TInfoStringAction &) {
                 TAbstractItem *i = edited();
                 return i != nullptr ? QString::number(i->Points.CurrentIndex) : QString();
             },
         .Slot = &SelectedIndex},
        {.Name = "WGS84Lat",
         .Caption = QStringLiteral("Lat.(широта)"),
         .Category = exotic,
         .Text = black,
         .Valid = geodeticKnown,
         .Value = degrees(true),
         .Slot = &WGS84Lat},
        {.Name = "WGS84Lon",
         .Caption = QStringLiteral("Lon.(долгота)"),
         .Category = exotic,
         .Text = black,
         .Valid = geodeticKnown,
         .Value = degrees(false),
         .Slot = &WGS84Lon},
    };
    MakeInfoLinesFromRows(this, rows);
}

// ---- Overlays

namespace {

// Pixel-sized drawing over the plan between the two calls.
class TScreenOverlay {
public:
    explicit TScreenOverlay(const TDxDrawParams &params) : params_(params) {
        params.Renderer->PushMatrices();
        DxOverlayBeginScreen(params);
        DxOverlayColor = Red;
    }
    ~TScreenOverlay() {
        DxOverlayFlush(params_);
        params_.Renderer->PopMatrices();
    }
    TScreenOverlay(const TScreenOverlay &) = delete;
    TScreenOverlay &operator=(const TScreenOverlay &) = delete;

private:
    const TDxDrawParams &params_;
};

} // namespace

void TPointsEditorModule::DrawVertexOverlay(const TDxDrawParams &params) {
    TAbstractItem *item = EditedItem();
    if (item == nullptr || params.Renderer == nullptr)
        return;
    TPointList &list = item->Points;
    {
        TScreenOverlay overlay(params);
        for (const TXYZ &p : list.GetPoints())
            DxOverlayDrawSquare(params, p, true, 2);
        if (!item->HasControlPoints()) {
            list.EnsureGeometry();
            TXYZArray dense = list.Dense();
            if (item->IsClosed() && !dense.empty())
                dense.push_back(dense.front());
            DxOverlayDrawPolyline(params, dense, 0.5f);
        }
        if (ValidCurrent(*item)) {
            const TXYZ c = list.GetPoint(list.CurrentIndex);
            // One square per list using the vertex: their number shows how many items share it.
            const int users = SharingListCount(*list.PointRec(list.CurrentIndex));
            for (int k = 0; k < users; ++k)
                DxOverlayDrawSquare(params, c, false, float(3 * k + 5));
            if (const int j = CurrentEdgeEnd(*item); j >= 0 && !item->HasControlPoints())
                DxOverlayDrawSegment(params, c, list.GetPoint(j), 2.5f);
        }
    }
    // In the plan's own space, so that the video view shows it standing on the ground.
    if (ValidCurrent(*item)) {
        const TXYZ c = list.GetPoint(list.CurrentIndex);
        const TXYZ mast[2] = {{c.x, c.y, -2}, {c.x, c.y, 2}};
        params.Renderer->DrawLines(mast, Red);
    }
}

void TPointsEditorModule::DrawCutLine(const TDxDrawParams &params) {
    TXYZ a, b;
    if (params.Renderer == nullptr || !CutLine(a, b) || !host_.MouseMode || host_.MouseMode() != DropMode)
        return;
    const TXYZ line[2] = {a, b};
    params.Renderer->DrawLines(line, Red);
}

void TPointsEditorModule::DrawCandidates(const TDxDrawParams &params) {
    if (params.Renderer == nullptr || !host_.MouseMode || host_.MouseMode() != ConnectPointMode)
        return;
    UpdateConnectCandidates();
    TScreenOverlay overlay(params);
    for (const TXYZ &p : candidates_) {
        DxOverlayDrawSquare(params, p, false, 3);
        DxOverlayDrawCross(params, p, 6);
    }
}

void TPointsEditorModule::DrawStereoRays(const TDxDrawParams &params) {
    if (params.Renderer == nullptr || !host_.MouseMode || host_.MouseMode() != StereoMode)
        return;
    if (rayValid_[1]) {
        const TXYZ ray[2] = {rays_[1][0], rays_[1][1]};
        params.Renderer->DrawLines(ray, Red);
    }
    if (rayValid_[0]) {
        const TXYZ ray[2] = {rays_[0][0], rays_[0][1]};
        params.Renderer->DrawLines(ray, Green);
    }
}

void RegisterPointsEditor() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterStartUpObject(TStartUpSlot::PointEditor, [](TMainForm &form) -> std::unique_ptr<QObject> {
        return std::make_unique<TPointsEditorModule>(form);
    });
}
