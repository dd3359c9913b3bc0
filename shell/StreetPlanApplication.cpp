#include "shell/StreetPlanApplication.h"

#include "shell/UserPrompts.h"

#include <QtGlobal>

#include <exception>

namespace {

bool showingError = false;

void Report(const QString &text) {
    if (showingError) {
        qWarning("%s", qPrintable(text));
        return;
    }
    showingError = true;
    try {
        UserPrompts().ShowMessage(TPromptKind::Error, text);
    } catch (...) {
        qWarning("%s", qPrintable(text));
    }
    showingError = false;
}

} // namespace

TStreetPlanApplication::TStreetPlanApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TStreetPlanApplication::notify(QObject *receiver, QEvent *event) {
    bool result = false;
    CallGuarded([&] {
        result = QApplication::notify(receiver, event);
        return true;
    });
    return result;
}

bool TStreetPlanApplication::CallGuarded(const std::function<bool()> &handler) {
    try {
        return handler();
    } catch (const std::exception &e) {
        Report(QString::fromUtf8(e.what()));
    } catch (...) {
        Report(QStringLiteral("Неизвестная ошибка."));
    }
    return false;
}
