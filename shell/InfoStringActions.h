#pragma once
// Info lines: one cell "caption = value" each in the info grid under the view. Modules make them; they
// join a global list when made and leave it when destroyed (or when their module retires). Whether a line
// is shown is the user's choice, kept in the settings per category and caption.
#include <QAction>
#include <QColor>
#include <QStringList>

#include <functional>
#include <vector>

class TInfoStringAction : public QAction {
    Q_OBJECT
public:
    explicit TInfoStringAction(QObject *parent = nullptr);
    ~TInfoStringAction() override;

    // Groups lines in the visibility dialog.
    QString Category;
    // The value text; may set BackColor and TextColor for the value.
    std::function<void(TInfoStringAction *, QString &)> OnGetInfo;
    // Whether the line applies now.
    std::function<void(TInfoStringAction *, bool &)> OnGetValid;
    // An edit request from the grid.
    std::function<void(TInfoStringAction *)> OnClick;
    QColor BackColor, TextColor;

    // Sets the colours and remembers them as the defaults GetInfo returns to (the window-text colour is
    // taken as black).
    void SetDefaultColors(const QColor &back, const QColor &text);
    // Colours back to their defaults, then the value (empty without OnGetInfo).
    QString GetInfo();
    // True unless OnGetValid says otherwise.
    bool IsValid();
    void DoClick();
    // The user's choice from the settings ("Visible" under
    // "TInfoStringAction\ActionStates\<category>\<caption>"); the action's Visible when never stored.
    bool GetShown() const;
    void SaveShown(bool shown) const;

    void Detach();
    bool IsDetached() const { return detached_; }

    // All info lines in the order they were made.
    static std::vector<TInfoStringAction *> All();
    // Appends each category not yet in the list, in the order the lines were made.
    static void ListCategories(QStringList &categories);
    static TInfoStringAction *Find(const QString &category, const QString &caption);

private:
    QColor defaultBack_, defaultText_;
    bool detached_ = false;
};
