#include <QCoreApplication>
#include <gtest/gtest.h>

// The engine's tests run under a core application, as a program without
// windows runs the engine: timers, sockets and queued cross-thread calls
// work, nothing can need a widget, and no error box exists to hide a fault:
// an error that escaped an event handler would end the run.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
