#include "shell/MainForm.h"

#include "ui_MainForm.h"

#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "platform/d3d9/D3DError.h"
#include "shell/ContextModules.h"
#include "shell/Cursors.h"
#include "shell/FloatingActions.h"
#include "shell/FormPlacement.h"
#include "shell/ImageData.h"
#include "shell/InfoGrid.h"
#include "shell/Keyboard.h"
#include "shell/ModuleRows.h"
#include "shell/StreetSelection.h"
#include "shell/StreetsHolder.h"
#include "shell/UserPrompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>

#include <malloc.h>

#include <algorithm>
#include <cmath>

namespace {

TMainForm *&Instance() {
    static TMainForm *form = nullptr;
    return form;
}

Cp1251String SectionCp() {
    return Cp1251String("MainForm");
}

// Tab images: 0 an untouched new street, 1 a street as saved, 2 a modified street.
QIcon TabImage(int index) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge = index == 0 ? QColor(150, 150, 150) : QColor(60, 60, 60);
    p.setPen(QPen(edge, 1));
    p.setBrush(index == 0 ? QColor(235, 235, 235) : QColor(Qt::white));
    p.drawPolygon(QPolygonF({QPointF(3.5, 1.5), QPointF(10.5, 1.5), QPointF(13.5, 4.5), QPointF(13.5, 14.5),
                             QPointF(3.5, 14.5)}));
    p.drawLine(QPointF(6, 6.5), QPointF(11, 6.5));
    p.drawLine(QPointF(6, 9.5), QPointF(11, 9.5));
    if (index == 2) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QPointF(11.5, 12), 3.5, 3.5);
    }
    return QIcon(pm);
}

int TabImageIndex(const TStreetStructure &street) {
    if (street.IsIdle())
        return 0;
    return street.Modified() ? 2 : 1;
}

bool IsArrowKey(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// The mouse buttons the arrow keys move the pointer under.
bool PointerButtonHeld() {
    return (QApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton)) != 0;
}

} // namespace

TMainForm *MainForm() {
    return Instance();
}

TMainPlanDrawer *MainPlanDrawer() {
    return Instance() != nullptr ? &Instance()->MainPlanDrawer() : nullptr;
}

bool MainPlanActive() {
    const TMainForm *form = Instance();
    return form != nullptr && form->PlanShown() && form->Holder().Count() > 0;
}

// ---- Creation and destruction

TMainForm::TMainForm(TStreetsHolderModule &holder, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainForm>()), holder_(holder) {
    ui_->setupUi(this);
    // Editor modules see the active street's selection.
    selection_ = std::make_unique<TStreetSelection>(holder_);
    SetContextSelection(selection_.get());
    auto rendererOf = [this] { return renderer_.get(); };
    planDrawer_ = std::make_unique<TMainPlanDrawer>(holder_, rendererOf);
    videoDrawer_ = std::make_unique<TDrawerObject>(rendererOf);
    activeDrawer_ = planDrawer_.get();
    // Before the view's GL context exists its size is the widget's, in device pixels.
    auto widgetSize = [this](int &w, int &h) {
        const qreal ratio = ui_->DrawBox->devicePixelRatioF();
        w = qRound(ui_->DrawBox->width() * ratio);
        h = qRound(ui_->DrawBox->height() * ratio);
        return w > 0 && h > 0;
    };
    planDrawer_->SizeFallback = widgetSize;
    videoDrawer_->SizeFallback = widgetSize;
    SetupActions();
    SetupView();
    RestoreSettings();
    // Detail drawing is off at start: both drawers draw ordinary geometry only.
    ui_->DetailSB->setChecked(true);
    planDrawer_->DrawMode = videoDrawer_->DrawMode = DrawModeGeometry;

    TempMode.ModeForKey = [this](int key) -> TMouseEvents * {
        if (key == Qt::Key_Q)
            return panMode_.data();
        if (key == Qt::Key_W)
            return rotateMode_.data();
        return nullptr;
    };
    TempMode.CurrentMode = [this] { return mouseMode_.data(); };
    TempMode.SetMode = [this](TMouseEvents *mode) { SetMouseMode(mode); };

    UpdateListeners.Add(&holder_, &TStreetsHolderModule::NoteActivity);
    holder_.OnChanged = [this] { RefreshAll(); };

    UpdateTimer.setObjectName(QStringLiteral("UpdateTimer"));
    UpdateTimer.setInterval(10);
    UpdateTimer.setTimerType(Qt::PreciseTimer);
    UpdateTimer.setSingleShot(true);
    connect(&UpdateTimer, &QTimer::timeout, this, [this] {
        // The next tick comes a full interval after this one's work, whatever it took.
        struct TRestart {
            QTimer &Timer;
            ~TRestart() { Timer.start(); }
        } restart{UpdateTimer};
        DrawTick();
    });
    GridTimer.setObjectName(QStringLiteral("GridTimer"));
    GridTimer.setInterval(100);
    connect(&GridTimer, &QTimer::timeout, ui_->InfoGrid, &TInfoGrid::TimerTick);
    UpdateTimer.start();
    GridTimer.start();

    qApp->installEventFilter(this);
    Instance() = this;
    UpdateMenuBar();
    RefreshAll();
}

