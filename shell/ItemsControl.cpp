#include "shell/ItemsControl.h"

#include "engine/Cp1251Qt.h"
#include "engine/DataFiles.h"
#include "engine/DxOverlay.h"
#include "engine/DxTexture.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/AxisSpan.h"
#include "model/ItemConversion.h"
#include "model/ItemList.h"
#include "model/ItemSetRules.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "shell/InfoStringActions.h"
#include "shell/MainForm.h"
#include "shell/MainPlan.h"
#include "shell/ModuleRows.h"
#include "shell/PointEditOps.h"
#include "shell/PointsEditor.h"
#include "shell/ReportTable.h"
#include "shell/StartUp.h"
#include "shell/StreetTableForm.h"
#include "shell/StreetsHolder.h"
#include "shell/TagSetEditorForm.h"
#include "shell/TblToGeometryForm.h"
#include "shell/UserPrompts.h"

#include <QColor>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace {

const QString Category = QStringLiteral("Управление объектами");
const Cp1251String Section("ItemsControl");

TItemsControlModule *&InstanceSlot() {
    static TItemsControlModule *instance = nullptr;
    return instance;
}

QString DisplayName(int code) {
    return ToQString(ItemTypeDisplayName(code));
}

TItemTypeSet AllTypeCodes() {
    TItemTypeSet s;
    for (int c = 0; c < ItemTypeCount; ++c)
        s.Include(c);
    return s;
}

TItemTypeSet CreatableTypes() {
    TItemTypeSet s = AllTypeCodes();
    for (int c : {HouseTypeCode, RoadWallTypeCode, PictureTypeCode})
        s.Exclude(c);
    return s;
}

const QString MixedConversion =
    QStringLiteral("Преобразование типов: исходная выборка должна содержать объекты одного типа.");

} // namespace

const TItemTypeSet TItemsControlModule::PolygonPickTypes{
    RazdPolTypeCode, RoadWayTypeCode,      TrotuarTypeCode,  GazonTypeCode,    ObochTypeCode,
    HouseTypeCode,   DesignFigureTypeCode, OstrovokTypeCode, CalcAreaTypeCode, SqDefectTypeCode};
const TItemTypeSet TItemsControlModule::LinePickTypes{
    BortTypeCode,    RoadWallTypeCode,   LineRazmetTypeCode,    RazmetStopTypeCode,  ZebraTypeCode,
    TramWayTypeCode, DesignLineTypeCode, ArcCoordsTypeCode,     RazmerTypeCode,      RazmetLabelPlaceTypeCode,
    AxisTypeCode,    LnDefectTypeCode,   RadiusMeasureTypeCode, SlopeMeasureTypeCode};
const TItemTypeSet TItemsControlModule::PointPickTypes{
    ArrowRazmetTypeCode, RazmetTextTypeCode, RazmetZnakTypeCode, PictureTypeCode,
    DesignBlockTypeCode, TextLabelTypeCode,  ZnakTypeCode,       RoadSignTypeCode,
    KMSignTypeCode,      RulerTypeCode,      KolodTypeCode,      ReshetTypeCode,
    SvetoforTypeCode,    StopTypeCode,       KernTypeCode,       PlanDefineTypeCode};
const TItemTypeSet TItemsControlModule::NotCreatable{HouseTypeCode, RoadWallTypeCode, PictureTypeCode};

TItemsControlHost ItemsControlHostOf(TMainForm &form) {
    TItemsControlHost host;
    host.Street = [&form]() -> TStreetStructure * { return form.Holder().FindActiveStreet(); };
    host.ScreenToGround = [&form](int x, int y) { return form.MainPlanDrawer().ScreenToGround(x, y); };
    host.ViewSize = [&form](int &w, int &h) { return form.MainPlanDrawer().GetViewSize(w, h); };
    host.VisibleLayers = [&form] { return form.VisibleLayers(); };
    host.SetVisibleLayers = [&form](const TItemTypeSet &s) { form.SetVisibleLayers(s); };
    host.Refresh = [&form] { form.RefreshAll(); };
    host.MouseMode = [&form] { return form.MouseMode(); };
    host.SetMouseMode = [&form](TMouseEvents *m) { form.SetMouseMode(m); };
    host.ShowAt = [&form](const TXYZ &p) {
        form.MainPlanDrawer().SetCenter(p);
        form.ShowPlan();
    };
    host.WindowParent = [&form]() -> QWidget * { return &form; };
    host.ActivateStreet = [&form](uint64_t serial) -> TStreetStructure * {
        TStreetsHolderModule &holder = form.Holder();
        for (int i = 0; i < holder.Count(); ++i)
            if (holder.Streets(i).Serial() == serial) {
                if (holder.ActiveIndex() != i)
                    holder.SetActiveIndex(i);
                return &holder.Streets(i);
            }
        return nullptr;
    };
    host.RaiseMainWindow = [&form] {
        form.show();
        form.raise();
        form.activateWindow();
    };
    host.AddClipMenuAction = [&form](QAction *a) {
        if (QMenu *menu = form.MenuNamed(QStringLiteral("ClipMI")))
            menu->addAction(a);
    };
    host.DrawListeners = &form.DrawListeners;
    host.UpdateListeners = &form.UpdateListeners;
    return host;
}

