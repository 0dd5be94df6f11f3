// main() for every test binary: a Qt application object for event loops, and the offscreen
// platform when no display is given (test discovery runs binaries without the test's
// environment).
#include "core/base/handoverlock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#ifdef VANTREL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::signal(SIGPIPE, SIG_IGN);
    TestApplication app(argc, argv);
    vantrel::InstallHandOverMarks(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
