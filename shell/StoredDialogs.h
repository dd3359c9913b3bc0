#pragma once
// File dialogs that remember the last file chosen through them: the settings section is RegKeyName, or
// "<owner name>.<dialog name>" when that is empty, and its value "FileName" holds the last choice. An empty
// FileName starts from the stored one; the save dialog also opens a bare file name in the folder of the
// file saved last.
#include <QString>
#include <QStringList>

class TStoredFileDialog {
public:
    QString OwnerName, Name; // component names, for the default section
    QString RegKeyName;
    QString Title;
    QString Filter;     // "description|pattern|..." ("*.txt|*.txt")
    QString DefaultExt; // without the leading "."
    QString FileName;   // in: where to start; out: the (first) file chosen
    QStringList Files;  // out: every file chosen
    bool MultiSelect = false;

    // The settings section used.
    QString Section() const;
    // The file name last chosen through a dialog of this section.
    QString StoredFileName() const;

protected:
    bool Run(bool save);
    virtual ~TStoredFileDialog() = default;
};

class TStoredOpenDialog : public TStoredFileDialog {
public:
    bool Execute() { return Run(false); }
};

class TStoredSaveDialog : public TStoredFileDialog {
public:
    bool Execute() { return Run(true); }
};