void RegisterItemsControl() {
    static const bool done = [] {
        RegisterStartUpObject(TStartUpSlot::ItemsControl,
                              [](TMainForm &form) { return std::make_unique<TItemsControlModule>(form); });
        return true;
    }();
    (void)done;
}

TItemsControlModule *TItemsControlModule::Instance() {
    return InstanceSlot();
}

TItemsControlModule::TItemsControlModule(TMainForm &form, QObject *parent)
    : TItemsControlModule(ItemsControlHostOf(form), parent) {}

TItemsControlModule::TItemsControlModule(TItemsControlHost host, QObject *parent)
    : TQk2RootDatamodule(parent), host_(std::move(host)) {
    setObjectName(QStringLiteral("ItemsControl"));
    FindItemMode = new TMouseEvents(this);
    FindItemMode->setObjectName(QStringLiteral("FindItemMode"));
    FindItemMode->Description = QStringLiteral("Выбор объектов");
    FindItemMode->OnMouseDown = [this](TMouseEvents *, const TMouseEventArgs &e) { MouseDown(e); };
    FindItemMode->OnMouseMove = [this](TMouseEvents *, const TMouseEventArgs &e) { MouseMove(e); };
    FindItemMode->OnMouseUp = [this](TMouseEvents *, const TMouseEventArgs &e) { MouseUp(e); };

    auto selectOn = [this] { return selectActionsEnabled_; };
    auto count = [this] { return static_cast<int>(Selection().size()); };
    auto some = [count] { return count() > 0; };
    auto never = [] { return false; };
    auto canCopy = [this] {
        const TAbstractItem *c = CurrentItem();
        return c && c->Points.Count() > 0;
    };
    auto mixed = [this] {
        const std::vector<TAbstractItem *> sel = Selection();
        return sel.size() > 1 && !AllOfOneType(sel);
    };
    auto canPaste = [this] { return !BufferEmpty() && Street() != nullptr; };

    const TActionRow actions[] = {
        {.Name = "VisibleLayers",
         .Hint = QStringLiteral("Отображаемые слои"),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute =
             [this] {
                 TItemTypeSet layers = Visible();
                 if (UserPrompts().EditTypeSet(QStringLiteral("Отображаемые слои"), AllTypeCodes(), layers) &&
                     host_.SetVisibleLayers)
                     host_.SetVisibleLayers(layers);
                 Refresh();
             },
         .Slot = &VisibleLayersAction,
         .MouseUp =
             [this](TFloatingAction *, const TMouseEventArgs &e) {
                 if (e.Button != Qt::RightButton || e.Modifiers != Qt::NoModifier)
                     return;
                 TItemTypeSet preset;
                 if (TTagSetEditorForm::PopupPresets(Visible(), preset) && host_.SetVisibleLayers) {
                     host_.SetVisibleLayers(preset);
                     Refresh();
                 }
             }},
        {.Name = "SelectPolygon",
         .Hint = QStringLiteral("Выбор площадных объектов. "),
         .Key = QKeySequence(Qt::Key_S),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute = [this] { StartPicking(PolygonPickTypes, PickPolygonCursor); },
         .Slot = &SelectPolygon},
        {.Name = "SelectLine",
         .Hint = QStringLiteral("Выбор линейных объектов. "),
         .Key = QKeySequence(Qt::Key_L),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute = [this] { StartPicking(LinePickTypes, PickLineCursor); },
         .Slot = &SelectLine},
        {.Name = "SelectPoint",
         .Hint = QStringLiteral("Выбор точечных объектов. "),
         .Key = QKeySequence(Qt::Key_P),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute = [this] { StartPicking(PointPickTypes, PickPointCursor); },
         .Slot = &SelectPoint},
        {.Name = "SelectAny",
         .Hint = QStringLiteral("Выбор из произвольного набора слоев"),
         .Key = QKeySequence(Qt::Key_F),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute = [this] { StartPicking(Visible(), PickAnyCursor); },
         .Slot = &SelectAny},
        {.Name = "SelectSpecial",
         .Hint = QStringLiteral("Выбор объектов заданного типа"),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute =
             [this] {
                 const int code = PopupTypeMenu(true);
                 if (code >= 0)
                     StartPicking({code}, PickOfTypeCursor);
             },
         .Slot = &SelectSpecial},
        {.Name = "SelectAll",
         .Hint = QStringLiteral("Выбрать все объекты данного типа"),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute =
             [this] {
                 const int code = PopupTypeMenu(true);
                 TStreetStructure *s = Street();
                 if (code < 0 || !s)
                     return;
                 s->Selection().Clear();
                 for (const auto &item : s->Lists(code))
                     if (item->Active)
                         s->Selection().AddItem(item.get());
                 Refresh();
             },
         .Slot = &SelectAll},
        {.Name = "FilterSelection",
         .Hint = QStringLiteral("Фильтровать выбранное"),
         .Enabled = mixed,
         .Visible = mixed,
         .Execute =
             [this] {
                 TStreetStructure *s = Street();
                 if (!s)
                     return;
                 TItemTypeSet types;
                 for (TAbstractItem *i : Selection())
                     types.Include(i->GetTypeCode());
                 TItemTypeSet keep = types;
                 if (!UserPrompts().EditTypeSet(QStringLiteral("Оставить в выборке типы: "), types, keep))
                     return;
                 for (TAbstractItem *i : Selection())
                     if (!keep.Contains(i->GetTypeCode()))
                         s->Selection().Remove(i);
                 Refresh();
             },
         .Slot = &FilterSelection},
        {.Name = "UniReport",
         .Hint = QStringLiteral("Унифицированная таблица"),
         .Enabled = some,
         .Visible = some,
         .Execute =
             [this] {
                 if (TStreetStructure *s = Street())
                     TStreetTableForm::ShowStreetTable(QStringLiteral("Унифицированная таблица"),
                                                       MakeUnifiedTable(Selection()), *s,
                                                       host_.WindowParent ? host_.WindowParent() : nullptr);
             },
         .Slot = &UniReport},
        {.Name = "RubricReport",
         .Hint = QStringLiteral("Таблица по рубрике"),
         .Enabled = never,
         .Visible = never,
         .Slot = &RubricReport},
        {.Name = "ClearSelection",
         .Hint = QStringLiteral("Очистить выборку. "),
         .Key = QKeySequence(Qt::Key_Escape),
         .Enabled = some,
         .Execute = [this] { ClearSelection(); },
         .Slot = &ClearSelectionAction},
        {.Name = "CreateItem",
         .Hint = QStringLiteral("Создать объект. "),
         .Key = QKeySequence(Qt::Key_N),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute = [this] { ChooseNewItem(); },
         .Slot = &CreateItemAction},
        {.Name = "CopyItems",
         .Hint = QStringLiteral("Копировать выбранное. "),
         .Key = QKeySequence(Qt::CTRL | Qt::Key_C),
         .Enabled = canCopy,
         .Visible = canCopy,
         .Execute = [this] { CopyItems(); },
         .Slot = &CopyItemsAction},
        {.Name = "CopySample",
         .Hint = QStringLiteral("Копировать образец. "),
         .Key = QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_C),
         .Enabled = [count] { return count() < 2; },
         .Visible = never,
         .Execute = [this] { CopySample(); },
         .Slot = &CopySampleAction},
        {.Name = "PasteItems",
         .Hint = QStringLiteral("Вставить скопированное"),
         .Key = QKeySequence(Qt::CTRL | Qt::Key_V),
         .Enabled = canPaste,
         .Visible = canPaste,
         .Execute = [this] { PasteItems(); },
         .Slot = &PasteItemsAction},
        {.Name = "CopyAndPaste",
         .Hint = QStringLiteral("Скопировать и вставить."),
         .Key = QKeySequence(Qt::Key_Insert),
         .Enabled = canCopy,
         .Visible = canCopy,
         .Execute = [this] { CopyAndPaste(); },
         .Slot = &CopyAndPasteAction},
        {.Name = "DeleteItems",
         .Hint = QStringLiteral("Удалить выбранное. "),
         .Key = QKeySequence(Qt::Key_Delete),
         .Enabled = some,
         .Visible = some,
         .Execute = [this] { DeleteSelected(); },
         .Slot = &DeleteItemsAction},
        {.Name = "RepeatCreate",
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_N),
         .Enabled = [this] { return lastCreated_ >= 0; },
         .Visible = never,
         .Execute =
             [this] {
                 if (lastCreated_ >= 0)
                     CreateItem(lastCreated_);
             },
         .Slot = &RepeatCreate},
        {.Name = "ShowSelection",
         .Hint = QStringLiteral("Выбранное в центр"),
         .Key = QKeySequence(Qt::Key_Clear),
         .Enabled = canCopy,
         .Execute = [this] { ShowSelection(); },
         .Slot = &ShowSelectionAction},
        {.Name = "CoordSystem",
         .Hint = QStringLiteral("Система координат"),
         .Enabled = selectOn,
         .Visible = selectOn,
         .Execute =
             [this] {
                 if (OnCoordSystem)
                     OnCoordSystem(CoordSystem->GetDown());
                 Refresh();
             },
         .Slot = &CoordSystem,
         .Toggle = true},
    };
    MakeActionsFromRows(this, Category, actions);

    const QColor window = QColor(Qt::white), teal = QColor(0, 128, 128);
    const TInfoRow infoRows[] = {
        {.Name = "SelectedCountInfo",
         .Caption = QStringLiteral("Выбрано объектов"),
         .Category = QStringLiteral("Выборка"),
         .Text = teal,
         .Back = window,
         .Value =
             [this](TInfoStringAction &a) {
                 const std::vector<TAbstractItem *> sel = Selection();
                 QStringList lines;
                 if (sel.size() >= 10) {
                     std::map<int, int> perType;
                     for (const TAbstractItem *i : sel)
                         ++perType[i->GetTypeCode()];
                     for (const auto &[code, n] : perType)
                         lines << DisplayName(code) + QStringLiteral(" - ") + QString::number(n) +
                                      QStringLiteral(" шт.");
                 } else {
                     for (const TAbstractItem *i : sel)
                         lines << ToQString(i->GetDisplayName());
                 }
                 a.setToolTip(lines.join(QLatin1Char('\r')));
                 return QString::number(sel.size());
             },
         .Slot = &SelectedCountInfo},
        {.Name = "SelectedDescription",
         .Caption = QStringLiteral("Тип"),
         .Category = QStringLiteral("Выборка"),
         .Text = teal,
         .Back = window,
         .Valid = [this] { return CurrentItem() != nullptr; },
         .Value =
             [this](TInfoStringAction &a) {
                 const std::vector<TAbstractItem *> sel = Selection();
                 if (sel.empty())
                     return QString();
                 if (AllOfOneType(sel))
                     return ToQString(sel.front()->GetDisplayName());
                 a.TextColor = QColor(0x80, 0x80, 0x80);
                 return QStringLiteral("***");
             },
         .Click =
             [this] {
                 const std::vector<TAbstractItem *> sel = Selection();
                 if (sel.empty())
                     return;
                 if (!AllOfOneType(sel)) {
                     UserPrompts().ShowMessage(TPromptKind::Error, MixedConversion);
                     return;
                 }
                 const int code = PopupTypeMenu(false);
                 if (code >= 0)
                     ConvertSelection(code);
             },
         .ToolTip = QStringLiteral("Тип выбранных объектов"),
         .Slot = &SelectedDescription},
    };
    MakeInfoLinesFromRows(this, infoRows);

    PasteNoShiftAction = new QAction(QStringLiteral("Вставить без смещения"), this);
    PasteNoShiftAction->setObjectName(QStringLiteral("PasteNoShiftMI"));
    connect(PasteNoShiftAction, &QAction::triggered, this, [this] { PasteNoShift(); });
    if (host_.AddClipMenuAction)
        host_.AddClipMenuAction(PasteNoShiftAction);

    CreateSet = NamesToTypeSet(RegReadString(Section, Cp1251String("CreateSet")));
    DrawHatch = RegReadBool(Section, Cp1251String("DrawHatch"), true);
    BuildMenus();
    if (host_.DrawListeners)
        drawToken_ = host_.DrawListeners->Add([this](const TDxDrawParams &p) { DrawSelection(p); });
    // Every command ends with a refresh: the moment to see whether the item being created was left.
    if (host_.UpdateListeners)
        updateToken_ = host_.UpdateListeners->Add([this] { EndCreation(false); });
    freeingToken_ =
        AddItemsFreeingListener([this](TStreetStructure &, std::span<TAbstractItem *const> items) {
            if (std::find(items.begin(), items.end(), creating_) != items.end())
                creating_ = nullptr;
        });
    if (!InstanceSlot()) {
        InstanceSlot() = this;
        // Table windows select through this module, in the street each table belongs to.
        TStreetTableHost tables;
        tables.ActivateStreet = [this](uint64_t serial) -> TStreetStructure * {
            if (host_.ActivateStreet)
                return host_.ActivateStreet(serial);
            TStreetStructure *s = Street();
            return s != nullptr && s->Serial() == serial ? s : nullptr;
        };
        tables.ClearSelection = [this] { ClearSelection(); };
        tables.ShowSelection = [this] { ShowSelection(); };
        tables.Refresh = [this] { Refresh(); };
        tables.RaiseMainWindow = host_.RaiseMainWindow;
        SetStreetTableHost(tables);
        TTblToGeometryForm::CurrentStreet = [this] { return Street(); };
        TTblToGeometryForm::Refresh = [this] { Refresh(); };
    }
}

