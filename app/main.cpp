// StreetPlan start-up: the item classes are registered first, then the application object, the main
// window and the modules in their order; then the files named on the command line open, and the message
// loop runs.
#include "app/StartUpClasses.h"
#include "shell/MainForm.h"
#include "shell/SignLibraryNotices.h"
#include "shell/StartUp.h"
#include "shell/StreetPlanApplication.h"
#include "shell/UserPrompts.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// The plan is drawn through OpenGL, and the toolkit's GL widget takes the whole program down when it gets
// no context. Without one, say so and stop before any window opens.
bool OpenGLMissing() {
    QOpenGLContext context;
    if (context.create())
        return false;
    const QString text =
        QStringLiteral("Не удалось создать контекст OpenGL: план улицы не может быть показан. "
                       "Программа будет закрыта.");
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    // A platform with no screen shows nobody a message box, and its modal loop would never end.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("minimal") && platform != QLatin1String("offscreen"))
        TStreetPlanApplication::CallGuarded([&] {
            UserPrompts().ShowMessage(TPromptKind::Error, text);
            return true;
        });
    return true;
}

} // namespace

int main(int argc, char **argv) {
    RegisterStartUpClasses();

    // The plan view's context and the off-screen ones of printing share one group of GL resources.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TStreetPlanApplication app(argc, argv);
    if (OpenGLMissing())
        return 1;
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
    QTimer::singleShot(0, &startUp->MainForm(), [] {
        TStreetPlanApplication::CallGuarded([] {
            ShowSignLibraryNotices();
            return true;
        });
    });
    const int result = app.exec();
    startUp.reset();
    return result;
}
