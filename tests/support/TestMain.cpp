// The main of the test programs that need no more of the program than a plain application object.
#include "TestProgram.h"

int main(int argc, char **argv) {
    return sptest::RunTestProgram(
        argc, argv, [](int &argc, char **argv) { return std::make_unique<QApplication>(argc, argv); });
}