TItemsControlModule::~TItemsControlModule() {
    if (InstanceSlot() == this) {
        InstanceSlot() = nullptr;
        SetStreetTableHost({});
        TTblToGeometryForm::CurrentStreet = nullptr;
        TTblToGeometryForm::Refresh = nullptr;
    }
    try {
        RegWriteBool(Section, Cp1251String("DrawHatch"), DrawHatch);
        RegWriteString(Section, Cp1251String("CreateSet"), TypeSetToNames(CreateSet));
    } catch (const std::exception &) {
        // Settings that cannot be written are no reason to fail the end of the program.
    }
    if (host_.DrawListeners)
        host_.DrawListeners->Remove(drawToken_);
    if (host_.UpdateListeners)
        host_.UpdateListeners->Remove(updateToken_);
    RemoveItemsFreeingListener(freeingToken_);
    FindItemMode->OnDestroy = nullptr;
    if (host_.MouseMode && host_.SetMouseMode && host_.MouseMode() == FindItemMode)
        host_.SetMouseMode(nullptr);
}

void TItemsControlModule::Refresh() const {
    if (host_.Refresh)
        host_.Refresh();
}

TItemTypeSet TItemsControlModule::Visible() const {
    return host_.VisibleLayers ? host_.VisibleLayers() : FullTypeSet();
}

