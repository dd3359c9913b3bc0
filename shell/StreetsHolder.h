#pragma once
// The holder of open streets: it owns every open street and knows the active one, makes new streets, opens
// street files (alone, several at once, from the recent-files menu), saves and closes them with the
// questions the user sees, keeps the recent-files list, saves modified streets aside on a timer and counts
// the working time of the active street.
//
// Files are told apart by their canonical paths, so a file reached through another path (a link, "..")
// is the same file; letter case distinguishes files as the file system does. A save goes to a temporary
// file renamed over the old one; the street counts as saved only after the rename.
//
// Auto-save: every tick writes each street changed since its last auto-save to a side file:
// "<file>.autosave" beside a street that has a file, "<short name>.autosave" in the settings folder for
// one that has none ("<name>.<n>.autosave", n from 2, when that name is taken). A side file is owned by
// the program that writes it through a lock file beside it ("<side file>.lock"); the lock dies with its
// program, so a side file whose lock is gone or stale is work of a session that ended without saving, and
// a side file another running program owns is never written over, offered or removed. The street's own
// side file goes when the street is saved or closed. Opening a file whose unowned side file is newer asks
// whether the auto-saved copy is to be opened instead; a copy the user declines stays until the street is
// saved. At start-up the unowned side files of the settings folder are offered in a list, and the chosen
// ones open as new streets.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "model/StreetStructure.h"
#endif
#include "shell/Qk2Root.h"
#include "shell/StoredDialogs.h"

#include <QDateTime>
#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;

class TStreetsHolderModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    static constexpr int MaxRecentFiles = 200;
    static constexpr int MaxRecentFolders = 10;
    // Menu entries of the recent files carry this as their data.
    static constexpr int RecentEntryTag = -100;

    explicit TStreetsHolderModule(QObject *parent = nullptr);
    ~TStreetsHolderModule() override;

    // The settings section of the holder.
    static QString Section();

    int Count() const { return static_cast<int>(streets_.size()); }
    // Raises EStreetError for an index out of range.
    TStreetStructure &Streets(int index) const;
    // The name the street is held under: the full path of a file, "Street.zrv" style for a new street.
    QString FileNames(int index) const;
    // The names without folders, in list order.
    QStringList GetShortNames() const;

    // -1 exactly when no street is open.
    int ActiveIndex() const { return activeIndex_; }
    // Held within the open streets.
    void SetActiveIndex(int index);
    // The active street; a new one is made first when none is open.
    TStreetStructure &ActiveStreet();
    // nullptr when none is open.
    TStreetStructure *FindActiveStreet() const;
    // Empty when no street is open.
    QString ActiveFileName() const;
    // The index of the open street, -1 when it is not held here.
    int IndexOf(const TStreetStructure *street) const;

    // A new empty street named "Street.zrv" (or "Street<n>.zrv", the first free n); it becomes active.
    int NewStreet();
    // Opens the file and returns its index; a file already open gives the message "Файл уже загружен."
    // and the open street's index. A file that cannot be read raises, and nothing is added. The active
    // index does not change.
    int OpenFile(const QString &fileName);
    // Opens each file in turn; a file that cannot be read is reported and the others still open. The
    // index of the last file opened (or found open), -1 when none was.
    int OpenFiles(const QStringList &fileNames);
    // The open dialog (several files); the last file opened becomes active. -1 when nothing was opened.
    int OpenWithDialog();
    // Closes untouched new streets while more than one street is open, keeping the active one.
    void DropEmptyStreets();

    // Saves a modified street to its file, or asks for a file when it has none. True when the street is
    // saved afterwards (or had nothing to save).
    bool SaveStreet(int index);
    // Asks for a file and saves the street to it.
    bool SaveStreetAs(int index);
    void SaveAll();
    // Writes the street to the file: refused when another open street holds that file; a failure is
    // reported and keeps the old file and the Modified flag. On success the street is held under the file.
    bool WriteStreet(int index, const QString &fileName);

    // Asks about a modified street unless forced; false when it stays open.
    bool CloseStreet(int index, bool force);
    // Asks about the unsaved streets: true when everything may close.
    bool CanCloseAll();
    void CloseAll();
    // Some street is modified and not idle.
    bool AnyUnsaved() const;

    // Rebuilds the recent-files entries of the menu right after the anchor.
    void BuildRecentMenu(QMenu *menu, QAction *anchor);
    // The stored list, most recent first.
    static QStringList RecentFiles();

    // Minutes between auto-saves (at least 1).
    int AutoSaveIntervalMinutes() const;
    void SetAutoSaveIntervalMinutes(int minutes);
    // The auto-save tick: writes the modified streets changed since their last auto-save.
    void AutoSave();
    // Where the street at the index is saved aside (its own side file, else the one the next tick takes).
    QString AutoSaveFileName(int index) const;
    // The n-th name of the side file of a street held under that name (n = 1: "<name>.autosave").
    static QString AutoSaveFileNameOf(const QString &streetFileName, int n = 1);
    // The side files the user declined when the street opened: they stay until the street is saved.
    QStringList KeptAutoSaves(int index) const;
    // Whether a running program (this one too) owns the side file.
    static bool AutoSaveOwned(const QString &sideFile);

    // A side file that no running program owns, of a street without a file.
    struct TLeftAutoSave {
        QString File;
        // The name the street was held under ("Street.zrv").
        QString StreetName;
        QDateTime Time;
    };
    // The unowned side files of the settings folder, newest first.
    static std::vector<TLeftAutoSave> LeftAutoSaves();
    // Offers them in a check list (all ticked); the chosen ones open as new streets marked modified and
    // keep their side file as their own. The index of the last one opened, -1 when none was. A copy that
    // cannot be read is reported and left where it is, and so are the ones not chosen.
    int OfferLeftAutoSaves();

    // The working-time timer starts with some activity (the main window's refresh calls it).
    void NoteActivity();
    // One minute of work for the active street (the working timer's tick).
    void CountWorkingMinute();

    TStoredOpenDialog OpenDialog;
    TStoredSaveDialog SaveDialog;
    QTimer WorkingTimer;
    QTimer AutoSaveTimer;

    // Called after the recent-files menu opened something (the main window refreshes).
    std::function<void()> OnChanged;

