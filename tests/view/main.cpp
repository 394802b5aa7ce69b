// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv)
{
    // View tests run on the offscreen platform. The X11 tests run the same binary on a
    // virtual X server with ORLETTE_VIEW_TESTS_PLATFORM=xcb (tests/e2e/test_platform_x11.py).
    const QByteArray platform = qgetenv("ORLETTE_VIEW_TESTS_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