// ---- Selection

TStreetStructure *TItemsControlModule::Street() const {
    return host_.Street ? host_.Street() : nullptr;
}

std::vector<TAbstractItem *> TItemsControlModule::Selection() const {
    std::vector<TAbstractItem *> out;
    if (TStreetStructure *s = Street())
        for (TAbstractItem *i : s->Selection().Slots())
            if (i)
                out.push_back(i);
    return out;
}

TAbstractItem *TItemsControlModule::CurrentItem() const {
    TStreetStructure *s = Street();
    return s && s->Selection().Count() > 0 ? s->Selection().Items(0) : nullptr;
}

void TItemsControlModule::SetSelectActionsEnabled(bool value) {
    selectActionsEnabled_ = value;
    Refresh();
}

void TItemsControlModule::SelectItem(TAbstractItem *item) {
    TStreetStructure *s = Street();
    if (!s || !item)
        return;
    TConnectedItems &sel = s->Selection();
    if (sel.IndexOf(item) < 0) {
        sel.Clear();
        sel.AddItem(item);
    } else {
        sel.Move(item, 0);
    }
    Refresh();
}

void TItemsControlModule::ToggleItem(TAbstractItem *item) {
    TStreetStructure *s = Street();
    if (!s || !item)
        return;
    if (s->Selection().IndexOf(item) >= 0)
        s->Selection().Remove(item);
    else
        s->Selection().AddItem(item);
    Refresh();
}