signals:
    // Just before the street is freed: windows showing its items close.
    void StreetClosing(TStreetStructure *street);

private:
    struct TEntry {
        QString FileName;
        std::unique_ptr<TStreetStructure> Street;
        // The street's own side file (empty when none) and the lock that makes it the street's own.
        QString AutoSaveFile;
        std::unique_ptr<QLockFile> AutoSaveLock;
        // The street's change count when the side file was last written.
        uint64_t AutoSavedChange = 0;
        bool AutoSaveFailed = false;
        // Side files of the street's file the user declined, or that were older than it.
        QStringList Kept;
    };

    // The index of an open street held under the same file (other than except), -1 when none.
    int FindFile(const QString &fileName, int except = -1) const;
    void AddRecentFile(const QString &fileName);
    // Removes the street's own side file and gives up its lock.
    void DropAutoSave(TEntry &entry);
    // Takes the side file at the name as the street's own: the street is now as the file.
    void AdoptAutoSave(TEntry &entry, const QString &side, std::unique_ptr<QLockFile> lock);
    // The first free side-file name of a street held under that name, locked.
    static QString TakeSideFile(const QString &streetFileName, std::unique_ptr<QLockFile> &lock);
    // The name a street is held under: the preferred one when no open street has it, else a new name.
    QString FreeStreetName(const QString &preferred) const;
    void Free(int index);
    int Append(QString fileName, std::unique_ptr<TStreetStructure> street);

    std::vector<TEntry> streets_;
    int activeIndex_ = -1;
    std::vector<QPointer<QObject>> recentEntries_;
};

// The program's holder: made on first call, freed by FreeStreetsHolder (at the end of the program).
TStreetsHolderModule &StreetsHolder();
void FreeStreetsHolder();
