// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/AppSettings.h"
#include "model/UserDefaults.h"

#include "TestSupport.h"

#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

using AppSettings::RailScreen;

namespace {

class FakeScreens : public ScreenSource
{
public:
    QList<ScreenInfo> list;
    std::optional<ScreenInfo> primary;
    QPointF pointer;
    QList<ScreenInfo> screens() const override { return list; }
    std::optional<ScreenInfo> mainScreen() const override { return primary; }
    QPointF pointerLocation() const override { return pointer; }
};

ScreenInfo screen(quint32 number, const QRectF &frame, const QString &name)
{
    return ScreenInfo{number, frame, frame.adjusted(0, 0, 0, -25), name};
}

} // namespace

TEST(Settings, DefaultEdgeReadsLeftOnlyWhenExactlyLeft)
{
    ScopedDefaults scoped;
    EXPECT_EQ(AppSettings::defaultEdge(), ScreenEdge::right) << "absent";
    for (const char *value : {"Left", "LEFT", "", "izquierda", "right"}) {
        scoped.defaults().setValue(AppSettings::Keys::defaultEdge, value);
        EXPECT_EQ(AppSettings::defaultEdge(), ScreenEdge::right) << value;
    }
    scoped.defaults().setValue(AppSettings::Keys::defaultEdge, "left");
    EXPECT_EQ(AppSettings::defaultEdge(), ScreenEdge::left);
}

TEST(Settings, RailScreenTokens)
{
    const struct
    {
        const char *token;
        RailScreen expected;
    } cases[] = {
        {"main", RailScreen::main()},
        {"", RailScreen::main()},
        {"withCursor", RailScreen::withCursor()},
        {"withcursor", RailScreen::main()},
        {"display:", RailScreen::main()},
        {"display:-1", RailScreen::main()},
        {"display:4294967296", RailScreen::main()},
        {"display:99999999999999999999999", RailScreen::main()},
        {"display:abc", RailScreen::main()},
        {"display:+", RailScreen::main()},
        {"display: 7", RailScreen::main()},
        {"display:+7", RailScreen::display(7)},
        {"display:0", RailScreen::display(0)},
        {"display:4294967295", RailScreen::display(4294967295u)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(RailScreen::fromToken(QString::fromUtf8(c.token)), c.expected) << c.token;
        EXPECT_EQ(RailScreen::fromToken(c.expected.token()), c.expected) << "round trip";
    }
    EXPECT_EQ(RailScreen::display(7).token(), "display:7");
}

TEST(Settings, RailScreenResolvesAndFallsBackToTheMainScreen)
{
    FakeScreens screens;
    for (const RailScreen choice :
         {RailScreen::main(), RailScreen::withCursor(), RailScreen::display(1)}) {
        EXPECT_FALSE(choice.resolve(screens)) << "no screen at all gives none";
    }

    const ScreenInfo left = screen(1, QRectF(0, 0, 1440, 900), "Incorporada");
    const ScreenInfo right = screen(2, QRectF(1440, 0, 1920, 1080), "DELL U2720Q");
    screens.list = {left, right};
    EXPECT_EQ(RailScreen::main().resolve(screens), left) << "first connected without a main";
    screens.primary = right;
    EXPECT_EQ(RailScreen::main().resolve(screens), right);
    EXPECT_EQ(RailScreen::display(1).resolve(screens), left);
    EXPECT_EQ(RailScreen::display(9).resolve(screens), right) << "disconnected: main screen";
    screens.pointer = QPointF(100, 100);
    EXPECT_EQ(RailScreen::withCursor().resolve(screens), left);
    screens.pointer = QPointF(1440, 0);
    EXPECT_EQ(RailScreen::withCursor().resolve(screens), right) << "the shared edge is the next's";
    screens.pointer = QPointF(-5, -5);
    EXPECT_EQ(RailScreen::withCursor().resolve(screens), right) << "off every screen: main";

    EXPECT_EQ(RailScreen::display(2).label(screens), "DELL U2720Q");
    EXPECT_EQ(RailScreen::display(9).label(screens), "Una pantalla desconectada");
    EXPECT_EQ(RailScreen::main().label(screens), "La pantalla principal");
    EXPECT_EQ(RailScreen::withCursor().label(screens), "La pantalla donde esté el cursor");

    screens.list.append(ScreenInfo{std::nullopt, QRectF(0, 900, 800, 600), {}, "Sin número"});
    EXPECT_EQ(RailScreen::choices(screens),
              (QList<RailScreen>{RailScreen::main(), RailScreen::withCursor(),
                                 RailScreen::display(1), RailScreen::display(2)}));
}

TEST(Settings, WritesAreOnDiskAndAnnounced)
{
    ScopedDefaults scoped;
    UserDefaults &defaults = scoped.defaults();
    QSignalSpy changed(&defaults, &UserDefaults::didChange);
    defaults.setValue(AppSettings::Keys::noteFontSize, 24.5);
    defaults.setValue(AppSettings::Keys::hasSeenTour, true);
    EXPECT_EQ(changed.count(), 2);

    // Read back by an independent reader, as the next start of the application would.
    QSettings reader(scoped.path(), QSettings::IniFormat);
    EXPECT_DOUBLE_EQ(reader.value(AppSettings::Keys::noteFontSize).toDouble(), 24.5);
    EXPECT_TRUE(reader.value(AppSettings::Keys::hasSeenTour).toBool());

    EXPECT_EQ(defaults.doubleValue(AppSettings::Keys::noteFontSize, 20), 24.5);
    EXPECT_EQ(defaults.doubleValue("absent", AppSettings::Defaults::noteFontSize), 20);
    EXPECT_FALSE(defaults.boolValue(AppSettings::Keys::showsDockIcon));
}

TEST(Settings, ChangesByAnotherProcessAreNoticed)
{
    ScopedDefaults scoped;
    UserDefaults &defaults = scoped.defaults();
    defaults.setValue(AppSettings::Keys::defaultEdge, "right");
    QSignalSpy changed(&defaults, &UserDefaults::didChange);
    {
        QSettings other(scoped.path(), QSettings::IniFormat);
        other.setValue(AppSettings::Keys::defaultEdge, "left");
        other.sync();
    }
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }, 5000));
    EXPECT_EQ(AppSettings::defaultEdge(), ScreenEdge::left);

    // Rewriting the same values is no change.
    const int seen = changed.count();
    {
        QSettings other(scoped.path(), QSettings::IniFormat);
        other.setValue(AppSettings::Keys::defaultEdge, "left");
        other.sync();
    }
    waitUntil([] { return false; }, 400);
    EXPECT_EQ(changed.count(), seen);
}
