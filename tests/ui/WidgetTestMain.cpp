#include <QApplication>

#include <gtest/gtest.h>

// Widget tests run in a QApplication, in the Fusion style so that what is drawn does not depend
// on the desktop the tests run on.
int main(int argc, char **argv)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