TMainForm::~TMainForm() {
    destroying_ = true;
    qApp->removeEventFilter(this);
    UpdateTimer.stop();
    GridTimer.stop();
    SaveSettings();
    holder_.OnChanged = nullptr;
    UpdateListeners.Remove(&holder_, &TStreetsHolderModule::NoteActivity);
    if (Instance() == this)
        Instance() = nullptr;
    if (&ContextSelection() == selection_.get())
        SetContextSelection(nullptr);
    activeDrawer_ = nullptr;
    planDrawer_.reset();
    videoDrawer_.reset();
    renderer_.reset();
}

void TMainForm::SetupActions() {
    Ui::MainForm &f = *ui_;
    groupsMenu_ = new QMenu(this);
    groupsMenu_->setObjectName(QStringLiteral("GroupsMenu"));
    connect(groupsMenu_, &QMenu::aboutToShow, this, &TMainForm::BuildGroupsMenu);
    // The form's own actions (names, captions and keys from the form): image, handler and rules.
    const struct {
        QAction *Action;
        QToolButton *Button;
        TActionRow Row;
    } actions[] = {
        {f.NewStreet,
         f.NewStreetSB,
         {.Name = "NewStreet",
          .Execute =
              [this] {
                  holder_.NewStreet();
                  RefreshAll();
              }}},
        {f.OpenStreet,
         f.OpenStreetSB,
         {.Name = "OpenStreet",
          .Execute =
              [this] {
                  if (holder_.OpenWithDialog() >= 0)
                      holder_.DropEmptyStreets();
                  RefreshAll();
              }}},
        {f.SaveStreet,
         f.SaveStreetSB,
         {.Name = "SaveStreet",
          .Execute =
              [this] {
                  if (holder_.ActiveIndex() >= 0)
                      holder_.SaveStreet(holder_.ActiveIndex());
                  RefreshAll();
              }}},
        {f.SaveAll,
         f.SaveAllSB,
         {.Name = "SaveAll",
          .Execute =
              [this] {
                  holder_.SaveAll();
                  RefreshAll();
              }}},
        {f.Groups, f.GroupsSB, {.Name = "Groups", .Execute = [this] { groupsMenu_->popup(QCursor::pos()); }}},
        {f.ShowPlan, f.MainPlanSB, {.Name = "ShowPlan", .Execute = [this] { ShowPlan(); }}},
        {f.ShowVideo, f.VideoPlanSB, {.Name = "ShowVideo", .Execute = [this] { ShowVideo(); }}},
        {f.PrintSetup,
         f.PrintSetupSB,
         {.Name = "PrintSetup",
          .Visible = [this] { return static_cast<bool>(printSetup_); },
          .Execute =
              [this] {
                  if (printSetup_)
                      printSetup_();
              }}},
        {f.SaveAs,
         nullptr,
         {.Name = "SaveAs",
          .Execute =
              [this] {
                  CurrentStreet();
                  holder_.SaveStreetAs(holder_.ActiveIndex());
                  RefreshAll();
              }}},
    };
    for (const auto &t : actions) {
        BindActionRow(*t.Action, t.Row);
        if (t.Button != nullptr) {
            t.Button->setDefaultAction(t.Action);
            t.Button->setVisible(t.Action->isVisible());
        }
        addAction(t.Action);
    }
    f.DetailSB->setIcon(ImageData().ActionIcon(QStringLiteral("Detail"), QStringLiteral("Д")));
    connect(f.DetailSB, &QToolButton::toggled, this, [this](bool down) {
        const uint32_t mode = down ? DrawModeGeometry : DrawModeGeometry | DrawModeTechnical;
        planDrawer_->DrawMode = mode;
        videoDrawer_->DrawMode = mode;
        RefreshAll();
    });

    // Menu items run the actions; they show the action's shortcut but leave the key to the action.
    const std::pair<QAction *, QAction *> items[] = {
        {f.NewStreetMI, f.NewStreet}, {f.OpenFileMI, f.OpenStreet}, {f.SaveFileMI, f.SaveStreet},
        {f.SaveAllMI, f.SaveAll},     {f.SaveFileAsMI, f.SaveAs},   {f.ShowPlanMI, f.ShowPlan},
        {f.ShowVideoMI, f.ShowVideo},
    };
    for (const auto &[item, action] : items) {
        QAction *a = action;
        QAction *mi = item;
        mi->setShortcutContext(Qt::WidgetShortcut);
        auto sync = [a, mi] {
            mi->setEnabled(a->isEnabled());
            mi->setShortcut(a->shortcut());
        };
        sync();
        connect(a, &QAction::changed, mi, sync);
        connect(mi, &QAction::triggered, a, [a] { a->trigger(); });
    }
    // The second separator of the File menu: recent files follow it.
    const QList<QAction *> fileItems = f.FileMI->actions();
    QAction *anchor = nullptr;
    for (QAction *a : fileItems)
        if (a->isSeparator())
            anchor = a;
    if (anchor != nullptr) {
        anchor->setObjectName(QStringLiteral("RecentStartMI"));
        for (QAction *a : fileItems)
            if (a->isSeparator() && a != anchor) {
                a->setObjectName(QStringLiteral("N1"));
                break;
            }
    }
    connect(f.FileMI, &QMenu::aboutToShow, this,
            [this, anchor] { holder_.BuildRecentMenu(ui_->FileMI, anchor); });

    // The popup of the street tabs.
    tabsMenu_ = new QMenu(this);
    tabsMenu_->setObjectName(QStringLiteral("TabsMenu"));
    tabsMenu_->addAction(QStringLiteral("Сохранить"), f.SaveStreet, &QAction::trigger);
    tabsMenu_->addAction(QStringLiteral("Сохранить как..."), f.SaveAs, &QAction::trigger);
    QAction *close = tabsMenu_->addAction(QStringLiteral("Закрыть"));
    close->setObjectName(QStringLiteral("CloseStreetMI"));
    connect(close, &QAction::triggered, this, [this] { CloseStreetPage(holder_.ActiveIndex()); });
    // The page the menu was opened on (the active one when it was opened off every tab).
    QAction *closePage = tabsMenu_->addAction(QStringLiteral("Закрыть страницу"));
    closePage->setObjectName(QStringLiteral("ClosePageMI"));
    connect(closePage, &QAction::triggered, this,
            [this] { CloseStreetPage(tabsMenuPage_ >= 0 ? tabsMenuPage_ : holder_.ActiveIndex()); });
    QAction *closeAll = tabsMenu_->addAction(QStringLiteral("Закрыть все"));
    closeAll->setObjectName(QStringLiteral("CloseAllMI"));
    connect(closeAll, &QAction::triggered, this, [this] {
        if (holder_.CanCloseAll())
            holder_.CloseAll();
        RefreshAll();
    });
    connect(f.StreetsTab, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        tabsMenuPage_ = ui_->StreetsTab->tabAt(pos);
        tabsMenu_->popup(ui_->StreetsTab->mapToGlobal(pos));
    });
    connect(f.StreetsTab, &QTabBar::currentChanged, this, &TMainForm::StreetsTabChanged);
}

