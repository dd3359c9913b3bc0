#pragma once
// What every test program does around its tests: the folders of this build in the environment, an
// application object (offscreen, or on the display for GL and end-to-end tests) so that any test may use
// fonts, images, widgets or GL contexts, and the leak check of the sanitizer build.
#include <QApplication>

#include <functional>
#include <memory>

namespace sptest {

using TApplicationMaker = std::function<std::unique_ptr<QApplication>(int &argc, char **argv)>;

// Runs the program's tests on the application object makeApplication gives, and returns the exit code.
int RunTestProgram(int argc, char **argv, const TApplicationMaker &makeApplication);

} // namespace sptest
