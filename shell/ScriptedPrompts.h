#pragma once
// Prompts answered from a script, for tests and unattended runs. Answers are queued in the order the
// questions are expected; each question takes the next answer if it is of its kind. A question without a
// matching answer is recorded as unexpected and answered with Cancel (or no choice). Every question and
// message is logged as "<kind>: <text>" so that tests can check what the user would have seen.
#include "shell/UserPrompts.h"

#include <deque>
#include <optional>
#include <vector>

class TScriptedPrompts : public IUserPrompts {
public:
    TScriptedPrompts &Answer(TPromptAnswer answer);
    // The value editor: Ok with the text, or Cancel.
    TScriptedPrompts &EnterText(const QString &text);
    TScriptedPrompts &CancelText();
    TScriptedPrompts &Select(int index, bool ok = true);
    TScriptedPrompts &TypeSet(const TItemTypeSet &set, bool ok = true);
    TScriptedPrompts &Menu(int index);
    // Values typed one after the other into the live number editor, then Ok or Cancel.
    TScriptedPrompts &TypeFloats(std::vector<double> values, bool ok);
    TScriptedPrompts &Files(QStringList files);
    TScriptedPrompts &CancelFiles();
    TScriptedPrompts &Directory(const QString &dir);
    TScriptedPrompts &Picture(const QString &file);
    // The check list: Ok with exactly these entries ticked, or Cancel.
    TScriptedPrompts &Check(QList<int> ticked, bool ok = true);

    void ShowMessage(TPromptKind kind, const QString &text) override;
    TPromptAnswer Ask(TPromptKind kind, const QString &text, TPromptButtons buttons) override;
    bool EditString(const QString &caption, const QPoint &pos, QString &text) override;
    bool SelectString(const QPoint &pos, const QString &caption, const QStringList &items,
                      int &index) override;
    bool EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) override;
    int PopupMenu(const QStringList &entries) override;
    void EditFloatLive(const QPoint &pos, const QString &caption, double value,
                       const std::function<void(double)> &callback) override;
    bool ChooseFiles(const TFileDialogRequest &request, QStringList &files) override;
    bool ChooseDirectory(const QString &caption, QString &dir) override;
    bool ChoosePicture(const QString &caption, QString &file) override;
    bool CheckItems(const QString &caption, const QString &text, const QStringList &items,
                    QList<bool> &checked) override;

    const QStringList &Log() const { return log_; }
    // Messages shown (ShowMessage only), in order.
    const QStringList &Messages() const { return messages_; }
    const QStringList &Unexpected() const { return unexpected_; }
    // Every queued answer was taken and nothing unexpected was asked.
    bool Done() const { return script_.empty() && unexpected_.isEmpty(); }
    // What the last question of each kind was given.
    const std::optional<TFileDialogRequest> &LastFileRequest() const { return lastFileRequest_; }
    const QStringList &LastMenuEntries() const { return lastMenu_; }
    const QStringList &LastSelectItems() const { return lastItems_; }
    // The entries of the last check list and their ticks at start.
    const QStringList &LastCheckItems() const { return lastCheckItems_; }
    const QList<bool> &LastCheckTicks() const { return lastCheckTicks_; }
    QString LastEditDefault() const { return lastEditDefault_; }
    TItemTypeSet LastTypeSetOffered() const { return lastFullSet_; }

private:
    enum class TKind { Ask, Edit, Select, TypeSet, Menu, Floats, Files, Directory, Picture, Check };
    struct TAnswer {
        TKind Kind = TKind::Ask;
        bool Ok = true;
        TPromptAnswer Button = TPromptAnswer::Cancel;
        QString Text;
        int Index = -1;
        TItemTypeSet Set;
        std::vector<double> Values;
        QStringList List;
        QList<int> Ticked;
    };
    // The next answer when it is of the kind asked; otherwise records the question as unexpected.
    std::optional<TAnswer> Take(TKind kind, const QString &question);
    TScriptedPrompts &Queue(TAnswer answer);

    std::deque<TAnswer> script_;
    QStringList log_, messages_, unexpected_;
    std::optional<TFileDialogRequest> lastFileRequest_;
    QStringList lastMenu_, lastItems_;
    QString lastEditDefault_;
    TItemTypeSet lastFullSet_;
    QStringList lastCheckItems_;
    QList<bool> lastCheckTicks_;
};