void TMainForm::CloseStreetPage(int index) {
    // The street asks about unsaved changes itself; an index gone meanwhile closes nothing.
    if (index >= 0 && index < holder_.Count())
        holder_.CloseStreet(index, false);
    RefreshAll();
}

void TMainForm::SetupView() {
    Ui::MainForm &f = *ui_;
    f.DrawBox->OnContextReady = [this] {
        CreateRenderer();
        RefreshAll();
    };
    f.DrawBox->OnPictureWanted = [this] { RefreshAll(); };
    f.DrawBox->OnMouseDown = [this](TMouseEvents *, const TMouseEventArgs &e) {
        if (mouseMode_)
            mouseMode_->MouseDown(e);
    };
    f.DrawBox->OnMouseMove = [this](TMouseEvents *, const TMouseEventArgs &e) {
        if (mouseMode_)
            mouseMode_->MouseMove(e);
    };
    f.DrawBox->OnMouseUp = [this](TMouseEvents *, const TMouseEventArgs &e) {
        if (mouseMode_)
            mouseMode_->MouseUp(e);
    };
    f.DrawPanel->installEventFilter(this);
    f.ActionPanel->raise();
    f.CoordsPanel->raise();
    f.InfoSplitter->setStretchFactor(0, 1);
    f.InfoSplitter->setStretchFactor(1, 0);
    f.InfoGrid->PaintBlocked = [this] { return needRedraw_; };
    f.StreetsTab->setExpanding(false);
    f.StreetsTab->setDrawBase(false);
    f.StreetsTab->setMaximumHeight(22);
    f.StreetsTab->setIconSize(QSize(16, 16));
    f.FileNameLabel->setContentsMargins(4, 0, 4, 0);
}

