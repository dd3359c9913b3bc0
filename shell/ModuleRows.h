#pragma once
// Modules describe their floating actions and info lines as tables of rows: one row per action (name, hint,
// key, image, enabled rule, visible rule, handler) and one per info line (name, caption, category, colours,
// validity, value, click). The rows are read once when the module is made; the rules are asked before each
// layout of the panel and each refresh of the grid, so nothing needs patching after creation.
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"

#include <QColor>
#include <QKeySequence>
#include <QString>

#include <functional>
#include <span>

using TRule = std::function<bool()>;

struct TActionRow {
    // The action's object name; also the name of its image unless Image is given.
    const char *Name = nullptr;
    QString Hint{};
    QKeySequence Key{};
    const char *Image = nullptr;
    // Asked before each layout; no rule is "always".
    TRule Enabled{}, Visible{};
    std::function<void()> Execute{};
    // Where the module keeps the made action (may be null).
    TFloatingAction **Slot = nullptr;
    // The execution checks the enabled rule again: a shortcut or a script reaches a hidden or disabled
    // action too, and the rules must hold there as well.
    bool ExecuteOnlyWhenEnabled = true;
    // The button stays down until clicked again.
    bool Toggle = false;
    // The button shows a state of its own (asked with the other rules).
    TRule Down{};
    TFloatingAction::TMouseHandler MouseUp{};
};

struct TInfoRow {
    const char *Name = nullptr;
    QString Caption{};
    QString Category{};
    // The value's colour; the background is the window's unless Back is valid.
    QColor Text = QColor(Qt::black);
    QColor Back{};
    // No rule is "always".
    TRule Valid{};
    // The value text; may set the line's colours or tool tip through the line.
    std::function<QString(TInfoStringAction &)> Value{};
    // No handler: the line cannot be clicked.
    std::function<void()> Click{};
    QString ToolTip{};
    TInfoStringAction **Slot = nullptr;
};

// Makes one action owned by the owner, in the category's row of the panel.
TFloatingAction *MakeActionFromRow(QObject *owner, const QString &category, const TActionRow &row);
void MakeActionsFromRows(QObject *owner, const QString &category, std::span<const TActionRow> rows);

TInfoStringAction *MakeInfoFromRow(QObject *owner, const TInfoRow &row);
void MakeInfoLinesFromRows(QObject *owner, std::span<const TInfoRow> rows);

// Applies an action row to an action made elsewhere (a form's own action): the image, the hint and key when
// given, and the handler. Its rules are asked by ApplyActionRules.
void BindActionRow(QAction &action, const TActionRow &row);
void ApplyActionRules(QAction &action, const TActionRow &row);
