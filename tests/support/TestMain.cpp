#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets a QApplication so that widget, timer and queued
// cross-thread calls work; the platform is offscreen (set by ctest).
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty()
                                   ? QByteArray("offscreen")
                                   : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
