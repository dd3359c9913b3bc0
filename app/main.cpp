// StreetPlan start-up: the item classes are registered first, then the application object, the main
// window and the modules in their order; then the files named on the command line open, and the message
// loop runs.
#include "shell/ItemsControl.h"
#include "shell/MainForm.h"
#include "shell/PointsEditor.h"
#include "shell/StartUp.h"
#include "shell/StreetPlanApplication.h"
#include "objects/RegisterObjects.h"
#include "tools/make-street/StandInItems.h"

#include <QStringList>

int main(int argc, char **argv) {
    // Item types whose own classes are not there yet are read and drawn by stand-in classes, which step
    // aside for every type that has its class.
    RegisterObjects();
    RegisterStandInItemClasses();
    RegisterItemsControl();
    RegisterPointsEditor();

    TStreetPlanApplication app(argc, argv);
    int result = 0;
    {
        TStartUp startUp;
        startUp.MainForm().show();
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        startUp.ProcessCommandLine(arguments);
        result = app.exec();
    }
    return result;
}
