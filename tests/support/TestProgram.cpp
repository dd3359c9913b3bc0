#include "TestProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace sptest {

int RunTestProgram(int argc, char **argv, const TApplicationMaker &makeApplication) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    testing::InitGoogleTest(&argc, argv);
    if (listing) // test discovery at build time: no display, no application needed
        return RUN_ALL_TESTS();
    // Folders of this build; the environment may override them.
    setenv("STREETPLAN_DATAFILES", SP_TEST_DATAFILES, 0);
    setenv("STREETPLAN_SETTINGS_DIR", SP_TEST_SETTINGS, 0);
    setenv("STREETPLAN_SOURCE", SP_TEST_SOURCE, 0);
    setenv("STREETPLAN_BINARY", SP_TEST_BINARY, 0);
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // As in the program: display and off-screen GL contexts share one group of resources.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const std::unique_ptr<QApplication> app = makeApplication(argc, argv);
    int result = RUN_ALL_TESTS();
#if defined(__SANITIZE_ADDRESS__)
    // Check for leaks now, while the GL driver's worker threads are idle: the check at exit races with
    // their teardown and can crash the checker itself. Then leave without running exit handlers.
    if (__lsan_do_recoverable_leak_check() != 0 && result == 0)
        result = 1;
    std::fflush(nullptr);
    _exit(result);
#endif
    return result;
}

} // namespace sptest