void TItemsControlModule::SelectGroup(const Cp1251String &name) {
    TStreetStructure *s = Street();
    if (!s)
        return;
    s->Selection().Clear();
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : s->Lists(code))
            if (SameText(item->GroupName(), name))
                s->Selection().AddItem(item.get());
    Refresh();
}

void TItemsControlModule::ClearSelection() {
    if (TStreetStructure *s = Street())
        s->Selection().Clear();
    Refresh();
}

// ---- Picking

void TItemsControlModule::StartPicking(const TItemTypeSet &filter, int cursor) {
    PickFilter = filter;
    FindItemMode->Cursor = cursor;
    if (host_.SetMouseMode)
        host_.SetMouseMode(FindItemMode);
    Refresh();
}

std::vector<TAbstractItem *> TItemsControlModule::PickCandidates(int x, int y) const {
    std::vector<TAbstractItem *> out;
    TStreetStructure *s = Street();
    if (!s || !host_.ScreenToGround)
        return out;
    const TXYZ w = host_.ScreenToGround(x, y), next = host_.ScreenToGround(x + 1, y + 1);
    const double pixel = 0.707 * std::hypot(double(next.x) - w.x, double(next.y) - w.y);
    s->CollectNearestItems(w, PickFilter & Visible(), PickPixels * pixel, {}, out);
    return out;
}

void TItemsControlModule::MouseDown(const TMouseEventArgs &e) {
    if (e.Button == Qt::LeftButton && e.Buttons == Qt::LeftButton && e.Modifiers == Qt::ControlModifier) {
        bandStart_ = bandEnd_ = QPoint(e.X, e.Y);
        rubberBand_ = true;
        return;
    }
    if (e.Button != Qt::RightButton)
        return;
    const std::vector<TAbstractItem *> candidates = PickCandidates(e.X, e.Y);
    if (candidates.empty())
        return;
    TAbstractItem *hit = candidates.front();
    if (e.Modifiers.testFlag(Qt::ControlModifier) && candidates.size() >= 2) {
        QStringList entries;
        for (const TAbstractItem *c : candidates)
            entries << ToQString(c->GetDisplayName());
        const int chosen = UserPrompts().PopupMenu(entries);
        if (chosen < 0 || chosen >= int(candidates.size()))
            return;
        hit = candidates[std::size_t(chosen)];
    }
    if (e.Modifiers.testFlag(Qt::ShiftModifier)) {
        ToggleItem(hit);
        return;
    }
    if (hit == CurrentItem() && hit->Points.Count() > 0) {
        // A click on the current item moves its current point to the vertex nearest to the pointer: the
        // point editor's choice when it is there.
        if (TPointsEditorModule *editor = PointsEditorModule(); editor && editor->EditedItem() == hit) {
            editor->SelectNearestPoint(e.X, e.Y);
            SelectItem(hit);
            return;
        }
        const TXYZ w = host_.ScreenToGround(e.X, e.Y);
        int best = 0;
        double bestD = 0;
        for (int i = 0; i < hit->Points.Count(); ++i) {
            const TXYZ p = hit->Points.GetPoint(i);
            const double d = std::hypot(double(p.x) - w.x, double(p.y) - w.y);
            if (i == 0 || d < bestD) {
                best = i;
                bestD = d;
            }
        }
        hit->Points.CurrentIndex = best;
    }
    SelectItem(hit);
}

void TItemsControlModule::MouseMove(const TMouseEventArgs &e) {
    if (!rubberBand_)
        return;
    bandEnd_ = QPoint(e.X, e.Y);
    TStreetStructure *s = Street();
    if (!s || !host_.ScreenToGround)
        return;
    const TXYZ c[4] = {host_.ScreenToGround(bandStart_.x(), bandStart_.y()),
                       host_.ScreenToGround(bandStart_.x(), bandEnd_.y()),
                       host_.ScreenToGround(bandEnd_.x(), bandEnd_.y()),
                       host_.ScreenToGround(bandEnd_.x(), bandStart_.y())};
    TItemBounds box{c[0].x, c[0].y, c[0].x, c[0].y};
    for (const TXYZ &p : c) {
        box.MinX = std::min<double>(box.MinX, p.x);
        box.MinY = std::min<double>(box.MinY, p.y);
        box.MaxX = std::max<double>(box.MaxX, p.x);
        box.MaxY = std::max<double>(box.MaxY, p.y);
    }
    std::vector<TAbstractItem *> near;
    s->ItemsNearRect(box, PickFilter & Visible(), near);
    for (TAbstractItem *item : near) {
        if (!item->Active || item->Points.Count() == 0)
            continue;
        bool inside = true;
        for (int i = 0; i < item->Points.Count() && inside; ++i) {
            const TXYZ p = item->Points.GetPoint(i);
            inside = PointInTriangle(p, c[0], c[1], c[2]) || PointInTriangle(p, c[2], c[3], c[0]);
        }
        if (inside)
            s->Selection().AddItem(item);
    }
    Refresh();
}