void TMainForm::RestoreSettings() {
    TItemTypeSet layers = NamesToTypeSet(RegReadString(SectionCp(), Cp1251String("VisibleLayers")));
    visibleLayers_ = layers.IsEmpty() ? FullTypeSet() : layers;
    RestoreWidgetPos(this, true);
    int infoHeight = RegReadInteger(SectionCp(), Cp1251String("InfoPanel_Height"));
    if (infoHeight <= 0)
        infoHeight = ui_->InfoPanel->minimumHeight();
    infoHeight = std::min(infoHeight, std::max(ui_->InfoPanel->minimumHeight(), height() / 2));
    ui_->InfoSplitter->setSizes({std::max(1, height() - infoHeight), infoHeight});
}

void TMainForm::SaveSettings() {
    try {
        SaveWidgetPos(this, true);
        RegWriteString(SectionCp(), Cp1251String("VisibleLayers"), TypeSetToNames(visibleLayers_));
        RegWriteInteger(SectionCp(), Cp1251String("InfoPanel_Height"), ui_->InfoPanel->height());
    } catch (const std::exception &) {
        // Settings that cannot be written are no reason to fail the end of the program.
    }
}

// ---- Refresh

void TMainForm::RefreshAll() {
    if (destroying_)
        return;
    needRedraw_ = true;
    if (mouseMode_ && !mouseMode_->CheckContext()) {
        SetMouseMode(nullptr); // refreshes
        return;
    }
    UpdateContextModules();
    TFloatingAction::UpdateAll();
    TFloatingAction::LayoutButtons(ui_->ActionPanel);
    UpdateListeners.Call();
    UpdateStreetTabs();
    UpdateSaveActions();
}

