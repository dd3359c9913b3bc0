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

int TStreetsHolderModule::NewStreet() {
    const QStringList taken = GetShortNames();
    QString name = QStringLiteral("Street.zrv");
    for (int n = 1; taken.contains(name, Qt::CaseInsensitive); ++n)
        name = QStringLiteral("Street%1.zrv").arg(n);
    activeIndex_ = Append(name, std::make_unique<TStreetStructure>());
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
    // A side file newer than the file holds work that was never saved.
    QString source = path;
    const QString side = AutoSaveFileNameOf(path);
    const QFileInfo sideInfo(side), fileInfo(path);
    bool fromSide = false;
    if (sideInfo.isFile() && fileInfo.isFile() && sideInfo.lastModified() > fileInfo.lastModified() &&
        UserPrompts().Ask(TPromptKind::Confirmation,
                          QStringLiteral("Найдена автосохранённая копия улицы \"%1\", более новая, чем файл. "
                                         "Открыть автосохранённую копию?")
                              .arg(path),
                          TPromptButtons::YesNo) == TPromptAnswer::Yes) {
        source = side;
        fromSide = true;
    }
    std::unique_ptr<TStreetStructure> street = LoadStreetFile(PathOf(source));
    // Items read from a file have their geometry still to build; the street reader leaves its lists
    // marked clean, so they are marked here, or the street would draw nothing until an item changed.
    for (int code = 0; code < ItemTypeCount; ++code)
        if (street->Lists(code).Count() > 0)
            street->Lists(code).Dirty = true;
    street->SetFileName(PathOf(path));
    if (!IsSaneView(street->View()))
        street->SetView(SaneView(street->View()));
    if (fromSide)
        street->SetModified();
    const int index = Append(path, std::move(street));
    if (sideInfo.isFile())
        streets_.back().AutoSaveFile = side;
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
    entry.FileName = path;
    // A side file left from an earlier session beside the file is older than what was just written.
    QFile::remove(AutoSaveFileNameOf(path));
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
    if (!entry.AutoSaveFile.isEmpty())
        QFile::remove(entry.AutoSaveFile);
    entry.AutoSaveFile.clear();
    entry.AutoSaveFailed = false;
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

QString TStreetsHolderModule::AutoSaveFileNameOf(const QString &streetFileName) {
    return streetFileName + QStringLiteral(".autosave");
}

QString TStreetsHolderModule::AutoSaveFileName(int index) const {
    if (index < 0 || index >= Count())
        return {};
    const QString name = FileNames(index);
    if (HasFolder(name))
        return AutoSaveFileNameOf(name);
    // Streets without a file share the settings folder with every other session's: a side file found
    // there that is not this street's own may be the only copy of work from a session that ended
    // without saving, or of another running program's street of the same name, and is never written over.
    const QString first = SettingsDir() + u'/' + ShortName(name);
    const QString own = streets_[static_cast<std::size_t>(index)].AutoSaveFile;
    for (int n = 1;; ++n) {
        const QString side = AutoSaveFileNameOf(n == 1 ? first : first + u'.' + QString::number(n));
        if (side == own || !QFileInfo::exists(side))
            return side;
    }
}

void TStreetsHolderModule::AutoSave() {
    for (int i = 0; i < Count(); ++i) {
        TEntry &entry = streets_[static_cast<std::size_t>(i)];
        if (!entry.Street->Modified() || entry.Street->IsIdle())
            continue;
        const QString side = AutoSaveFileName(i);
        try {
            if (!HasFolder(FileNames(i)))
                QDir().mkpath(SettingsDir());
            entry.Street->SaveToFile(PathOf(side));
            if (entry.AutoSaveFile != side && !entry.AutoSaveFile.isEmpty())
                QFile::remove(entry.AutoSaveFile);
            entry.AutoSaveFile = side;
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