void TItemsControlModule::MouseUp(const TMouseEventArgs &) {
    if (!rubberBand_)
        return;
    rubberBand_ = false;
    Refresh();
}

// ---- Menus and creation

void TItemsControlModule::BuildMenus() {
    newItemMenu_.clear();
    allTagsMenu_.clear();
    for (int category = 0; category <= 6; ++category) {
        for (int code = 0; code < ItemTypeCount; ++code) {
            if (ItemTypeCategory(code) != category)
                continue;
            const QString cls = QString::fromLatin1(ItemTypeClassName(code));
            newItemMenu_.push_back({QStringLiteral("NewItemMI_") + cls, DisplayName(code), code});
            allTagsMenu_.push_back({QStringLiteral("ItemMI_") + cls, DisplayName(code), code});
        }
        newItemMenu_.push_back({QString(), QStringLiteral("-"), -1});
        allTagsMenu_.push_back({QString(), QStringLiteral("-"), -1});
    }
    newItemMenu_.push_back({QStringLiteral("NewItemTuningMI"), QStringLiteral("Настройка..."), -1});
}

std::vector<TItemMenuEntry> TItemsControlModule::VisibleNewItemEntries() const {
    const TItemTypeSet offered = CreateSet & CreatableTypes();
    std::vector<TItemMenuEntry> out;
    for (const TItemMenuEntry &e : newItemMenu_) {
        const bool separator = e.Tag < 0 && e.Name.isEmpty();
        // The categories with nothing offered leave no separator behind: none first, none twice.
        if (separator && (out.empty() || (out.back().Tag < 0 && out.back().Name.isEmpty())))
            continue;
        if (e.Tag < 0 || offered.Contains(e.Tag))
            out.push_back(e);
    }
    return out;
}

void TItemsControlModule::ChooseNewItem() {
    const std::vector<TItemMenuEntry> entries = VisibleNewItemEntries();
    std::vector<TMenuEntry> shown;
    for (const TItemMenuEntry &e : entries)
        shown.push_back({e.Caption, e.Tag < 0 || HasItemClass(e.Tag)});
    const int chosen = UserPrompts().PopupEntries(shown);
    if (chosen < 0 || chosen >= int(entries.size()))
        return;
    const TItemMenuEntry &e = entries[std::size_t(chosen)];
    if (e.Tag >= 0)
        CreateItem(e.Tag);
    else if (e.Name == QStringLiteral("NewItemTuningMI"))
        EditCreateSet();
}

bool TItemsControlModule::HasItemClass(int typeCode) const {
    if (!IsItemTypeCode(typeCode))
        return false;
    if (TStreetStructure *s = Street())
        return s->Lists(typeCode).ItemClass() != nullptr;
    return ItemClasses[typeCode] != nullptr;
}

void TItemsControlModule::EditCreateSet() {
    TItemTypeSet set = CreateSet;
    if (UserPrompts().EditTypeSet(QStringLiteral("Набор создаваемых объектов"), CreatableTypes(), set))
        CreateSet = set;
}

int TItemsControlModule::PopupTypeMenu(bool visibleOnly) {
    const TItemTypeSet visible = Visible();
    std::vector<int> codes;
    std::vector<TMenuEntry> entries;
    for (const TItemMenuEntry &e : allTagsMenu_)
        if (e.Tag >= 0 && (!visibleOnly || visible.Contains(e.Tag))) {
            codes.push_back(e.Tag);
            // Converting needs the target's class; a pick by type finds nothing without one either.
            entries.push_back({e.Caption, visibleOnly || HasItemClass(e.Tag)});
        }
    const int chosen = UserPrompts().PopupEntries(entries);
    return chosen >= 0 && chosen < int(codes.size()) ? codes[std::size_t(chosen)] : -1;
}

void TItemsControlModule::ClickEditorAction(const char *name) {
    for (TFloatingAction *a : TFloatingAction::All())
        if (a->objectName() == QLatin1String(name) && !a->IsDetached() && a->Enabled()) {
            a->Click();
            return;
        }
}

TAbstractItem *TItemsControlModule::CreateItem(int typeCode) {
    TStreetStructure *s = Street();
    if (!s || !IsItemTypeCode(typeCode) || !s->Lists(typeCode).ItemClass())
        return nullptr;
    EndCreation(true);
    TAbstractItem *item = s->Lists(typeCode).AddNew();
    creating_ = item;
    s->Selection().Clear();
    s->Selection().AddItem(item);
    item->InitNewItem();
    if (const auto &sample = samples_[std::size_t(typeCode)]) {
        sample->Seek(0, TSeekOrigin::Begin);
        item->LoadFromStreamKeepId(*sample);
        item->Points.Clear();
        item->Points.CurrentIndex = -1;
    }
    TItemTypeSet layers = Visible();
    layers.Include(typeCode);
    if (host_.SetVisibleLayers)
        host_.SetVisibleLayers(layers);
    lastCreated_ = typeCode;
    Refresh();
    ClickEditorAction("AddPoint");
    return item;
}

