#include "shell/ModuleRows.h"

#include "shell/ImageData.h"

#include <QApplication>
#include <QPalette>

namespace {

bool Holds(const TRule &rule) {
    return !rule || rule();
}

} // namespace

TFloatingAction *MakeActionFromRow(QObject *owner, const QString &category, const TActionRow &row) {
    TFloatingAction *a = TFloatingAction::Make(owner, category, row.Name, row.Hint, row.Key);
    if (row.Image != nullptr)
        a->setIcon(ImageData().ActionIcon(QString::fromLatin1(row.Image), row.Hint));
    a->Toggle = row.Toggle;
    a->OnUpdateState = [enabled = row.Enabled, visible = row.Visible,
                        down = row.Down](TFloatingAction *self) {
        self->SetEnabled(Holds(enabled));
        self->SetVisible(Holds(visible));
        if (down)
            self->SetDown(down());
    };
    if (row.Execute)
        a->OnExecute = [execute = row.Execute, enabled = row.Enabled,
                        guarded = row.ExecuteOnlyWhenEnabled](TFloatingAction *) {
            if (guarded && !Holds(enabled))
                return;
            execute();
        };
    if (row.MouseUp)
        a->OnMouseUp = row.MouseUp;
    if (row.Slot != nullptr)
        *row.Slot = a;
    return a;
}

void MakeActionsFromRows(QObject *owner, const QString &category, std::span<const TActionRow> rows) {
    for (const TActionRow &row : rows)
        MakeActionFromRow(owner, category, row);
}

TInfoStringAction *MakeInfoFromRow(QObject *owner, const TInfoRow &row) {
    auto *a = new TInfoStringAction(owner);
    a->setObjectName(QString::fromLatin1(row.Name));
    a->setText(row.Caption);
    if (!row.ToolTip.isEmpty())
        a->setToolTip(row.ToolTip);
    a->Category = row.Category;
    a->SetDefaultColors(row.Back.isValid() ? row.Back : QApplication::palette().color(QPalette::Base),
                        row.Text);
    if (row.Valid)
        a->OnGetValid = [valid = row.Valid](TInfoStringAction *, bool &v) { v = valid(); };
    if (row.Value)
        a->OnGetInfo = [value = row.Value](TInfoStringAction *self, QString &s) { s = value(*self); };
    if (row.Click)
        a->OnClick = [click = row.Click](TInfoStringAction *) { click(); };
    if (row.Slot != nullptr)
        *row.Slot = a;
    return a;
}

void MakeInfoLinesFromRows(QObject *owner, std::span<const TInfoRow> rows) {
    for (const TInfoRow &row : rows)
        MakeInfoFromRow(owner, row);
}

void BindActionRow(QAction &action, const TActionRow &row) {
    if (row.Name != nullptr && action.objectName().isEmpty())
        action.setObjectName(QString::fromLatin1(row.Name));
    const char *image = row.Image != nullptr ? row.Image : row.Name;
    if (image != nullptr)
        action.setIcon(ImageData().ActionIcon(QString::fromLatin1(image), action.text()));
    if (!row.Hint.isEmpty()) {
        action.setText(row.Hint);
        action.setToolTip(row.Hint);
    }
    if (!row.Key.isEmpty())
        action.setShortcut(row.Key);
    if (row.Execute)
        QObject::connect(&action, &QAction::triggered, &action, [execute = row.Execute] { execute(); });
    ApplyActionRules(action, row);
}

void ApplyActionRules(QAction &action, const TActionRow &row) {
    if (row.Enabled)
        action.setEnabled(row.Enabled());
    if (row.Visible)
        action.setVisible(row.Visible());
}
