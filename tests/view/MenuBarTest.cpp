// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/MenuBarContent.h"
#include "library/MenuBarLabel.h"
#include "platform/NotificationCenter.h"
#include "platform/X11TrayHost.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>

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

namespace {

// How many pixels of the icon, laid on a panel of `panel` colour, differ from the panel
// clearly enough to be seen (a difference of lightness above a third of the range).
int visiblePixelsOn(const QIcon &icon, QColor panel, int size)
{
    QImage shown(size, size, QImage::Format_RGB32);
    shown.fill(panel);
    QPainter painter(&shown);
    painter.drawPixmap(0, 0, icon.pixmap(size, size));
    painter.end();
    int visible = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            visible += std::abs(qGray(shown.pixel(x, y)) - qGray(panel.rgb())) > 85;
    return visible;
}

} // namespace

TEST(MenuBar, TheIconReadsOnLightAndDarkPanels)
{
    const QIcon icon = MenuBarLabel::noteTextIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 22, 24}) {
        for (const QColor panel :
             {QColor(Qt::white), QColor(235, 235, 235), QColor(Qt::black), QColor(48, 48, 52)}) {
            const int visible = visiblePixelsOn(icon, panel, size);
            EXPECT_GT(visible, size * size / 8) << size << " px on " << qPrintable(panel.name());
            EXPECT_LT(visible, size * size * 3 / 4)
                << size << " px on " << qPrintable(panel.name()) << ": a page, not a block";
        }
    }
}

TEST(MenuBar, TheIconTakesTheTrayHostsForeground)
{
    const QColor foreground(200, 30, 40);
    const QImage image = MenuBarLabel::noteTextIcon(foreground).pixmap(22, 22).toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250)
                continue;
            ++inked;
            EXPECT_EQ(pixel.rgb(), foreground.rgb()) << x << "," << y;
        }
    }
    EXPECT_GT(inked, 20);
    EXPECT_GT(visiblePixelsOn(MenuBarLabel::noteTextIcon(QColor(Qt::white)), Qt::black, 22), 30);
}

TEST(MenuBar, TheTrayHostsColoursAreReadAsSixteenBitChannels)
{
    const quint32 colours[12] = {65535, 32896, 0, 65535, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(X11TrayHost::foregroundOf(colours, 12), QColor(255, 128, 0));
    const quint32 tooBig[3] = {70000, 0, 257};
    EXPECT_EQ(X11TrayHost::foregroundOf(tooBig, 3), QColor(255, 0, 1));
    EXPECT_FALSE(X11TrayHost::foregroundOf(colours, 2));
    EXPECT_FALSE(X11TrayHost::foregroundOf(nullptr, 12));
}

TEST(MenuBar, WithoutAnXServerTheLabelWatchesNoTrayHost)
{
    X11TrayHost host;
    EXPECT_FALSE(host.isWatching());
    EXPECT_FALSE(host.hasHost());
    EXPECT_FALSE(host.foreground());
}
