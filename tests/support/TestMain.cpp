#include <QCoreApplication>

#include <gtest/gtest.h>

// Tests run inside a Qt application so that queued calls, timers and thread pools behave as in
// the program; tests drive the event loop themselves.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
