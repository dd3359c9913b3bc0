#include "shell/ItemsControl.h"

#include "engine/Cp1251Qt.h"
#include "engine/DataFiles.h"
#include "engine/DxOverlay.h"
#include "engine/DxTexture.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemList.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "shell/InfoStringActions.h"
#include "shell/MainForm.h"
#include "shell/MainPlan.h"
#include "shell/PointEditOps.h"
#include "shell/PointsEditor.h"
#include "shell/ReportTable.h"
#include "shell/StartUp.h"
#include "shell/StreetTableForm.h"
#include "shell/StreetsHolder.h"
#include "shell/TagSetEditorForm.h"
#include "shell/UserPrompts.h"

#include <QColor>
#include <QMenu>

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <charconv>
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
    for (int c : {6, 9, 17})
        s.Exclude(c);
    return s;
}

const QString MixedConversion =
    QStringLiteral("Преобразование типов: исходная выборка должна содержать объекты одного типа.");

// "%5.1f" without the locale.
Cp1251String Station(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    std::string s(buf, r.ptr);
    if (s.size() < 5)
        s.insert(0, 5 - s.size(), ' ');
    return Cp1251String(s);
}

} // namespace

const TItemTypeSet TItemsControlModule::PolygonPickTypes{1, 2, 3, 4, 5, 6, 7, 12, 34, 38};
const TItemTypeSet TItemsControlModule::LinePickTypes{8, 9, 10, 13, 14, 18, 19, 26, 30, 31, 35, 37, 39, 40};
const TItemTypeSet TItemsControlModule::PointPickTypes{11, 15, 16, 17, 20, 21, 22, 23,
                                                       24, 25, 27, 28, 29, 32, 33, 36};
