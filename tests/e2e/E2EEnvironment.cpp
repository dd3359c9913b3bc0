// The end-to-end tests run in a process set up as the program's: its start-up registrations, then its own
// application object (whose guard shows what a handler throws); they draw through Mesa like the GL tests
// and need the same process set-up.
#include "../gl/GLTestEnvironment.cpp"

#include "app/StartUpClasses.h"
#include "shell/StreetPlanApplication.h"
#include "support/TestProgram.h"

int main(int argc, char **argv) {
    return sptest::RunTestProgram(argc, argv, [](int &argc, char **argv) -> std::unique_ptr<QApplication> {
        RegisterStartUpClasses();
        return std::make_unique<TStreetPlanApplication>(argc, argv);
    });
}