void TItemsControlModule::EndCreation(bool ending) {
    TAbstractItem *item = creating_;
    if (item == nullptr)
        return;
    if (item->IsComplete()) {
        // From here on every edit keeps it within its limits.
        creating_ = nullptr;
        return;
    }
    // While it is the current item of its street (also of a street not shown now) it is being digitised.
    TStreetStructure *s = item->Street();
    if (!ending && (s != Street() || CurrentItem() == item))
        return;
    // Nothing else can finish it, and a reader of the street would drop it without a word.
    creating_ = nullptr;
    TAbstractItem *const gone[] = {item};
    s->DeleteItems(gone);
    Refresh();
}

void TItemsControlModule::CopySample() {
    const std::vector<TAbstractItem *> sel = Selection();
    if (sel.size() == 1) {
        auto sample = std::make_unique<TMemoryStream>();
        sel.front()->SaveToStream(*sample);
        samples_[std::size_t(sel.front()->GetTypeCode())] = std::move(sample);
        return;
    }
    if (sel.empty() &&
        UserPrompts().Ask(TPromptKind::Confirmation, QStringLiteral("Очистить образцы создания объектов"),
                          TPromptButtons::YesNo) == TPromptAnswer::Yes)
        for (auto &s : samples_)
            s.reset();
}

bool TItemsControlModule::HasSample(int typeCode) const {
    return IsItemTypeCode(typeCode) && samples_[std::size_t(typeCode)] != nullptr;
}

// ---- Copy buffer

void TItemsControlModule::CopyItems() {
    TStreetStructure *s = Street();
    if (!s)
        return;
    buffer_.Clear();
    s->Selection().SaveIndependent(buffer_);
    bufferStreet_ = s->Serial();
    Refresh();
}

void TItemsControlModule::PasteAt(const TXYZ &target) {
    TStreetStructure *s = Street();
    if (!s || BufferEmpty())
        return;
    buffer_.Seek(0, TSeekOrigin::Begin);
    TConnectedItems pasted(false);
    pasted.LoadIndependent(buffer_, *s, s->Serial() == bufferStreet_);
    TConnectedItems &sel = s->Selection();
    sel.Clear();
    for (TAbstractItem *i : pasted.Slots())
        sel.AddItem(i);
    if (sel.Count() > 0 && sel.Items(0)->Points.Count() > 0) {
        const TXYZ first = sel.Items(0)->Points.GetPoint(0);
        sel.Translate({target.x - first.x, target.y - first.y, target.z - first.z});
    }
    Refresh();
}

void TItemsControlModule::PasteNoShift() {
    TStreetStructure *s = Street();
    if (!s || BufferEmpty())
        return;
    buffer_.Seek(0, TSeekOrigin::Begin);
    TConnectedItems pasted(false);
    pasted.LoadIndependent(buffer_, *s, s->Serial() == bufferStreet_);
    s->Selection().Clear();
    for (TAbstractItem *i : pasted.Slots())
        s->Selection().AddItem(i);
    Refresh();
}

void TItemsControlModule::PasteItems() {
    int w = 0, h = 0;
    if (!host_.ScreenToGround || !host_.ViewSize || !host_.ViewSize(w, h))
        return;
    PasteAt(host_.ScreenToGround(w / 2, h / 2));
    Refresh();
    ClickEditorAction("MoveAll");
}

void TItemsControlModule::CopyAndPaste() {
    const TAbstractItem *c = CurrentItem();
    if (!c || c->Points.Count() == 0)
        return;
    CopyItems();
    const TXYZ first = c->Points.GetPoint(0);
    PasteAt({first.x + 5, first.y + 5, first.z});
    Refresh();
    ClickEditorAction("MoveAll");
}

// ---- Other commands

bool TItemsControlModule::DeleteSelected() {
    TStreetStructure *s = Street();
    const std::size_t n = Selection().size();
    if (!s || n == 0)
        return false;
    const QString question = QStringLiteral("Удалить выбранные объекты в количестве ") + QString::number(n) +
                             QStringLiteral(" штук?");
    if (UserPrompts().Ask(TPromptKind::Confirmation, question, TPromptButtons::YesNo) != TPromptAnswer::Yes)
        return false;
    // Open tables and every other holder hear of the freed items through the street's notification.
    s->Selection().FreeItems();
    s->SetModified();
    Refresh();
    return true;
}