const TItemTypeSet TItemsControlModule::NotCreatable{6, 9, 17};

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

    auto selectEnabled = [this](TFloatingAction *a) {
        a->SetEnabled(selectActionsEnabled_);
        a->SetVisible(selectActionsEnabled_);
    };
    auto count = [this] { return static_cast<int>(Selection().size()); };
    auto showIf = [](TFloatingAction *a, bool on) {
        a->SetEnabled(on);
        a->SetVisible(on);
    };

    VisibleLayersAction = MakeAction("VisibleLayers", QStringLiteral("Отображаемые слои"), {});
    VisibleLayersAction->OnUpdateState = selectEnabled;
    VisibleLayersAction->OnExecute = [this](TFloatingAction *) {
        TItemTypeSet layers = Visible();
        if (UserPrompts().EditTypeSet(QStringLiteral("Отображаемые слои"), AllTypeCodes(), layers) &&
            host_.SetVisibleLayers)
            host_.SetVisibleLayers(layers);
        Refresh();
    };
    VisibleLayersAction->OnMouseUp = [this](TFloatingAction *, const TMouseEventArgs &e) {
        if (e.Button != Qt::RightButton || e.Modifiers != Qt::NoModifier)
            return;
        TItemTypeSet preset;
        if (TTagSetEditorForm::PopupPresets(Visible(), preset) && host_.SetVisibleLayers) {
            host_.SetVisibleLayers(preset);
            Refresh();
        }
    };

    struct TPickAction {
        TFloatingAction **Action;
        const char *Name;
        QString Hint;
        QKeySequence Key;
        int Cursor;
        std::function<TItemTypeSet()> Filter;
    } const picks[] = {
        {&SelectPolygon, "SelectPolygon", QStringLiteral("Выбор площадных объектов. "),
         QKeySequence(Qt::Key_S), 18, [] { return PolygonPickTypes; }},
        {&SelectLine, "SelectLine", QStringLiteral("Выбор линейных объектов. "), QKeySequence(Qt::Key_L), 16,
         [] { return LinePickTypes; }},
        {&SelectPoint, "SelectPoint", QStringLiteral("Выбор точечных объектов. "), QKeySequence(Qt::Key_P),
         17, [] { return PointPickTypes; }},
        {&SelectAny, "SelectAny", QStringLiteral("Выбор из произвольного набора слоев"),
         QKeySequence(Qt::Key_F), 39, [this] { return Visible(); }},
    };
    for (const TPickAction &p : picks) {
        TFloatingAction *a = MakeAction(p.Name, p.Hint, p.Key);
        a->OnUpdateState = selectEnabled;
        a->OnExecute = [this, filter = p.Filter, cursor = p.Cursor](TFloatingAction *) {
            StartPicking(filter(), cursor);
        };
        *p.Action = a;
    }
    SelectSpecial = MakeAction("SelectSpecial", QStringLiteral("Выбор объектов заданного типа"), {});
    SelectSpecial->OnUpdateState = selectEnabled;
    SelectSpecial->OnExecute = [this](TFloatingAction *) {
        const int code = PopupTypeMenu(true);
        if (code >= 0)
            StartPicking({code}, 15);
    };
    SelectAll = MakeAction("SelectAll", QStringLiteral("Выбрать все объекты данного типа"), {});
    SelectAll->OnUpdateState = selectEnabled;
    SelectAll->OnExecute = [this](TFloatingAction *) {
        const int code = PopupTypeMenu(true);
        TStreetStructure *s = Street();
        if (code < 0 || !s)
            return;
        s->Selection().Clear();
        for (const auto &item : s->Lists(code))
            if (item->Active)
                s->Selection().AddItem(item.get());
        Refresh();
    };
    FilterSelection = MakeAction("FilterSelection", QStringLiteral("Фильтровать выбранное"), {});
    FilterSelection->OnUpdateState = [this, showIf](TFloatingAction *a) {
        const std::vector<TAbstractItem *> sel = Selection();
        const bool mixed = std::any_of(sel.begin(), sel.end(), [&](const TAbstractItem *i) {
            return i->GetTypeCode() != sel.front()->GetTypeCode();
        });
        showIf(a, sel.size() > 1 && mixed);
    };
    FilterSelection->OnExecute = [this](TFloatingAction *) {
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
    };
    UniReport = MakeAction("UniReport", QStringLiteral("Унифицированная таблица"), {});
    UniReport->OnUpdateState = [count, showIf](TFloatingAction *a) { showIf(a, count() > 0); };
    UniReport->OnExecute = [this](TFloatingAction *) {
        if (TStreetStructure *s = Street())
            TStreetTableForm::ShowStreetTable(QStringLiteral("Унифицированная таблица"),
                                              MakeUnifiedTable(Selection()), *s,
                                              host_.WindowParent ? host_.WindowParent() : nullptr);
    };
    RubricReport = MakeAction("RubricReport", QStringLiteral("Таблица по рубрике"), {});
    RubricReport->OnUpdateState = [showIf](TFloatingAction *a) { showIf(a, false); };
    ClearSelectionAction =
        MakeAction("ClearSelection", QStringLiteral("Очистить выборку. "), QKeySequence(Qt::Key_Escape));
    ClearSelectionAction->OnUpdateState = [count](TFloatingAction *a) {
        a->SetEnabled(count() > 0);
        a->SetVisible(true);
    };
    ClearSelectionAction->OnExecute = [this](TFloatingAction *) { ClearSelection(); };
    CreateItemAction = MakeAction("CreateItem", QStringLiteral("Создать объект. "), QKeySequence(Qt::Key_N));
    CreateItemAction->OnUpdateState = selectEnabled;
    CreateItemAction->OnExecute = [this](TFloatingAction *) { ChooseNewItem(); };
    auto canCopy = [this] {
        const TAbstractItem *c = CurrentItem();
        return c && c->Points.Count() > 0;
    };
    CopyItemsAction =
        MakeAction("CopyItems", QStringLiteral("Копировать выбранное. "), QKeySequence(Qt::CTRL | Qt::Key_C));
    CopyItemsAction->OnUpdateState = [canCopy, showIf](TFloatingAction *a) { showIf(a, canCopy()); };
    CopyItemsAction->OnExecute = [this](TFloatingAction *) { CopyItems(); };
    CopySampleAction = MakeAction("CopySample", QStringLiteral("Копировать образец. "),
                                  QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_C));
    CopySampleAction->OnUpdateState = [count](TFloatingAction *a) {
        a->SetEnabled(count() < 2);
        a->SetVisible(false);
    };
    CopySampleAction->OnExecute = [this](TFloatingAction *) { CopySample(); };
    PasteItemsAction = MakeAction("PasteItems", QStringLiteral("Вставить скопированное"),
                                  QKeySequence(Qt::CTRL | Qt::Key_V));
    PasteItemsAction->OnUpdateState = [this, showIf](TFloatingAction *a) {
        showIf(a, !BufferEmpty() && Street());
    };
    PasteItemsAction->OnExecute = [this](TFloatingAction *) { PasteItems(); };
    CopyAndPasteAction =
        MakeAction("CopyAndPaste", QStringLiteral("Скопировать и вставить."), QKeySequence(Qt::Key_Insert));
    CopyAndPasteAction->OnUpdateState = [canCopy, showIf](TFloatingAction *a) { showIf(a, canCopy()); };
    CopyAndPasteAction->OnExecute = [this](TFloatingAction *) { CopyAndPaste(); };
    DeleteItemsAction =
        MakeAction("DeleteItems", QStringLiteral("Удалить выбранное. "), QKeySequence(Qt::Key_Delete));
    DeleteItemsAction->OnUpdateState = [count, showIf](TFloatingAction *a) { showIf(a, count() > 0); };
    DeleteItemsAction->OnExecute = [this](TFloatingAction *) { DeleteSelected(); };
    RepeatCreate = MakeAction("RepeatCreate", QString(), QKeySequence(Qt::SHIFT | Qt::Key_N));
    RepeatCreate->OnUpdateState = [this](TFloatingAction *a) {
        a->SetEnabled(lastCreated_ >= 0);
        a->SetVisible(false);
    };
    RepeatCreate->OnExecute = [this](TFloatingAction *) {
        if (lastCreated_ >= 0)
            CreateItem(lastCreated_);
    };
    ShowSelectionAction =
        MakeAction("ShowSelection", QStringLiteral("Выбранное в центр"), QKeySequence(Qt::Key_Clear));
    ShowSelectionAction->OnUpdateState = [this](TFloatingAction *a) {
        const TAbstractItem *c = CurrentItem();
        a->SetEnabled(c && c->Points.Count() > 0);
        a->SetVisible(true);
    };
    ShowSelectionAction->OnExecute = [this](TFloatingAction *) { ShowSelection(); };
    CoordSystem = MakeAction("CoordSystem", QStringLiteral("Система координат"), {});
    CoordSystem->Toggle = true;
    CoordSystem->OnUpdateState = selectEnabled;
    CoordSystem->OnExecute = [this](TFloatingAction *a) {
        if (OnCoordSystem)
            OnCoordSystem(a->GetDown());
        Refresh();
    };

    const QColor window = QColor(Qt::white), teal = QColor(0, 128, 128);
    SelectedCountInfo = new TInfoStringAction(this);
    SelectedCountInfo->setObjectName(QStringLiteral("SelectedCountInfo"));
    SelectedCountInfo->setText(QStringLiteral("Выбрано объектов"));
    SelectedCountInfo->Category = QStringLiteral("Выборка");
    SelectedCountInfo->SetDefaultColors(window, teal);
    SelectedCountInfo->OnGetInfo = [this](TInfoStringAction *a, QString &text) {
        const std::vector<TAbstractItem *> sel = Selection();
        text = QString::number(sel.size());
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
        a->setToolTip(lines.join(QLatin1Char('\r')));
    };
    SelectedDescription = new TInfoStringAction(this);
    SelectedDescription->setObjectName(QStringLiteral("SelectedDescription"));
    SelectedDescription->setText(QStringLiteral("Тип"));
    SelectedDescription->setToolTip(QStringLiteral("Тип выбранных объектов"));
    SelectedDescription->Category = QStringLiteral("Выборка");
    SelectedDescription->SetDefaultColors(window, teal);
    SelectedDescription->OnGetValid = [this](TInfoStringAction *, bool &valid) {
        valid = CurrentItem() != nullptr;
    };
    SelectedDescription->OnGetInfo = [this](TInfoStringAction *a, QString &text) {
        const std::vector<TAbstractItem *> sel = Selection();
        if (sel.empty())
            return;
        const bool mixed = std::any_of(sel.begin(), sel.end(), [&](const TAbstractItem *i) {
            return i->GetTypeCode() != sel.front()->GetTypeCode();
        });
        if (mixed) {
            text = QStringLiteral("***");
            a->TextColor = QColor(0x80, 0x80, 0x80);
        } else {
            text = ToQString(sel.front()->GetDisplayName());
        }
    };
    SelectedDescription->OnClick = [this](TInfoStringAction *) {
        const std::vector<TAbstractItem *> sel = Selection();
        if (sel.empty())
            return;
        if (std::any_of(sel.begin(), sel.end(), [&](const TAbstractItem *i) {
                return i->GetTypeCode() != sel.front()->GetTypeCode();
            })) {
            UserPrompts().ShowMessage(TPromptKind::Error, MixedConversion);
            return;
        }
        const int code = PopupTypeMenu(false);
        if (code >= 0)
            ConvertSelection(code);
    };

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
    if (!InstanceSlot())
        InstanceSlot() = this;
}

