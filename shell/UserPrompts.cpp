#include "shell/UserPrompts.h"

#include "engine/Cp1251Qt.h"
#include "shell/QtUserPrompts.h"

IUserPrompts::~IUserPrompts() = default;

bool IUserPrompts::ChooseColor(QColor &, std::vector<QColor> &) {
    return false;
}

int IUserPrompts::PopupEntries(const std::vector<TMenuEntry> &entries) {
    QStringList captions;
    for (const TMenuEntry &e : entries)
        captions << e.Caption;
    const int chosen = PopupMenu(captions);
    if (chosen < 0 || chosen >= int(entries.size()))
        return -1;
    const TMenuEntry &e = entries[std::size_t(chosen)];
    return e.Enabled && !e.IsSeparator() ? chosen : -1;
}

namespace {

IUserPrompts *&Installed() {
    static IUserPrompts *prompts = nullptr;
    return prompts;
}

} // namespace

IUserPrompts &UserPrompts() {
    if (IUserPrompts *p = Installed())
        return *p;
    static TQtUserPrompts qtPrompts;
    return qtPrompts;
}

void SetUserPrompts(IUserPrompts *prompts) {
    Installed() = prompts;
}

TUserPromptsGuard::TUserPromptsGuard(IUserPrompts &prompts) : previous_(Installed()) {
    Installed() = &prompts;
}

TUserPromptsGuard::~TUserPromptsGuard() {
    Installed() = previous_;
}

bool UserTextToCp1251(const QString &text, Cp1251String &out) {
    if (TryFromQString(text, out))
        return true;
    QString bad;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bad = text.mid(i, 2);
            break;
        }
        if (c.isSurrogate() || UnicodeToCp1251(c.unicode()) < 0) {
            bad = QString(c);
            break;
        }
    }
    UserPrompts().ShowMessage(
        TPromptKind::Warning,
        QStringLiteral("Символ «%1» не может быть сохранен. Текст не принят.").arg(bad));
    return false;
}
