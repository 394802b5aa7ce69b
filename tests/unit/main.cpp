#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv)
{
    // The offscreen platform lets model tests that touch fonts or colours run without a
    // display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
