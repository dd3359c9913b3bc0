#pragma once
// The program's long-lived objects, made in a fixed order and freed in the reverse order: the main window,
// the image data and cursors modules, the plan controls, the objects other parts of the program register
// for their places in the order, and the view-sync window. Then the command line: each existing ".zrv"
// file opens as a street (the last one opened becomes active) and the plan is shown and fitted; files of
// other kinds go to whoever registered their extension. Once the main window is first shown, the streets
// auto-saved by sessions that ended without saving are offered.
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TMainForm;
class TMainPlanControls;
class TZorvan2SyncForm;

// The places in the start-up order where other parts of the program make their objects.
enum class TStartUpSlot {
    Fonts,         // after the main window
    VideoControls, // after the plan controls
    ItemsControl,
    PointEditor,
    CustomEditors,
    ContourCoords, // the last before the view-sync window
};

// Makes an object at its place; the start-up owns it until the end.
using TStartUpFactory = std::function<std::unique_ptr<QObject>(TMainForm &)>;
void RegisterStartUpObject(TStartUpSlot slot, TStartUpFactory factory);
// Opens a file named on the command line whose extension (with the dot, compared without case) is this.
using TCommandLineOpener = std::function<void(TMainForm &, const QString &fileName)>;
void RegisterCommandLineOpener(const QString &extension, TCommandLineOpener opener);
// Forgets every registration (tests).
void ClearStartUpRegistrations();

class TStartUp {
public:
    // Makes the objects; the application object must exist.
    TStartUp();
    ~TStartUp();
    TStartUp(const TStartUp &) = delete;
    TStartUp &operator=(const TStartUp &) = delete;

    TMainForm &MainForm() const { return *mainForm_; }
    TMainPlanControls &PlanControls() const { return *planControls_; }
    TZorvan2SyncForm &SyncForm() const { return *syncForm_; }

    // The arguments after the program's name. An error opening one file is shown and the next file opens.
    void ProcessCommandLine(const QStringList &arguments);
    // Offers the auto-saved streets no running program owns; the chosen ones open, the last one active.
    void OfferAutoSavedStreets();

private:
    void MakeSlot(TStartUpSlot slot);
    void OpenCommandLineFile(const QString &argument);

    std::unique_ptr<TMainForm> mainForm_;
    TMainPlanControls *planControls_ = nullptr;
    TZorvan2SyncForm *syncForm_ = nullptr;
    // Everything made after the main window, in the order made.
    std::vector<std::unique_ptr<QObject>> objects_;
};
