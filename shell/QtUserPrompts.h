#pragma once
// The prompts shown to the user: Russian message boxes and the program's own dialogs.
#include "shell/UserPrompts.h"

class TQtUserPrompts : public IUserPrompts {
public:
    void ShowMessage(TPromptKind kind, const QString &text) override;
    TPromptAnswer Ask(TPromptKind kind, const QString &text, TPromptButtons buttons) override;
    bool EditString(const QString &caption, const QPoint &pos, QString &text) override;
    bool SelectString(const QPoint &pos, const QString &caption, const QStringList &items,
                      int &index) override;
    bool EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) override;
    int PopupMenu(const QStringList &entries) override;
    int PopupEntries(const std::vector<TMenuEntry> &entries) override;
    bool ChooseColor(QColor &colour, std::vector<QColor> &customColours) override;
    bool EditFloatLive(const QPoint &pos, const QString &caption, double value,
                       const std::function<void(double)> &callback) override;
    bool ChooseFiles(const TFileDialogRequest &request, QStringList &files) override;
    bool ChooseDirectory(const QString &caption, QString &dir) override;
    bool ChoosePicture(const QString &caption, QString &file) override;
    bool CheckItems(const QString &caption, const QString &text, const QStringList &items,
                    QList<bool> &checked) override;
};

// A filter in the system's form ("Text|*.txt|All|*.*") as a Qt file dialog filter ("Text (*.txt);;All (*)").
QString QtFileFilter(const QString &filter);
