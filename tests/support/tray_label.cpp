// SPDX-License-Identifier: GPL-3.0-or-later
// Orlette's tray icon in a process of its own, for tests that need a fresh session bus and
// a Qt that has not yet looked for a tray. Prints "shown" once the label was asked to show
// its icon; runs until it is terminated.

#include "library/MenuBarLabel.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMenu menu;
    menu.addAction(QStringLiteral("Nueva nota"));
    MenuBarLabel label({}, {});
    label.show(&menu);
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