void TMainForm::UpdateSaveActions() {
    const TStreetStructure *street = holder_.FindActiveStreet();
    ui_->SaveStreet->setEnabled(street != nullptr && street->Modified());
    ui_->SaveAs->setEnabled(true);
    ui_->SaveAll->setEnabled(holder_.AnyUnsaved());
}

void TMainForm::SetMouseMode(TMouseEvents *mode) {
    mouseMode_ = mode;
    ui_->DrawBox->unsetCursor();
    if (mode != nullptr) {
        QPointer<TMouseEvents> guard(mode);
        mode->Activate();
        if (guard && mode->Cursor != NoCursor)
            ui_->DrawBox->setCursor(ScreenCursor(mode->Cursor));
    }
    RefreshAll();
}

void TMainForm::SetVisibleLayers(const TItemTypeSet &layers) {
    visibleLayers_ = layers;
    RefreshAll();
}

TStreetStructure &TMainForm::CurrentStreet() {
    return holder_.ActiveStreet();
}

QString TMainForm::GetActiveFileName() const {
    return holder_.ActiveFileName();
}

void TMainForm::UpdateStreetTabs() {
    QTabBar &tabs = *ui_->StreetsTab;
    updatingTabs_ = true;
    const QStringList names = holder_.GetShortNames();
    while (tabs.count() > names.size())
        tabs.removeTab(tabs.count() - 1);
    while (tabs.count() < names.size())
        tabs.addTab(QString());
    for (int i = 0; i < names.size(); ++i) {
        if (tabs.tabText(i) != names[i])
            tabs.setTabText(i, names[i]);
        const int image = TabImageIndex(holder_.Streets(i));
        if (tabs.tabData(i).toInt() != image + 1) {
            tabs.setTabData(i, image + 1);
            tabs.setTabIcon(i, TabImage(image));
        }
    }
    if (holder_.ActiveIndex() >= 0 && tabs.currentIndex() != holder_.ActiveIndex())
        tabs.setCurrentIndex(holder_.ActiveIndex());
    tabs.setVisible(holder_.Count() > 0);
    const QString file = holder_.ActiveFileName();
    if (ui_->FileNameLabel->text() != file)
        ui_->FileNameLabel->setText(file);
    updatingTabs_ = false;
}

void TMainForm::StreetsTabChanged(int index) {
    if (updatingTabs_ || index < 0 || index == holder_.ActiveIndex())
        return;
    const TStreetView view = CurrentStreet().View();
    holder_.SetActiveIndex(index);
    if (planDrawer_->AllStreetsDraw)
        planDrawer_->SetView(view);
    emit ActiveStreetChanged();
    ShowPlan();
    RefreshAll();
}

// ---- Renderer and drawing

void TMainForm::CreateRenderer() {
    renderer_.reset();
    if (ui_->DrawBox->context() == nullptr)
        return; // the view is not shown yet: made when its context is
    try {
        renderer_ = std::make_unique<TDisplayRenderer>(ui_->DrawBox);
    } catch (const ED3DError &e) {
        UserPrompts().ShowMessage(TPromptKind::Error,
                                  QString::fromStdString(DeviceCreateFailedText(e.Result())) +
                                      QStringLiteral("\n") + QString::fromUtf8(e.what()));
    }
    needRedraw_ = true;
}

