#include "shell/StreetsHolder.h"

#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "platform/settings/SettingsStore.h"
#include "shell/MainPlan.h"
#include "shell/PointEditOps.h"
#include "shell/UserPrompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

#include <algorithm>
#include <exception>

namespace {

const char *const RecentFilesValue = "RecentFiles";
const char *const AutoSaveIntervalValue = "AutoSaveTimer.Interval";
constexpr int MinuteMs = 60000;

std::string PathOf(const QString &fileName) {
    return fileName.toStdString();
}

// The name without folders ("/" and "\" both end a folder).
QString ShortName(const QString &name) {
    const qsizetype cut = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return cut < 0 ? name : name.mid(cut + 1);
}

// One line for each item a save leaves out for want of vertices (the model writes complete items only).
QStringList IncompleteItems(TStreetStructure &street) {
    QStringList lines;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : street.Lists(code))
            if (!item->IsComplete())
                lines << QStringLiteral("«%1»: точек %2, нужно %3")
                             .arg(ToQString(item->GetDisplayName()))
                             .arg(StoredVertexCount(item->Points.GetPoints(), item->IsClosed()))
                             .arg(item->MinPointCount());
    return lines;
}

bool HasFolder(const QString &name) {
    return name.contains(u'/') || name.contains(u'\\');
}

