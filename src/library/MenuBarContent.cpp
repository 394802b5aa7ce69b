// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/MenuBarContent.h"

#include "platform/NotificationCenter.h"

#include <QAction>
#include <QMenu>

MenuBarContent::MenuBarContent(Actions actions, QObject *parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_actions(std::move(actions))
{
    // The key equivalents are shown as the desktop names them: the quick-note hot key is
    // Super+Alt+N here, and the command key is Ctrl.
    QAction *newNote = m_menu->addAction(QStringLiteral("Nueva nota"));
    newNote->setShortcut(QKeySequence(Qt::META | Qt::ALT | Qt::Key_N));
    connect(newNote, &QAction::triggered, this, [this] {
        if (m_actions.newNote)
            m_actions.newNote();
    });

    QAction *library = m_menu->addAction(QStringLiteral("Biblioteca…"));
    library->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    connect(library, &QAction::triggered, this, [] { requestWindow(QStringLiteral("library")); });

    QAction *settings = m_menu->addAction(QStringLiteral("Ajustes…"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, [] { requestWindow(QStringLiteral("settings")); });

    m_menu->addSeparator();

    QAction *quit = m_menu->addAction(QStringLiteral("Salir de Orlette"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this] {
        if (m_actions.quit)
            m_actions.quit();
    });
}

MenuBarContent::~MenuBarContent() = default;

void MenuBarContent::requestWindow(const QString &windowID)
{
    NotificationCenter::standard().post(Notifications::openWindow, windowID);
}
