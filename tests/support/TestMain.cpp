#include "platform/ui/Application.h"
#include "platform/ui/Boxes.h"

#include <cstdio>
#include <gtest/gtest.h>

// Every test program gets the system's application object so that widgets,
// timers and queued cross-thread calls work; the platform is offscreen. A box
// that no test answers must never block a headless run: it is answered OK and
// reported on stderr.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    boxes::setResponder([](const boxes::Request &r) {
        std::fprintf(stderr, "unanswered box: %s\n", r.text.toUtf8().constData());
        return boxes::Answer{true, r.value};
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
