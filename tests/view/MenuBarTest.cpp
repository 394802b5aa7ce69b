// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/MenuBarContent.h"
#include "library/MenuBarLabel.h"
#include "platform/NotificationCenter.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

TEST(MenuBar, ItemsInOrderWithTheirKeyEquivalents)
{
    int newNotes = 0;
    int quits = 0;
    MenuBarContent content({[&] { ++newNotes; }, [&] { ++quits; }});
    const QList<QAction *> actions = content.menu()->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), "Nueva nota");
    EXPECT_EQ(actions[1]->text(), "Biblioteca…");
    EXPECT_EQ(actions[2]->text(), "Ajustes…");
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), "Salir de Orlette");
    for (int i : {0, 1, 2, 4})
        EXPECT_FALSE(actions[i]->shortcut().isEmpty()) << i;
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(Qt::META | Qt::ALT | Qt::Key_N));

    actions[0]->trigger();
    actions[4]->trigger();
    EXPECT_EQ(newNotes, 1);
    EXPECT_EQ(quits, 1);
}

TEST(MenuBar, WindowRequestsOpenAndActivateOnlyForStrings)
{
    QStringList opened;
    int activations = 0;
    MenuBarLabel label([&](const QString &id) { opened << id; }, [&] { ++activations; });
    MenuBarContent content(MenuBarContent::Actions{});

    content.menu()->actions()[1]->trigger();
    content.menu()->actions()[2]->trigger();
    EXPECT_EQ(opened, (QStringList{"library", "settings"}));
    EXPECT_EQ(activations, 2);

    NotificationCenter::standard().post(Notifications::openWindow, 42);
    NotificationCenter::standard().post(Notifications::openWindow, QVariant());
    EXPECT_EQ(opened.size(), 2) << "a request whose object is not a string is ignored";
    EXPECT_EQ(activations, 2);

    MenuBarContent::requestWindow("welcome");
    EXPECT_EQ(opened.last(), "welcome");
}

TEST(MenuBar, TheIconIsDrawnAtTraySizes)
{
    const QIcon icon = MenuBarLabel::noteTextIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(22, 22).toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(inked, 20);
    EXPECT_LT(inked, 22 * 22 / 2) << "an outline, not a filled square";
}
