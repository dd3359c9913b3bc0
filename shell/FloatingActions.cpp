#include "shell/FloatingActions.h"

#include "shell/ContextModules.h"

#include "shell/ImageData.h"
#include "shell/Keyboard.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include <algorithm>

namespace {

struct TCategory {
    QString Name;
    std::vector<TFloatingAction *> Actions;
};

struct TFloatingLists {
    std::vector<TFloatingAction *> All;
    std::vector<TCategory> Categories;
    QSize ImageSize{24, 24};
};

TFloatingLists &Lists() {
    static TFloatingLists lists;
    return lists;
}

void LeaveCategory(TFloatingAction *action, const QString &name) {
    auto &cats = Lists().Categories;
    for (auto it = cats.begin(); it != cats.end(); ++it)
        if (it->Name == name) {
            std::erase(it->Actions, action);
            if (it->Actions.empty())
                cats.erase(it);
            return;
        }
}

bool Listed(const TFloatingAction *action) {
    const auto &all = Lists().All;
    return std::find(all.begin(), all.end(), action) != all.end();
}

TMouseEventArgs ArgsOf(const QMouseEvent *e) {
    TMouseEventArgs a;
    a.Button = e->button();
    a.Buttons = e->buttons();
    a.Modifiers = e->modifiers();
    a.X = qRound(e->position().x());
    a.Y = qRound(e->position().y());
    return a;
}

} // namespace

TFloatingAction::TFloatingAction(QObject *parent) : QAction(parent) {
    Lists().All.push_back(this);
    SetCategory(QString());
    // Put into a menu, the action runs the same command as its button.
    connect(this, &QAction::triggered, this, [this] { Click(); });
    connect(this, &QAction::changed, this, [this] {
        if (button_) {
            button_->SyncWithAction();
            if (!isVisible())
                button_->hide();
        }
    });
}

TFloatingAction::~TFloatingAction() {
    Detach();
}

void TFloatingAction::SetCategory(const QString &category) {
    if (detached_)
        return;
    if (categorised_)
        LeaveCategory(this, category_);
    category_ = category;
    categorised_ = true;
    auto &cats = Lists().Categories;
    auto it = std::find_if(cats.begin(), cats.end(), [&](const TCategory &c) { return c.Name == category; });
    if (it == cats.end())
        cats.push_back({category, {this}});
    else
        it->Actions.push_back(this);
}

void TFloatingAction::SetEnabled(bool enabled) {
    enabled_ = enabled;
    QAction::setEnabled(enabled);
}

void TFloatingAction::SetDown(bool down) {
    down_ = down;
    if (button_)
        button_->update();
}

void TFloatingAction::Click() {
    down_ = Toggle ? !down_ : false;
    if (button_)
        button_->update();
    // The command may free the action's module: each step checks that the action is still listed.
    QPointer<TFloatingAction> self(this);
    for (THandler *h : {&BeforeExecute, &OnExecute, &AfterExecute}) {
        if (!self || detached_)
            return;
        if (*h) {
            const THandler handler = *h; // the handler may replace itself
            handler(this);
        }
    }
}

void TFloatingAction::Detach() {
    if (detached_)
        return;
    detached_ = true;
    std::erase(Lists().All, this);
    if (categorised_)
        LeaveCategory(this, category_);
    if (button_) {
        button_->hide();
        button_->deleteLater();
        button_ = nullptr;
    }
}

std::vector<TFloatingAction *> TFloatingAction::All() {
    return Lists().All;
}

std::vector<QString> TFloatingAction::Categories() {
    std::vector<QString> names;
    for (const TCategory &c : Lists().Categories)
        names.push_back(c.Name);
    return names;
}

std::vector<TFloatingAction *> TFloatingAction::CategoryActions(const QString &category) {
    for (const TCategory &c : Lists().Categories)
        if (c.Name == category)
            return c.Actions;
    return {};
}

void TFloatingAction::UpdateAll() {
    const std::vector<TFloatingAction *> snapshot = Lists().All;
    for (TFloatingAction *a : snapshot)
        if (Listed(a) && a->OnUpdateState) {
            const THandler handler = a->OnUpdateState;
            handler(a);
        }
}

TFloatingButton *TFloatingAction::MakeButton(QWidget *panel) {
    if (button_ && button_->parentWidget() != panel) {
        button_->deleteLater();
        button_ = nullptr;
    }
    if (!button_)
        button_ = new TFloatingButton(this, panel);
    return button_;
}

