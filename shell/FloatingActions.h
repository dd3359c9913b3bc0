#pragma once
// Floating actions: commands that modules put on the view's action panel as small buttons, one row per
// category, each with its own shortcut. They join a global list when made and leave it when destroyed
// (or when their module retires), so the panel always shows the actions of the living modules.
//
// The main window routes keys: FindByShortCut finds the first action whose shortcut is the physical key
// pressed and clicks it, whether or not its button is visible; an enabled action of an editor module
// comes before the others.
#include "shell/MouseEvents.h"

#include <QAction>
#include <QKeySequence>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class TFloatingButton;

class TFloatingAction : public QAction {
    Q_OBJECT
public:
    using THandler = std::function<void(TFloatingAction *)>;
    using TMouseHandler = std::function<void(TFloatingAction *, const TMouseEventArgs &)>;

    explicit TFloatingAction(QObject *parent = nullptr);
    ~TFloatingAction() override;

    // A module's command: named (the name also finds its image), with the hint as text and tool tip, the
    // shortcut, and its place at the end of the category's row.
    static TFloatingAction *Make(QObject *owner, const QString &category, const char *name,
                                 const QString &hint, const QKeySequence &shortcut);

    // Enabled and visible as the module set them. (Qt disables an action that is hidden, but a hidden,
    // enabled floating action still answers its shortcut.) Use these, or the QAction setters through a
    // TFloatingAction pointer, which they shadow.
    bool Enabled() const { return enabled_; }
    bool Visible() const { return isVisible(); }
    void SetEnabled(bool enabled);
    void SetVisible(bool visible) { QAction::setVisible(visible); }
    void setEnabled(bool enabled) { SetEnabled(enabled); }
    void setDisabled(bool disabled) { SetEnabled(!disabled); }

    QString Category() const { return category_; }
    // Moves the action to the end of the category's row (a new category goes below the others).
    void SetCategory(const QString &category);

    // Sets Enabled, Visible or Down before each layout.
    THandler OnUpdateState;
    // The command and the calls around it when the button is clicked.
    THandler BeforeExecute, OnExecute, AfterExecute;
    // Mouse events of its button.
    TMouseHandler OnMouseDown, OnMouseMove, OnMouseUp;
    // The button stays down until clicked again.
    bool Toggle = false;
    // Marked for repetition while held; nothing repeats.
    bool AutoRep = false;

    TFloatingButton *Button() const { return button_; }
    bool GetDown() const { return down_; }
    void SetDown(bool down);

    // A click: a toggle flips Down, any other comes up; then BeforeExecute, OnExecute, AfterExecute.
    void Click();

    // Leaves the global list and its category, and hides its button (done by the destructor too).
    void Detach();
    bool IsDetached() const { return detached_; }

    // All actions in the order they were made.
    static std::vector<TFloatingAction *> All();
    // Category names in first-seen order, and the actions of one.
    static std::vector<QString> Categories();
    static std::vector<TFloatingAction *> CategoryActions(const QString &category);

    // OnUpdateState of every action, in the order they were made.
    static void UpdateAll();
    // Places the buttons of the visible actions on the panel, one row per category; the panel takes the
    // size of the widest row and the rows' total height. Returns that size.
    static QSize LayoutButtons(QWidget *panel);
    // The first action whose shortcut is the key pressed, that is enabled (or includeDisabled) and visible
    // (or includeHidden), the enabled actions of live editor modules first; nullptr when none.
    static TFloatingAction *FindByShortCut(const QKeyCombination &pressed, bool includeDisabled,
                                           bool includeHidden);

    // The size of the images the buttons show (the action images of the image data module).
    static QSize ImageSize();
    static void SetImageSize(const QSize &size);

private:
    friend class TFloatingButton;
    TFloatingButton *MakeButton(QWidget *panel);

    QString category_;
    bool categorised_ = false;
    bool enabled_ = true;
    bool down_ = false;
    bool detached_ = false;
    QPointer<TFloatingButton> button_;
};

// The button of a floating action: an edge (sunken while down, raised while the pointer is over it) and
// the action's image.
class TFloatingButton : public QWidget {
    Q_OBJECT
public:
    TFloatingButton(TFloatingAction *action, QWidget *parent);
    ~TFloatingButton() override;

    TFloatingAction *Action() const { return action_; }
    bool Hot() const { return hot_; }
    QSize sizeHint() const override;
    // Follows the action's enabled state, hint and image.
    void SyncWithAction();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<TFloatingAction> action_;
    bool hot_ = false;
};