bool TMainForm::DrawTick() {
    if (destroying_ || !needRedraw_ || !renderer_ || activeDrawer_ == nullptr)
        return false;
    needRedraw_ = false;
    TdxRenderer &r = *renderer_;
    try {
        r.BeginDraw();
        try {
            activeDrawer_->Draw(visibleLayers_);
            DrawListeners.Call(activeDrawer_->DrawParams);
        } catch (...) {
            // The scene is closed whatever happened, or every later draw would fail on it.
            try {
                r.EndDraw();
            } catch (...) {
            }
            throw;
        }
        r.EndDraw();
        if (activeDrawer_->EndDraw() == D3DERR_DEVICELOST)
            throw ED3DError("IDirect3DDevice9.Present", D3DERR_DEVICELOST, "the view lost its target");
    } catch (const ED3DError &e) {
        if (e.Result() != D3DERR_DEVICELOST)
            throw;
        // The view's GL context went: a new renderer on the new one, and the picture again.
        CreateRenderer();
        return false;
    }
    ui_->DrawBox->PictureDrawn();
    ui_->InfoGrid->Rebuild(TInfoGrid::CollectLines());
    UpdateCaption();
    return true;
}

void TMainForm::UpdateCaption() {
    // glibc keeps no count of the blocks in use; the caption shows the bytes.
    const struct mallinfo2 m = mallinfo2();
    const QString caption =
        QStringLiteral("%1.  Mem usage %2").arg(QLatin1String(Caption)).arg(m.uordblks + m.hblkhd);
    if (caption != caption_) {
        caption_ = caption;
        setWindowTitle(caption);
    }
}

void TMainForm::SetVideoDrawer(std::unique_ptr<TDrawerObject> drawer) {
    if (!drawer)
        return;
    const bool active = activeDrawer_ == videoDrawer_.get();
    drawer->DrawMode = videoDrawer_->DrawMode;
    drawer->SizeFallback = videoDrawer_->SizeFallback;
    videoDrawer_ = std::move(drawer);
    if (active)
        activeDrawer_ = videoDrawer_.get();
    RefreshAll();
}

void TMainForm::ShowPlan() {
    if (activeDrawer_ == planDrawer_.get())
        return;
    activeDrawer_ = planDrawer_.get();
    RefreshAll();
    const QKeySequence key = ui_->ShowPlan->shortcut();
    ui_->ShowPlan->setShortcut(ui_->ShowVideo->shortcut());
    ui_->ShowVideo->setShortcut(key);
}

void TMainForm::ShowVideo() {
    if (activeDrawer_ == videoDrawer_.get())
        return;
    activeDrawer_ = videoDrawer_.get();
    RefreshAll();
    const QKeySequence key = ui_->ShowPlan->shortcut();
    ui_->ShowPlan->setShortcut(ui_->ShowVideo->shortcut());
    ui_->ShowVideo->setShortcut(key);
}

// ---- Settings values of the window

bool TMainForm::VideoReadOnly() const {
    // Survey files are never written unless the user asked for it.
    return RegReadBool(SectionCp(), Cp1251String("FVideoReadOnly"), true);
}

void TMainForm::SetVideoReadOnly(bool value) {
    RegWriteBool(SectionCp(), Cp1251String("FVideoReadOnly"), value);
}

// ---- Menus

void TMainForm::MoveMenuItems(QMenu *source, QMenu *dest) {
    if (source == nullptr || dest == nullptr || source == dest)
        return;
    const QList<QAction *> items = source->actions();
    for (QAction *a : items) {
        source->removeAction(a);
        dest->addAction(a);
    }
    UpdateMenuBar();
}

QMenu *TMainForm::MenuNamed(const QString &name) const {
    return ui_->MainMenu->findChild<QMenu *>(name, Qt::FindDirectChildrenOnly);
}

void TMainForm::UpdateMenuBar() {
    for (QAction *a : ui_->MainMenu->actions())
        if (QMenu *m = a->menu())
            a->setVisible(!m->isEmpty() || m == ui_->FileMI);
}

void TMainForm::SetPrintSetupHandler(std::function<void()> handler) {
    printSetup_ = std::move(handler);
    const bool has = static_cast<bool>(printSetup_);
    ui_->PrintSetup->setVisible(has);
    ui_->PrintSetupSB->setVisible(has);
}

void TMainForm::SetTemporaryModes(TMouseEvents *pan, TMouseEvents *rotate) {
    panMode_ = pan;
    rotateMode_ = rotate;
}