TItemsControlModule::~TItemsControlModule() {
    if (InstanceSlot() == this)
        InstanceSlot() = nullptr;
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

TFloatingAction *TItemsControlModule::MakeAction(const char *name, const QString &hint,
                                                 const QKeySequence &shortcut) {
    return TFloatingAction::Make(this, Category, name, hint, shortcut);
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
    for (const TItemMenuEntry &e : newItemMenu_)
        if (e.Tag < 0 || offered.Contains(e.Tag))
            out.push_back(e);
    return out;
}

void TItemsControlModule::ChooseNewItem() {
    std::vector<TItemMenuEntry> entries;
    for (const TItemMenuEntry &e : VisibleNewItemEntries())
        if (e.Tag >= 0 || e.Name == QStringLiteral("NewItemTuningMI"))
            entries.push_back(e);
    QStringList captions;
    for (const TItemMenuEntry &e : entries)
        captions << e.Caption;
    const int chosen = UserPrompts().PopupMenu(captions);
    if (chosen < 0 || chosen >= int(entries.size()))
        return;
    const TItemMenuEntry &e = entries[std::size_t(chosen)];
    if (e.Tag >= 0)
        CreateItem(e.Tag);
    else
        EditCreateSet();
}

void TItemsControlModule::EditCreateSet() {
    TItemTypeSet set = CreateSet;
    if (UserPrompts().EditTypeSet(QStringLiteral("Набор создаваемых объектов"), CreatableTypes(), set))
        CreateSet = set;
}

int TItemsControlModule::PopupTypeMenu(bool visibleOnly) {
    const TItemTypeSet visible = Visible();
    std::vector<int> codes;
    QStringList captions;
    for (const TItemMenuEntry &e : allTagsMenu_)
        if (e.Tag >= 0 && (!visibleOnly || visible.Contains(e.Tag))) {
            codes.push_back(e.Tag);
            captions << e.Caption;
        }
    const int chosen = UserPrompts().PopupMenu(captions);
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
    if (std::any_of(sel.begin(), sel.end(),
                    [&](const TAbstractItem *i) { return i->GetTypeCode() != sel.front()->GetTypeCode(); })) {
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
    TConnectedItems &selection = s->Selection();
    for (TAbstractItem *old : sel) {
        TMemoryStream points;
        old->Points.SaveToStream(points);
        TAbstractItem *made = s->Lists(typeCode).AddNew();
        points.Seek(0, TSeekOrigin::Begin);
        made->Points.LoadFromStream(points);
        made->SetGroupName(old->GroupName());
        made->SetComment(old->Comment());
        made->SetComment2(old->Comment2());
        const int at = selection.IndexOf(old);
        selection.AddItem(made);
        selection.Move(made, at);
        TAbstractItem *const gone[] = {old};
        s->DeleteItems(gone);
    }
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
        TAbstractItem *axis = item->GetReferAxis();
        const auto *guide = dynamic_cast<const TGuideAxisInfo *>(axis);
        Cp1251String side, first, last;
        if (guide && axis->Points.Count() >= 2) {
            double lo = UndefinedValue, hi = -UndefinedValue;
            bool left = false, right = false;
            for (int i = 0; i < item->Points.Count(); ++i) {
                float t = 0, along = 0, offset = 0;
                if (!axis->Points.Project(item->Points.GetPoint(i), t, along, offset))
                    continue;
                (offset >= 0 ? left : right) = true;
                lo = std::min<double>(lo, along);
                hi = std::max<double>(hi, along);
            }
            side = left && right ? guide->GetCenterSideName()
                   : left        ? guide->GetLeftSideName()
                   : right       ? guide->GetRightSideName()
                                 : Cp1251String();
            // Stations only where some point could be put onto the axis.
            if (left || right) {
                first = Station(lo);
                last = Station(hi);
            }
        }
        t.AddRow({item->GetReferAxisName(), side, first, last, item->GetDisplayName(), item->GroupName(),
                  item->Comment(), item->Comment2()},
                 ItemRowObject(*item));
    }
    return t;
}