// What tells files apart: the canonical path of an existing file, else the cleaned absolute path.
QString FileKey(const QString &fileName) {
    const QFileInfo info(fileName);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString ErrorText(const std::exception &e) {
    return QString::fromUtf8(e.what());
}

Cp1251String SectionCp() {
    return Cp1251String("StreetsHolderModule");
}

const QString SideSuffix = QStringLiteral(".autosave");
// Side names are tried up to this number: enough for every program and session that may leave one.
constexpr int MaxSideNumber = 1000;

// The lock that makes the side file a program's own. It is never stale by age (a program keeps its street
// open for days), only when the program that took it is gone.
std::unique_ptr<QLockFile> SideLock(const QString &side) {
    auto lock = std::make_unique<QLockFile>(side + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    return lock;
}

// The lock of the side file when no running program holds it; nullptr when one does or it cannot be made.
std::unique_ptr<QLockFile> TryLockSide(const QString &side) {
    std::unique_ptr<QLockFile> lock = SideLock(side);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// "Street.zrv" of "Street.zrv.autosave" and of "Street.zrv.3.autosave".
QString StreetNameOfSide(const QString &sideName) {
    static const QRegularExpression numbered(QStringLiteral("^(.*)\\.[0-9]+$"));
    QString name = sideName.chopped(SideSuffix.size());
    if (const QRegularExpressionMatch m = numbered.match(name); m.hasMatch())
        name = m.captured(1);
    return name;
}

// The existing side files of a street held under that name that no running program owns, newest first.
QStringList UnownedSideFiles(const QString &streetFileName) {
    const QFileInfo file(streetFileName);
    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(file.fileName()) +
                                 QStringLiteral("(\\.[0-9]+)?") + QRegularExpression::escape(SideSuffix) +
                                 u'$');
    QStringList sides;
    const QFileInfoList entries =
        file.dir().entryInfoList({u'*' + SideSuffix}, QDir::Files | QDir::Hidden, QDir::Time);
    for (const QFileInfo &info : entries)
        if (own.match(info.fileName()).hasMatch() &&
            !TStreetsHolderModule::AutoSaveOwned(info.absoluteFilePath()))
            sides += info.absoluteFilePath();
    return sides;
}

// Marks the lists of a street just read so that they build their geometry: the street reader leaves them
// marked clean, and the street would draw nothing until an item changed.
void PrepareReadStreet(TStreetStructure &street) {
    for (int code = 0; code < ItemTypeCount; ++code)
        if (street.Lists(code).Count() > 0)
            street.Lists(code).Dirty = true;
    if (!IsSaneView(street.View()))
        street.SetView(SaneView(street.View()));
}

} // namespace

TStreetsHolderModule::TStreetsHolderModule(QObject *parent) : TQk2RootDatamodule(parent) {
    setObjectName(QStringLiteral("StreetsHolderModule"));
    OpenDialog.OwnerName = SaveDialog.OwnerName = objectName();
    OpenDialog.Name = QStringLiteral("OpenDialog");
    SaveDialog.Name = QStringLiteral("SaveDialog");
    OpenDialog.Filter = SaveDialog.Filter = QStringLiteral("Zorvan2|*.zrv");
    OpenDialog.DefaultExt = SaveDialog.DefaultExt = QStringLiteral("zrv");
    OpenDialog.MultiSelect = true;

    WorkingTimer.setInterval(MinuteMs);
    WorkingTimer.setSingleShot(true);
    connect(&WorkingTimer, &QTimer::timeout, this, &TStreetsHolderModule::CountWorkingMinute);

    AutoSaveTimer.setInterval(std::max(1, RegReadInteger(SectionCp(), Cp1251String(AutoSaveIntervalValue))) *
                              MinuteMs);
    connect(&AutoSaveTimer, &QTimer::timeout, this, &TStreetsHolderModule::AutoSave);
    AutoSaveTimer.start();
}

TStreetsHolderModule::~TStreetsHolderModule() {
    CloseAll();
    try {
        RegWriteInteger(SectionCp(), Cp1251String(AutoSaveIntervalValue), AutoSaveIntervalMinutes());
    } catch (const std::exception &) {
        // Settings that cannot be written are no reason to fail the end of the program.
    }
}

QString TStreetsHolderModule::Section() {
    return QStringLiteral("StreetsHolderModule");
}

TStreetStructure &TStreetsHolderModule::Streets(int index) const {
    if (index < 0 || index >= Count())
        RaiseStreetError("TStreetsHolderModule.Streets", "index " + std::to_string(index) + " out of range");
    return *streets_[static_cast<std::size_t>(index)].Street;
}

QString TStreetsHolderModule::FileNames(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return streets_[static_cast<std::size_t>(index)].FileName;
}

QStringList TStreetsHolderModule::GetShortNames() const {
    QStringList names;
    for (const TEntry &e : streets_)
        names += ShortName(e.FileName);
    return names;
}

void TStreetsHolderModule::SetActiveIndex(int index) {
    activeIndex_ = Count() == 0 ? -1 : std::clamp(index, 0, Count() - 1);
}

TStreetStructure &TStreetsHolderModule::ActiveStreet() {
    if (Count() == 0)
        NewStreet();
    SetActiveIndex(activeIndex_);
    return Streets(activeIndex_);
}

TStreetStructure *TStreetsHolderModule::FindActiveStreet() const {
    if (activeIndex_ < 0 || activeIndex_ >= Count())
        return nullptr;
    return streets_[static_cast<std::size_t>(activeIndex_)].Street.get();
}

QString TStreetsHolderModule::ActiveFileName() const {
    return FileNames(activeIndex_);
}

int TStreetsHolderModule::IndexOf(const TStreetStructure *street) const {
    for (int i = 0; i < Count(); ++i)
        if (streets_[static_cast<std::size_t>(i)].Street.get() == street)
            return i;
    return -1;
}

int TStreetsHolderModule::Append(QString fileName, std::unique_ptr<TStreetStructure> street) {
    TEntry e;
    e.FileName = std::move(fileName);
    e.Street = std::move(street);
    streets_.push_back(std::move(e));
    return Count() - 1;
}

QString TStreetsHolderModule::FreeStreetName(const QString &preferred) const {
    const QStringList taken = GetShortNames();
    if (!preferred.isEmpty() && !HasFolder(preferred) && !taken.contains(preferred, Qt::CaseInsensitive))
        return preferred;
    QString name = QStringLiteral("Street.zrv");
    for (int n = 1; taken.contains(name, Qt::CaseInsensitive); ++n)
        name = QStringLiteral("Street%1.zrv").arg(n);
    return name;
}

int TStreetsHolderModule::NewStreet() {
    activeIndex_ = Append(FreeStreetName({}), std::make_unique<TStreetStructure>());
    return activeIndex_;
}

int TStreetsHolderModule::FindFile(const QString &fileName, int except) const {
    if (!HasFolder(fileName))
        return -1;
    const QString key = FileKey(fileName);
    for (int i = 0; i < Count(); ++i) {
        const QString &other = streets_[static_cast<std::size_t>(i)].FileName;
        if (i != except && HasFolder(other) && FileKey(other) == key)
            return i;
    }
    return -1;
}

int TStreetsHolderModule::OpenFile(const QString &fileName) {
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (const int open = FindFile(path); open >= 0) {
        UserPrompts().ShowMessage(TPromptKind::Information, QStringLiteral("Файл уже загружен."));
        return open;
    }
    // The newest side file that no running program owns holds work that was never saved when it is newer
    // than the file. Locked while the user decides, so that no other program takes it meanwhile.
    QStringList kept = UnownedSideFiles(path);
    const QFileInfo fileInfo(path);
    QString side;
    std::unique_ptr<QLockFile> sideLock;
    if (!kept.isEmpty() && fileInfo.isFile() &&
        QFileInfo(kept.first()).lastModified() > fileInfo.lastModified())
        sideLock = TryLockSide(kept.first());
    if (sideLock &&
        UserPrompts().Ask(TPromptKind::Confirmation,
                          QStringLiteral("Найдена автосохранённая копия улицы \"%1\", более новая, чем файл. "
                                         "Открыть автосохранённую копию?")
                              .arg(path),
                          TPromptButtons::YesNo) == TPromptAnswer::Yes)
        side = kept.takeFirst();
    std::unique_ptr<TStreetStructure> street = LoadStreetFile(PathOf(side.isEmpty() ? path : side));
    PrepareReadStreet(*street);
    street->SetFileName(PathOf(path));
    const int index = Append(path, std::move(street));
    // A declined copy (and any older one) stays until the street is saved: it may be the only copy of
    // that work.
    streets_.back().Kept = kept;
    if (!side.isEmpty())
        AdoptAutoSave(streets_.back(), side, std::move(sideLock));
    AddRecentFile(path);
    OpenDialog.FileName = path;
    return index;
}

int TStreetsHolderModule::OpenFiles(const QStringList &fileNames) {
    int last = -1;
    for (const QString &name : fileNames) {
        try {
            last = OpenFile(name);
        } catch (const std::exception &e) {
            UserPrompts().ShowMessage(
                TPromptKind::Error,
                QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(name, ErrorText(e)));
        }
    }
    return last;
}

int TStreetsHolderModule::OpenWithDialog() {
    if (!OpenDialog.Execute() || OpenDialog.Files.isEmpty())
        return -1;
    const int index = OpenFiles(OpenDialog.Files);
    if (index >= 0)
        SetActiveIndex(index);
    return index;
}

void TStreetsHolderModule::DropEmptyStreets() {
    const TStreetStructure *keep = &ActiveStreet();
    for (int i = Count() - 1; i >= 0 && Count() > 1; --i)
        if (Streets(i).IsIdle())
            CloseStreet(i, false);
    const int index = IndexOf(keep);
    SetActiveIndex(index >= 0 ? index : 0);
}

void TStreetsHolderModule::AddRecentFile(const QString &fileName) {
    Cp1251String name;
    if (!TryFromQString(fileName, name))
        return; // a name the settings cannot hold is not remembered
    try {
        RegAddMruString(SectionCp(), Cp1251String(RecentFilesValue), name, MaxRecentFiles);
    } catch (const std::exception &) {
        // The file is open; forgetting it in the list is no reason to fail.
    }
}

QStringList TStreetsHolderModule::RecentFiles() {
    std::vector<Cp1251String> list;
    RegReadStrings(SectionCp(), Cp1251String(RecentFilesValue), list);
    QStringList names;
    for (const Cp1251String &s : list)
        names += ToQString(s);
    return names;
}

bool TStreetsHolderModule::WriteStreet(int index, const QString &fileName) {
    TStreetStructure &street = Streets(index);
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (const int other = FindFile(path, index); other >= 0) {
        UserPrompts().ShowMessage(
            TPromptKind::Warning,
            QStringLiteral("Файл \"%1\" открыт как другая улица. Улица в него не сохранена.").arg(path));
        return false;
    }
    const QStringList incomplete = IncompleteItems(street);
    try {
        street.SaveToFile(PathOf(path));
    } catch (const std::exception &e) {
        UserPrompts().ShowMessage(
            TPromptKind::Error,
            QStringLiteral("Не удалось сохранить файл \"%1\": %2\nПрежний файл не изменён.")
                .arg(path, ErrorText(e)));
        return false;
    }
    // The street keeps them (digitising goes on), but the file does not hold them: the user must know.
    if (!incomplete.isEmpty())
        UserPrompts().ShowMessage(TPromptKind::Warning,
                                  QStringLiteral("Недостроенные объекты не записаны в файл:\n") +
                                      incomplete.join(u'\n'));
    // Saved only now, after the new file took the old one's place.
    street.ClearModified();
    street.SetFileName(PathOf(path));
    TEntry &entry = streets_[static_cast<std::size_t>(index)];
    DropAutoSave(entry);
    // The file now holds what the user chose to keep: the copies declined at opening, and side files
    // that sessions ended without saving left beside the file, are out of date.
    for (const QString &kept : entry.Kept)
        if (!AutoSaveOwned(kept))
            QFile::remove(kept);
    entry.Kept.clear();
    for (const QString &left : UnownedSideFiles(path))
        QFile::remove(left);
    entry.FileName = path;
    return true;
}

bool TStreetsHolderModule::SaveStreet(int index) {
    TStreetStructure &street = Streets(index);
    if (street.IsIdle() || !street.Modified())
        return true;
    const QString name = FileNames(index);
    if (HasFolder(name) && QFileInfo(name).isFile())
        return WriteStreet(index, name);
    SaveDialog.FileName = ShortName(name);
    if (!SaveDialog.Execute())
        return false;
    return WriteStreet(index, SaveDialog.FileName);
}

bool TStreetsHolderModule::SaveStreetAs(int index) {
    Streets(index); // checks the index
    SaveDialog.FileName = FileNames(index);
    if (!SaveDialog.Execute())
        return false;
    return WriteStreet(index, SaveDialog.FileName);
}

void TStreetsHolderModule::SaveAll() {
    for (int i = 0; i < Count(); ++i)
        SaveStreet(i);
}

void TStreetsHolderModule::DropAutoSave(TEntry &entry) {
    // The file goes before its lock, so that no other program ever finds it unowned.
    if (!entry.AutoSaveFile.isEmpty())
        QFile::remove(entry.AutoSaveFile);
    entry.AutoSaveLock.reset();
    entry.AutoSaveFile.clear();
    entry.AutoSaveFailed = false;
}

void TStreetsHolderModule::AdoptAutoSave(TEntry &entry, const QString &side,
                                         std::unique_ptr<QLockFile> lock) {
    entry.Street->SetModified();
    entry.AutoSaveFile = side;
    entry.AutoSaveLock = std::move(lock);
    entry.AutoSavedChange = entry.Street->ChangeCount();
}

void TStreetsHolderModule::Free(int index) {
    TEntry &entry = streets_[static_cast<std::size_t>(index)];
    emit StreetClosing(entry.Street.get());
    DropAutoSave(entry);
    streets_.erase(streets_.begin() + index);
}

bool TStreetsHolderModule::CloseStreet(int index, bool force) {
    TStreetStructure &street = Streets(index);
    if (!force && street.Modified()) {
        const TPromptAnswer answer =
            UserPrompts().Ask(TPromptKind::Confirmation, QStringLiteral("Улица не сохранена.Сохранять?"),
                              TPromptButtons::YesNoCancel);
        if (answer == TPromptAnswer::Cancel)
            return false;
        if (answer == TPromptAnswer::Yes && (!SaveStreet(index) || street.Modified()))
            return false;
    }
    Free(index);
    if (index <= activeIndex_)
        --activeIndex_;
    SetActiveIndex(activeIndex_);
    return true;
}

bool TStreetsHolderModule::CanCloseAll() {
    if (!AnyUnsaved())
        return true;
    const TPromptAnswer answer =
        UserPrompts().Ask(TPromptKind::Confirmation, QStringLiteral("Есть несохраненные улицы. Сохранять?"),
                          TPromptButtons::YesNoCancel);
    if (answer == TPromptAnswer::No)
        return true;
    if (answer == TPromptAnswer::Yes)
        SaveAll();
    return std::none_of(streets_.begin(), streets_.end(),
                        [](const TEntry &e) { return e.Street->Modified(); });
}

void TStreetsHolderModule::CloseAll() {
    while (Count() > 0)
        Free(Count() - 1);
    activeIndex_ = -1;
}

bool TStreetsHolderModule::AnyUnsaved() const {
    return std::any_of(streets_.begin(), streets_.end(),
                       [](const TEntry &e) { return e.Street->Modified() && !e.Street->IsIdle(); });
}

void TStreetsHolderModule::BuildRecentMenu(QMenu *menu, QAction *anchor) {
    for (const QPointer<QObject> &o : recentEntries_)
        delete o.data();
    recentEntries_.clear();
    if (menu == nullptr)
        return;

    const QStringList recent = RecentFiles();
    QStringList folders;
    for (const QString &file : recent) {
        const QString folder = QFileInfo(file).path();
        if (!folders.contains(folder))
            folders += folder;
    }
    // Entries go right after the anchor, each after the one before.
    const QList<QAction *> actions = menu->actions();
    const qsizetype at = actions.indexOf(anchor);
    QAction *before = at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr;
    for (qsizetype f = 0; f < folders.size() && f < MaxRecentFolders; ++f) {
        const QString folder = folders[f];
        auto *sub = new QMenu(folder, menu);
        sub->menuAction()->setData(RecentEntryTag);
        sub->setEnabled(QFileInfo(folder).isDir());
        menu->insertMenu(before, sub);
        recentEntries_.emplace_back(sub);
        for (const QString &file : recent) {
            if (QFileInfo(file).path() != folder)
                continue;
            QAction *item = sub->addAction(ShortName(file));
            item->setData(RecentEntryTag);
            item->setEnabled(QFileInfo(file).isFile());
            connect(item, &QAction::triggered, this, [this, file] {
                const int index = OpenFiles({file});
                if (index >= 0) {
                    SetActiveIndex(index);
                    DropEmptyStreets();
                }
                if (OnChanged)
                    OnChanged();
            });
        }
        QAction *any = sub->addAction(QStringLiteral("*.zrv"));
        any->setData(RecentEntryTag);
        connect(any, &QAction::triggered, this, [this, folder] {
            OpenDialog.FileName = folder + QStringLiteral("/*.zrv");
            if (OpenWithDialog() >= 0)
                DropEmptyStreets();
            if (OnChanged)
                OnChanged();
        });
    }
}

int TStreetsHolderModule::AutoSaveIntervalMinutes() const {
    return std::max(1, AutoSaveTimer.interval() / MinuteMs);
}

void TStreetsHolderModule::SetAutoSaveIntervalMinutes(int minutes) {
    AutoSaveTimer.setInterval(std::clamp(minutes, 1, 24 * 60) * MinuteMs);
}

QString TStreetsHolderModule::AutoSaveFileNameOf(const QString &streetFileName, int n) {
    return n <= 1 ? streetFileName + SideSuffix : streetFileName + u'.' + QString::number(n) + SideSuffix;
}

bool TStreetsHolderModule::AutoSaveOwned(const QString &sideFile) {
    // A lock that cannot be made at all (a folder that is missing or read-only) tells of no owner.
    const std::unique_ptr<QLockFile> lock = SideLock(sideFile);
    return !lock->tryLock(0) && lock->error() == QLockFile::LockFailedError;
}

QStringList TStreetsHolderModule::KeptAutoSaves(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return streets_[static_cast<std::size_t>(index)].Kept;
}

// A side file found that is not the street's own may be the only copy of work from a session that ended
// without saving (or a copy the user declined), or another running program's: it is never written over.
QString TStreetsHolderModule::TakeSideFile(const QString &streetFileName, std::unique_ptr<QLockFile> &lock) {
    for (int n = 1; n <= MaxSideNumber; ++n) {
        const QString side = AutoSaveFileNameOf(streetFileName, n);
        if (QFileInfo::exists(side))
            continue;
        std::unique_ptr<QLockFile> taken = SideLock(side);
        if (!taken->tryLock(0)) {
            if (taken->error() == QLockFile::LockFailedError)
                continue; // another program is about to write it
            RaiseStreetError("TStreetsHolderModule.AutoSave", "cannot make the lock file of " + PathOf(side));
        }
        if (QFileInfo::exists(side))
            continue; // written by a program that let go of its lock meanwhile
        lock = std::move(taken);
        return side;
    }
    RaiseStreetError("TStreetsHolderModule.AutoSave", "no free side-file name for " + PathOf(streetFileName));
}

QString TStreetsHolderModule::AutoSaveFileName(int index) const {
    if (index < 0 || index >= Count())
        return {};
    const TEntry &entry = streets_[static_cast<std::size_t>(index)];
    if (!entry.AutoSaveFile.isEmpty())
        return entry.AutoSaveFile;
    const QString name = entry.FileName;
    const QString base = HasFolder(name) ? name : SettingsDir() + u'/' + ShortName(name);
    for (int n = 1; n <= MaxSideNumber; ++n) {
        const QString side = AutoSaveFileNameOf(base, n);
        if (!QFileInfo::exists(side) && !AutoSaveOwned(side))
            return side;
    }
    return {};
}

void TStreetsHolderModule::AutoSave() {
    for (int i = 0; i < Count(); ++i) {
        TEntry &entry = streets_[static_cast<std::size_t>(i)];
        TStreetStructure &street = *entry.Street;
        if (!street.Modified() || street.IsIdle())
            continue;
        // Its side file already holds the street as it is.
        if (!entry.AutoSaveFile.isEmpty() && entry.AutoSavedChange == street.ChangeCount())
            continue;
        try {
            if (entry.AutoSaveFile.isEmpty()) {
                const bool named = HasFolder(entry.FileName);
                if (!named)
                    QDir().mkpath(SettingsDir());
                const QString base =
                    named ? entry.FileName : SettingsDir() + u'/' + ShortName(entry.FileName);
                entry.AutoSaveFile = TakeSideFile(base, entry.AutoSaveLock);
            }
            street.SaveToFile(PathOf(entry.AutoSaveFile));
            entry.AutoSavedChange = street.ChangeCount();
            entry.AutoSaveFailed = false;
        } catch (const std::exception &e) {
            // Said once until an auto-save of the street works again: the user must not believe the work
            // kept while it is not, nor get a message every tick.
            if (!entry.AutoSaveFailed)
                UserPrompts().ShowMessage(TPromptKind::Warning,
                                          QStringLiteral("Автосохранение улицы \"%1\" не удалось: %2")
                                              .arg(entry.FileName, ErrorText(e)));
            entry.AutoSaveFailed = true;
        }
    }
}

std::vector<TStreetsHolderModule::TLeftAutoSave> TStreetsHolderModule::LeftAutoSaves() {
    std::vector<TLeftAutoSave> left;
    const QFileInfoList entries =
        QDir(SettingsDir()).entryInfoList({u'*' + SideSuffix}, QDir::Files | QDir::Hidden, QDir::Time);
    for (const QFileInfo &info : entries)
        if (!AutoSaveOwned(info.absoluteFilePath()))
            left.push_back({info.absoluteFilePath(), StreetNameOfSide(info.fileName()), info.lastModified()});
    return left;
}

int TStreetsHolderModule::OfferLeftAutoSaves() {
    // Locked from the offer on, so that a program started meanwhile does not offer them too.
    std::vector<TLeftAutoSave> left;
    std::vector<std::unique_ptr<QLockFile>> locks;
    for (TLeftAutoSave &l : LeftAutoSaves())
        if (std::unique_ptr<QLockFile> lock = TryLockSide(l.File)) {
            left.push_back(std::move(l));
            locks.push_back(std::move(lock));
        }
    if (left.empty())
        return -1;
    QStringList items;
    for (const TLeftAutoSave &l : left)
        items += QStringLiteral("%1    %2")
                     .arg(l.StreetName, l.Time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    QList<bool> ticked(items.size(), true);
    if (!UserPrompts().CheckItems(
            QStringLiteral("Автосохранённые улицы"),
            QStringLiteral("Найдены автосохранённые копии улиц, не сохранённых в прошлый раз. "
                           "Отмеченные будут открыты:"),
            items, ticked))
        return -1;
    int last = -1;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (i >= static_cast<std::size_t>(ticked.size()) || !ticked[static_cast<qsizetype>(i)])
            continue;
        std::unique_ptr<TStreetStructure> street;
        try {
            street = LoadStreetFile(PathOf(left[i].File));
        } catch (const std::exception &e) {
            UserPrompts().ShowMessage(TPromptKind::Error,
                                      QStringLiteral("Не удалось открыть автосохранённую копию \"%1\": %2")
                                          .arg(left[i].File, ErrorText(e)));
            continue;
        }
        PrepareReadStreet(*street);
        street->SetFileName({});
        last = Append(FreeStreetName(left[i].StreetName), std::move(street));
        AdoptAutoSave(streets_.back(), left[i].File, std::move(locks[i]));
    }
    return last;
}

void TStreetsHolderModule::NoteActivity() {
    if (!WorkingTimer.isActive())
        WorkingTimer.start();
}

void TStreetsHolderModule::CountWorkingMinute() {
    WorkingTimer.stop();
    if (TStreetStructure *street = FindActiveStreet())
        street->SetWorkTime(street->WorkTime() + 1);
}

// ---- The program's holder

namespace {

QPointer<TStreetsHolderModule> &Holder() {
    static QPointer<TStreetsHolderModule> holder;
    return holder;
}

} // namespace

TStreetsHolderModule &StreetsHolder() {
    if (!Holder())
        Holder() = new TStreetsHolderModule(QCoreApplication::instance());
    return *Holder();
}

void FreeStreetsHolder() {
    delete Holder().data();
}
