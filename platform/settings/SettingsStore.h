#pragma once
// The user's settings: a store of keys and typed values addressed like registry keys ("\App\Section\Sub")
// and value names, kept in an INI file through QSettings. The file is named after the executable
// ("<name>.ini") and lives in the settings folder: the one given to SetSettingsDir, else the folder named by
// the environment variable STREETPLAN_SETTINGS_DIR, else "StreetPlan" in the user's configuration folder.
//
// Key parts and value names may hold any characters: "/", "\" inside a name and "%" are escaped, so every
// name maps to its own entry, and every string value reads back exactly as written. Names are compared
// exactly (case matters).
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <stdexcept>

class QSettings;

class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The executable's file name without its folder and its (last) extension.
QString ExecutableBaseName();
// An empty folder restores the default.
void SetSettingsDir(const QString &dir);
QString SettingsDir();
// SettingsDir() + "/" + ExecutableBaseName() + ".ini".
QString DefaultSettingsFile();

class TSettingsStore {
public:
    // Nothing is written until the first value is; a missing or unreadable file reads as empty.
    explicit TSettingsStore(const QString &fileName);
    ~TSettingsStore();
    TSettingsStore(const TSettingsStore &) = delete;
    TSettingsStore &operator=(const TSettingsStore &) = delete;

    QString FileName() const;

    // Paths are "\"-separated; one beginning with "\" starts at the root, any other at the current key.
    // Without canCreate a key that does not exist is not opened (false). A key exists while it holds a
    // value or a key below it.
    bool OpenKey(const QString &key, bool canCreate);
    void CloseKey();
    bool HasCurrentKey() const { return open_; }
    bool KeyExists(const QString &key) const;
    bool ValueExists(const QString &name) const;
    // Names of the current key's values, sorted; empty when no key is open.
    QStringList ValueNames() const;

    // Readers of the current key's values throw ESettingsError when no key is open, the value is missing
    // or it does not hold the type asked for (an integer is decimal text within the int32 range; a Boolean
    // is an integer, true when not 0).
    QString ReadString(const QString &name) const;
    int32_t ReadInteger(const QString &name) const;
    bool ReadBool(const QString &name) const;
    QByteArray ReadBinaryData(const QString &name) const;

    // Writers store the value in the current key and flush the file; they throw ESettingsError when no key
    // is open or the file cannot be written.
    void WriteString(const QString &name, const QString &value);
    void WriteInteger(const QString &name, int32_t value);
    void WriteBool(const QString &name, bool value);
    void WriteBinaryData(const QString &name, const QByteArray &value);

private:
    QString Resolve(const QString &key) const;
    QString ValueKey(const QString &name, const char *where) const;
    void Flush(const char *where);

    std::unique_ptr<QSettings> settings_;
    QString current_; // the open key as a QSettings group path ("" is the root)
    bool open_ = false;
};