void TItemsControlModule::ConvertSelection(int typeCode) {
    TStreetStructure *s = Street();
    const std::vector<TAbstractItem *> sel = Selection();
    if (!s || sel.empty() || !IsItemTypeCode(typeCode))
        return;
    const TItemClass *target = s->Lists(typeCode).ItemClass();
    if (!target)
        return;
    if (!AllOfOneType(sel)) {
        UserPrompts().ShowMessage(TPromptKind::Error, MixedConversion);
        return;
    }
    // An item below the new type's minimum would be dropped when the street is next read, and the reader
    // counts only the vertices it keeps (one within a millimetre of its neighbour is not kept).
    for (const TAbstractItem *i : sel) {
        const int kept = StoredVertexCount(i->Points.GetPoints(), target->IsClosed());
        const int count = kept < target->MinPointCount() ? kept : i->Points.Count();
        if (count < target->MinPointCount() || count > target->MaxPointCount()) {
            UserPrompts().ShowMessage(
                TPromptKind::Error, QStringLiteral("Преобразование типов: число различных точек объекта (") +
                                        QString::number(count) + QStringLiteral(") не подходит для типа \"") +
                                        DisplayName(typeCode) + QStringLiteral("\"."));
            return;
        }
    }
    ReplaceWithType(*s, sel, typeCode);
    Refresh();
}

void TItemsControlModule::ShowSelection() {
    TStreetStructure *s = Street();
    if (!s || s->Selection().Count() == 0)
        return;
    TConnectedItems &sel = s->Selection();
    sel.Move(sel.Items(0), sel.Count() - 1);
    TAbstractItem *first = sel.Items(0);
    if (!first || first->Points.Count() == 0)
        return;
    const int i = first->Points.IsValidIndex(first->Points.CurrentIndex) ? first->Points.CurrentIndex : 0;
    if (host_.ShowAt)
        host_.ShowAt(first->Points.GetPoint(i));
    Refresh();
}

// ---- Overlay

TTextureSurface *TItemsControlModule::Hatch() {
    if (!hatchTried_) {
        hatchTried_ = true;
        const std::filesystem::path file = DataFilesDir() / std::filesystem::u8path("Текстуры") / "Hatch.bmp";
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) {
            auto texture = std::make_unique<TTextureSurface>();
            try {
                texture->LoadFromFile(file.string());
                hatch_ = std::move(texture);
            } catch (const std::exception &) {
                // A hatch that cannot be read leaves the selection unhatched.
            }
        }
    }
    return hatch_ && hatch_->Bitmap() ? hatch_.get() : nullptr;
}

void TItemsControlModule::DrawSelection(const TDxDrawParams &params) {
    TStreetStructure *s = Street();
    if (!s || !params.Renderer)
        return;
    const std::vector<TAbstractItem *> sel = Selection();
    if (sel.empty() && !rubberBand_)
        return;
    TdxRenderer &r = *params.Renderer;
    r.PushMatrices();
    DxOverlayBeginScreen(params);
    for (TAbstractItem *item : sel) {
        if (!item->HasControlPoints()) {
            item->Points.EnsureGeometry();
            const TXYZArray &dense = item->Points.Dense();
            if (dense.size() > 1) {
                DxOverlayColor = MakeD3DColor(255, 128, 128, 255);
                DxOverlayDrawPolyline(params, dense, 1);
            }
        }
        DxOverlayColor = MakeD3DColor(255, 0, 0, 255);
        for (int i = 0; i < item->Points.Count(); ++i)
            DxOverlayDrawSquare(params, item->Points.GetPoint(i), false, 2);
        if (auto *polygon = dynamic_cast<TPolygonItem *>(item); polygon && DrawHatch)
            if (TTextureSurface *hatch = Hatch()) {
                const TXYZArray &triangles = polygon->Triangles();
                if (triangles.size() >= 3)
                    DxOverlayDrawTexturedPolygon(params, triangles, *hatch);
            }
    }
    if (rubberBand_ && host_.ScreenToGround) {
        const TXYZ c[4] = {host_.ScreenToGround(bandStart_.x(), bandStart_.y()),
                           host_.ScreenToGround(bandStart_.x(), bandEnd_.y()),
                           host_.ScreenToGround(bandEnd_.x(), bandEnd_.y()),
                           host_.ScreenToGround(bandEnd_.x(), bandStart_.y())};
        DxOverlayColor = MakeD3DColor(255, 0, 0, 255);
        for (int i = 0; i < 4; ++i)
            DxOverlayDrawDashedSegment(params, c[i], c[(i + 1) % 4], 1, 5, 10);
    }
    DxOverlayFlush(params);
    r.PopMatrices();
}

// ---- The unified table

TReportTable MakeUnifiedTable(const std::vector<TAbstractItem *> &items) {
    TReportTable t = TReportTable::WithHeader({Cp("Ось"), Cp("Сторона"), Cp("Начало"), Cp("Конец"), Cp("Тип"),
                                               Cp("Группа"), Cp("Примечание"), Cp("Примечание2")});
    for (TAbstractItem *item : items) {
        const TItemAxisPlace place = ItemAxisPlace(*item);
        // Stations only where some point could be put onto the axis.
        const Cp1251String first = place.Span.Known() ? StationText(place.Span.First) : Cp1251String();
        const Cp1251String last = place.Span.Known() ? StationText(place.Span.Last) : Cp1251String();
        t.AddRow({item->GetReferAxisName(), place.Side, first, last, item->GetDisplayName(),
                  item->GroupName(), item->Comment(), item->Comment2()},
                 ItemRowObject(*item));
    }
    return t;
}
