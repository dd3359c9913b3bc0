#include "shell/StoredDialogs.h"

#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"
#include "shell/UserPrompts.h"

#include <QFileInfo>

namespace {

bool HasFolder(const QString &name) {
    return name.contains(u'/') || name.contains(u'\\');
}

QString FolderWithSlash(const QString &name) {
    const qsizetype cut = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return cut < 0 ? QString() : name.left(cut + 1);
}

} // namespace

QString TStoredFileDialog::Section() const {
    return RegKeyName.isEmpty() ? OwnerName + u'.' + Name : RegKeyName;
}

QString TStoredFileDialog::StoredFileName() const {
    Cp1251String section;
    if (!TryFromQString(Section(), section))
        return {};
    return ToQString(RegReadString(section, Cp1251String("FileName")));
}

bool TStoredFileDialog::Run(bool save) {
    const QString stored = StoredFileName();
    if (FileName.isEmpty())
        FileName = stored;
    if (save && !FileName.isEmpty() && !HasFolder(FileName))
        FileName = FolderWithSlash(stored) + FileName;

    TFileDialogRequest request;
    request.Mode = save          ? TFileDialogMode::Save
                   : MultiSelect ? TFileDialogMode::OpenMany
                                 : TFileDialogMode::Open;
    request.Title = Title;
    request.Filter = Filter;
    request.DefaultExt = DefaultExt;
    request.FileName = FileName;
    QStringList chosen;
    if (!UserPrompts().ChooseFiles(request, chosen) || chosen.isEmpty())
        return false;
    Files = chosen;
    FileName = chosen.front();

    Cp1251String section, name;
    // A name without a code-page-1251 form is still used, only not remembered.
    if (TryFromQString(Section(), section) && TryFromQString(FileName, name)) {
        try {
            RegWriteString(section, Cp1251String("FileName"), name);
        } catch (const std::exception &) {
            // Forgetting the folder is no reason to refuse the file.
        }
    }
    return true;
}
