#pragma once
// The application object. No exception leaves a Qt handler: notify catches it and shows its text through
// the prompts, and the program goes on.
#include <QApplication>

#include <functional>

class TStreetPlanApplication : public QApplication {
    Q_OBJECT
public:
    TStreetPlanApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Runs a handler; an exception it raises is shown and the result is false. While one error is being
    // shown, further errors (a paint handler failing again under the message box, say) are written to the
    // log instead of opening more boxes.
    static bool CallGuarded(const std::function<bool()> &handler);
};