QSize TFloatingAction::LayoutButtons(QWidget *panel) {
    int y = 0, width = 0;
    for (const TCategory &cat : Lists().Categories) {
        int x = 0, rowHeight = 0;
        for (TFloatingAction *a : cat.Actions) {
            if (!a->isVisible()) {
                if (a->button_)
                    a->button_->hide();
                continue;
            }
            TFloatingButton *b = a->MakeButton(panel);
            b->SyncWithAction();
            const QSize size = b->sizeHint();
            b->setGeometry(x, y, size.width(), size.height());
            b->show();
            x += size.width();
            rowHeight = std::max(rowHeight, size.height());
        }
        width = std::max(width, x);
        y += rowHeight;
    }
    const QSize size(width, y);
    if (panel)
        panel->resize(size);
    return size;
}

TFloatingAction *TFloatingAction::Make(QObject *owner, const QString &category, const char *name,
                                       const QString &hint, const QKeySequence &shortcut) {
    auto *a = new TFloatingAction(owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setText(hint);
    a->setToolTip(hint);
    a->setShortcut(shortcut);
    a->setIcon(ImageData().ActionIcon(QString::fromLatin1(name), hint));
    a->SetCategory(category);
    return a;
}

TFloatingAction *TFloatingAction::FindByShortCut(const QKeyCombination &pressed, bool includeDisabled,
                                                 bool includeHidden) {
    // Editor modules come and go with the selection: an enabled action of one takes its key before the
    // window's own actions holding the same key, which are there whatever is selected.
    for (TFloatingAction *a : Lists().All) {
        const QKeySequence sc = a->shortcut();
        if (sc.isEmpty() || !ShortcutMatches(sc[0], pressed) || !a->Enabled() ||
            !(includeHidden || a->Visible()))
            continue;
        const auto *module = qobject_cast<const TContextDataModule *>(a->parent());
        if (module != nullptr && !module->IsRetired())
            return a;
    }
    for (TFloatingAction *a : Lists().All) {
        const QKeySequence sc = a->shortcut();
        if (sc.isEmpty() || !ShortcutMatches(sc[0], pressed))
            continue;
        if ((includeDisabled || a->Enabled()) && (includeHidden || a->Visible()))
            return a;
    }
    return nullptr;
}

QSize TFloatingAction::ImageSize() {
    return Lists().ImageSize;
}

void TFloatingAction::SetImageSize(const QSize &size) {
    Lists().ImageSize = size;
}

TFloatingButton::TFloatingButton(TFloatingAction *action, QWidget *parent)
    : QWidget(parent), action_(action) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    SyncWithAction();
}

TFloatingButton::~TFloatingButton() = default;

QSize TFloatingButton::sizeHint() const {
    if (!action_ || action_->icon().isNull())
        return {16, 16};
    return TFloatingAction::ImageSize() + QSize(4, 4);
}

void TFloatingButton::SyncWithAction() {
    if (!action_)
        return;
    setEnabled(action_->Enabled());
    setToolTip(action_->toolTip());
    if (!isEnabled())
        hot_ = false;
    update();
}

void TFloatingButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const bool down = action_ && action_->GetDown();
    if (down)
        qDrawShadePanel(&p, rect(), palette(), true, 1);
    else if (hot_)
        qDrawShadePanel(&p, rect(), palette(), false, 1);
    if (action_ && !action_->icon().isNull()) {
        const QSize s = TFloatingAction::ImageSize();
        const QPixmap pm = action_->icon().pixmap(s, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        p.drawPixmap(QRect(QPoint(2, 2), s), pm);
    }
}

void TFloatingButton::enterEvent(QEnterEvent *) {
    hot_ = isEnabled();
    update();
}

void TFloatingButton::leaveEvent(QEvent *) {
    hot_ = false;
    if (action_ && !action_->Toggle)
        action_->down_ = false;
    update();
}

void TFloatingButton::mousePressEvent(QMouseEvent *e) {
    if (!action_ || !isEnabled())
        return;
    if (!action_->Toggle)
        action_->down_ = true;
    update();
    if (action_->OnMouseDown) {
        const auto handler = action_->OnMouseDown;
        handler(action_, ArgsOf(e));
    }
}

void TFloatingButton::mouseMoveEvent(QMouseEvent *e) {
    if (action_ && action_->OnMouseMove) {
        const auto handler = action_->OnMouseMove;
        handler(action_, ArgsOf(e));
    }
}

void TFloatingButton::mouseReleaseEvent(QMouseEvent *e) {
    if (!action_)
        return;
    if (!action_->Toggle)
        action_->down_ = false;
    update();
    QPointer<TFloatingAction> action(action_);
    if (action_->OnMouseUp) {
        const auto handler = action_->OnMouseUp;
        handler(action_, ArgsOf(e));
    }
    if (action && !action->IsDetached() && e->button() == Qt::LeftButton &&
        rect().contains(e->position().toPoint()))
        action->Click();
}
