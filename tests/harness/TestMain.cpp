#include "harness/BoxScript.h"
#include "platform/ui/Application.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

// Every test program gets the system's application object so that widgets,
// timers and queued cross-thread calls work; the platform is offscreen, with
// one screen of 1024 x 768, the smallest the desk is made for. A box shown
// while no BoxScript is alive fails the running test and is answered, so it
// never blocks a headless run.
int main(int argc, char **argv)
{
    QTemporaryFile screens;
    if (const QByteArray platform = qgetenv("QT_QPA_PLATFORM"); platform.isEmpty() || platform == "offscreen") {
        QByteArray offscreen = "offscreen";
        if (screens.open()) {
            screens.write(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1024, "height": 768}]})");
            screens.flush();
            offscreen += ":configfile=" + screens.fileName().toLocal8Bit();
        }
        qputenv("QT_QPA_PLATFORM", offscreen);
    }
    Application app(argc, argv);
    boxes::setResponder(answerUnplanned);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
