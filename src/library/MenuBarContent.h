// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QMenu;

// The tray menu: "Nueva nota", "Biblioteca…", "Ajustes…", and "Salir de Orlette". It only
// asks for things; the application decides how they are done.
class MenuBarContent : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        std::function<void()> newNote;
        std::function<void()> quit;
    };

    explicit MenuBarContent(Actions actions, QObject *parent = nullptr);
    ~MenuBarContent() override;

    QMenu *menu() const { return m_menu.get(); }

    // Posts the window request for `windowID`; the label opens the window.
    static void requestWindow(const QString &windowID);

private:
    std::unique_ptr<QMenu> m_menu;
    Actions m_actions;
};