void TMainForm::BuildGroupsMenu() {
    QMenu &menu = *groupsMenu_;
    menu.clear();
    TStreetStructure &street = CurrentStreet();
    const TNameValueList &groups = street.GroupNames();
    // The prefix of a group is its name up to and including the first "_".
    auto prefixOf = [](const QString &name) {
        const qsizetype cut = name.indexOf(u'_');
        return cut < 0 ? QString() : name.left(cut + 1);
    };
    std::vector<std::pair<QString, QMenu *>> prefixes;
    for (int i = 0; i < groups.Count(); ++i) {
        const QString prefix = prefixOf(ToQString(groups.Names(i)));
        if (prefix.isEmpty() ||
            std::any_of(prefixes.begin(), prefixes.end(), [&](const auto &p) { return p.first == prefix; }))
            continue;
        prefixes.emplace_back(prefix, menu.addMenu(prefix));
    }
    const bool hasSelection = street.Selection().Count() > 0;
    for (int i = 0; i < groups.Count(); ++i) {
        const Cp1251String name = groups.Names(i);
        const QString qname = ToQString(name);
        const QString prefix = prefixOf(qname);
        QMenu *parent = &menu;
        for (const auto &[p, m] : prefixes)
            if (p == prefix)
                parent = m;
        QMenu *item = parent->addMenu(prefix.isEmpty() ? qname : qname.mid(prefix.size()));
        const bool on = groups.ValueFromIndex(i) == Cp1251String("ON");
        const bool off = groups.ValueFromIndex(i) == Cp1251String("OFF");
        QAction *enable = item->addAction(QStringLiteral("Включить"), this, [this, name] {
            CurrentStreet().SetGroupValue(name, Cp1251String("ON"));
            RefreshAll();
        });
        enable->setEnabled(off);
        QAction *disable = item->addAction(QStringLiteral("Выключить"), this, [this, name] {
            CurrentStreet().SetGroupValue(name, Cp1251String("OFF"));
            RefreshAll();
        });
        disable->setEnabled(on);
        item->addAction(QStringLiteral("Выбрать"), this, [this, name] {
            TStreetStructure &s = CurrentStreet();
            s.SetGroupValue(name, Cp1251String("ON"));
            s.RefreshActiveAll();
            s.Selection().Clear();
            for (int code = 0; code < ItemTypeCount; ++code)
                for (const auto &it : s.Lists(code))
                    if (SameText(it->GroupName(), name))
                        s.Selection().AddItem(it.get());
            RefreshAll();
        });
        QAction *add = item->addAction(QStringLiteral("Добавить выбранное"), this, [this, name] {
            TStreetStructure &s = CurrentStreet();
            std::vector<TAbstractItem *> selected(s.Selection().Slots());
            for (TAbstractItem *it : selected)
                if (it != nullptr)
                    it->SetGroupName(name);
            RefreshAll();
        });
        add->setEnabled(hasSelection);
    }
    if (OnEditGroups)
        menu.addAction(QStringLiteral("Редактор..."), this, [this] { OnEditGroups(); });
}

// ---- Layout of the view's panel

void TMainForm::LayoutDrawPanel() {
    Ui::MainForm &f = *ui_;
    f.DrawBox->setGeometry(f.DrawPanel->rect());
    f.ActionPanel->move(0, 0);
    f.CoordsPanel->adjustSize();
    f.CoordsPanel->move(f.DrawPanel->width() - f.CoordsPanel->width(), 0);
}

// ---- Input

bool TMainForm::OwnsWidget(QObject *object) const {
    const auto *w = qobject_cast<const QWidget *>(object);
    return w != nullptr && w->window() == this;
}

