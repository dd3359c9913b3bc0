// StreetPlan start-up: the item classes are registered first, then the application object, the main
// window and the modules in their order; then the files named on the command line open, and the message
// loop runs.
#include "app/StartUpClasses.h"
#include "shell/MainForm.h"
#include "shell/SignLibraryNotices.h"
#include "shell/StartUp.h"
#include "shell/StreetPlanApplication.h"

#include <QStringList>
#include <QTimer>

#include <memory>

int main(int argc, char **argv) {
    RegisterStartUpClasses();

    // The plan view's context and the off-screen ones of printing share one group of GL resources.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TStreetPlanApplication app(argc, argv);
    std::unique_ptr<TStartUp> startUp;
    // What stops start-up (a data file that cannot be read, say) is shown before the program ends.
    if (!TStreetPlanApplication::CallGuarded([&] {
            startUp = std::make_unique<TStartUp>();
            return true;
        }))
        return 1;
    startUp->MainForm().show();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    startUp->ProcessCommandLine(arguments);
    // What opening the sign library found is told once the window is up.
    QTimer::singleShot(0, &startUp->MainForm(), [] { TStreetPlanApplication::CallGuarded([] {
                           ShowSignLibraryNotices();
                           return true;
                       }); });
    const int result = app.exec();
    startUp.reset();
    return result;
}
