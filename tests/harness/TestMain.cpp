#include "harness/BoxScript.h"
#include "platform/ui/Application.h"

#include <gtest/gtest.h>

// Every test program gets the system's application object so that widgets,
// timers and queued cross-thread calls work; the platform is offscreen. A box
// shown while no BoxScript is alive fails the running test and is answered,
// so it never blocks a headless run.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    boxes::setResponder(answerUnplanned);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
