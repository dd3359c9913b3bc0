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
    // The colour chooser: Ok with the colour (and the custom colours replaced when given), or Cancel.
    TScriptedPrompts &Colour(const QColor &colour, std::vector<QColor> custom = {});
    TScriptedPrompts &CancelColour();
    // The check list: Ok with exactly these entries ticked, or Cancel.
    TScriptedPrompts &Check(QList<int> ticked, bool ok = true);

    void ShowMessage(TPromptKind kind, const QString &text) override;
    TPromptAnswer Ask(TPromptKind kind, const QString &text, TPromptButtons buttons) override;
    bool EditString(const QString &caption, const QPoint &pos, QString &text) override;
    bool SelectString(const QPoint &pos, const QString &caption, const QStringList &items,
                      int &index) override;
    bool EditTypeSet(const QString &caption, const TItemTypeSet &fullSet, TItemTypeSet &set) override;
    int PopupMenu(const QStringList &entries) override;
    int PopupEntries(const std::vector<TMenuEntry> &entries) override;
    bool EditFloatLive(const QPoint &pos, const QString &caption, double value,
                       const std::function<void(double)> &callback) override;
    bool ChooseFiles(const TFileDialogRequest &request, QStringList &files) override;
    bool ChooseDirectory(const QString &caption, QString &dir) override;
    bool ChoosePicture(const QString &caption, QString &file) override;
    bool ChooseColor(QColor &colour, std::vector<QColor> &customColours) override;
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
    // Whether each entry of the last menu could be chosen (separators cannot).
    const std::vector<bool> &LastMenuEnabled() const { return lastMenuEnabled_; }
    const QStringList &LastSelectItems() const { return lastItems_; }
    // The entry the last list started with selected (-1 none).
    int LastSelectIndex() const { return lastSelectIndex_; }
    // The entries of the last check list and their ticks at start.
    const QStringList &LastCheckItems() const { return lastCheckItems_; }
    const QList<bool> &LastCheckTicks() const { return lastCheckTicks_; }
    QString LastEditDefault() const { return lastEditDefault_; }
    // The colour and custom colours the last colour chooser started with.
    QColor LastColourOffered() const { return lastColour_; }
    const std::vector<QColor> &LastCustomColours() const { return lastCustom_; }
    TItemTypeSet LastTypeSetOffered() const { return lastFullSet_; }

private:
    enum class TKind { Ask, Edit, Select, TypeSet, Menu, Floats, Files, Directory, Picture, Colour, Check };
    struct TAnswer {
        TKind Kind = TKind::Ask;
        bool Ok = true;
        TPromptAnswer Button = TPromptAnswer::Cancel;
        QString Text;
        int Index = -1;
        TItemTypeSet Set;
        std::vector<double> Values;
        QStringList List;
        QColor Colour;
        std::vector<QColor> Custom;
        QList<int> Ticked;
    };
    // The next answer when it is of the kind asked; otherwise records the question as unexpected.
    std::optional<TAnswer> Take(TKind kind, const QString &question);
    TScriptedPrompts &Queue(TAnswer answer);

    std::deque<TAnswer> script_;
    QStringList log_, messages_, unexpected_;
    std::optional<TFileDialogRequest> lastFileRequest_;
    QStringList lastMenu_, lastItems_;
    std::vector<bool> lastMenuEnabled_;
    QString lastEditDefault_;
    int lastSelectIndex_ = -1;
    TItemTypeSet lastFullSet_;
    QColor lastColour_;
    std::vector<QColor> lastCustom_;
    QStringList lastCheckItems_;
    QList<bool> lastCheckTicks_;
};