bool TMainForm::WantsKey(QKeyEvent *event) const {
    const QKeyCombination pressed = PhysicalKeyCombination(*event);
    const int key = pressed.key();
    for (QAction *a : actions())
        if (a->isEnabled() && ShortcutMatches(a->shortcut(), *event))
            return true;
    if (key == Qt::Key_Q || key == Qt::Key_W)
        return true;
    if (IsArrowKey(key) && PointerButtonHeld())
        return true;
    return TFloatingAction::FindByShortCut(pressed, false, true) != nullptr;
}

bool TMainForm::KeyDown(QKeyEvent *event) {
    const QKeyCombination pressed = PhysicalKeyCombination(*event);
    const int key = pressed.key();
    // The window's own commands first, as their shortcuts would have run them.
    for (QAction *a : actions())
        if (a->isEnabled() && a->isVisible() && ShortcutMatches(a->shortcut(), *event)) {
            if (!event->isAutoRepeat())
                a->trigger();
            return true;
        }
    if (IsArrowKey(key) && PointerButtonHeld()) {
        const int dx = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
        const int dy = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
        QCursor::setPos(QCursor::pos() + QPoint(dx, dy));
        return true;
    }
    TempMode.KeyDown(key, event->isAutoRepeat());
    if (TFloatingAction *a = TFloatingAction::FindByShortCut(pressed, false, true))
        a->Click();
    int listenerKey = key;
    KeyListeners.Call(this, listenerKey, event->modifiers());
    return true;
}

bool TMainForm::KeyUp(QKeyEvent *event) {
    TempMode.KeyUp(PhysicalKeyCombination(*event).key(), event->isAutoRepeat());
    return true;
}

bool TMainForm::Wheel(QWheelEvent *event) {
    const QPoint pos = ui_->DrawBox->mapFromGlobal(event->globalPosition().toPoint());
    const int w = ui_->DrawBox->width(), h = ui_->DrawBox->height();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() > w || pos.y() > h)
        return false;
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    // One notch is 120; finer wheels add up to whole notches.
    wheelRemainder_ += delta;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    while (std::abs(wheelRemainder_) >= 120) {
        const int sign = wheelRemainder_ > 0 ? 1 : -1;
        wheelRemainder_ -= sign * 120;
        const qreal ratio = ui_->DrawBox->devicePixelRatioF();
        WheelNotch(sign, ctrl, qRound(pos.x() * ratio), qRound(pos.y() * ratio));
    }
    event->accept();
    RefreshAll();
    return true;
}

void TMainForm::WheelNotch(int sign, bool ctrl, int x, int y) {
    if (!PlanShown()) {
        if (OnVideoWheel)
            OnVideoWheel(sign >= 0, ctrl);
        return;
    }
    planDrawer_->WheelStep(sign * (ctrl ? 5 : 2), x, y);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
    if (destroying_)
        return false;
    if (watched == ui_->DrawPanel && event->type() == QEvent::Resize) {
        LayoutDrawPanel();
        return false;
    }
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Keys the window takes come to it as key presses instead of running Qt's shortcuts.
        auto *key = static_cast<QKeyEvent *>(event);
        if (OwnsWidget(watched) && !TextInputHasFocus() && WantsKey(key)) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress:
        if (OwnsWidget(watched) && !TextInputHasFocus())
            return KeyDown(static_cast<QKeyEvent *>(event));
        return false;
    case QEvent::KeyRelease:
        if (OwnsWidget(watched) && !TextInputHasFocus())
            return KeyUp(static_cast<QKeyEvent *>(event));
        return false;
    case QEvent::Wheel:
        if (OwnsWidget(watched))
            return Wheel(static_cast<QWheelEvent *>(event));
        return false;
    default:
        return false;
    }
}

void TMainForm::changeEvent(QEvent *event) {
    // A key let go in another window never comes here: the temporary mode ends with the activation.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        TempMode.Cancel();
    QMainWindow::changeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event) {
    if (!holder_.CanCloseAll()) {
        event->ignore();
        return;
    }
    holder_.CloseAll();
    UpdateTimer.stop();
    GridTimer.stop();
    event->accept();
}
