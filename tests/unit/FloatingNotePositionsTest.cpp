// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotePositions.h"
#include "model/ScreenSource.h"
#include "model/UserDefaults.h"

#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Positions = FloatingNotePositions;

namespace {

const QUuid noteId(QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca427"));

class FakeScreens : public ScreenSource
{
public:
    QList<ScreenInfo> list;
    std::optional<ScreenInfo> primary;
    QList<ScreenInfo> screens() const override { return list; }
    std::optional<ScreenInfo> mainScreen() const override { return primary; }
    QPointF pointerLocation() const override { return {}; }
};

ScreenInfo screenWithVisibleFrame(const QRectF &visible)
{
    return ScreenInfo{1, visible.adjusted(0, -30, 0, 30), visible, QStringLiteral("Pantalla")};
}

} // namespace

TEST(FloatingNotePositions, KeyIsPrefixAndUpperCaseId)
{
    EXPECT_EQ(Positions::key(noteId),
              QStringLiteral("floatingNote.1B4E28BA-2FA1-11D2-883F-0016D3CCA427"));
}

TEST(FloatingNotePositions, FormatIsShortestRoundTrip)
{
    EXPECT_EQ(Positions::format({120, 318.5}), QStringLiteral("120.0,318.5"));
    EXPECT_EQ(Positions::format({10.5, -20}), QStringLiteral("10.5,-20.0"));
    EXPECT_EQ(Positions::format({0.1 + 0.2, 1.0 / 3}),
              QStringLiteral("0.30000000000000004,0.3333333333333333"));
    EXPECT_EQ(Positions::format({std::nan(""), 4}), std::nullopt);
    EXPECT_EQ(Positions::format({4, std::numeric_limits<double>::infinity()}), std::nullopt);

    for (const QPointF p : {QPointF(1e-7, 123456789.125), QPointF(-0.001, 5e15),
                            QPointF(412.0000000001, 318.49999999999994)}) {
        const auto back = Positions::parse(*Positions::format(p));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->x(), p.x());
        EXPECT_EQ(back->y(), p.y());
    }
}

TEST(FloatingNotePositions, ParseNeedsExactlyTwoNumbers)
{
    EXPECT_EQ(Positions::parse(QStringLiteral("10.5,20")), QPointF(10.5, 20));
    EXPECT_EQ(Positions::parse(QStringLiteral("412.0,318.5")), QPointF(412, 318.5));
    EXPECT_EQ(Positions::parse(QStringLiteral(",,-3,,+4e1,")), QPointF(-3, 40));
    // Pieces that are not numbers are skipped, so two numbers still make a point.
    EXPECT_EQ(Positions::parse(QStringLiteral("10,abc,20")), QPointF(10, 20));

    for (const char *garbage :
         {"", "10.5", "10.5,20,30", "abc,def", "10px,20", " 10,20", "10,20 ", "1e999,2", "nan,1",
          "inf,1", "+-1,2", "0x10,2", "10;20", "10,2é", "١٠,٢٠"}) {
        EXPECT_EQ(Positions::parse(QString::fromUtf8(garbage)), std::nullopt) << garbage;
    }
}

TEST(FloatingNotePositions, SaveLoadForgetThroughTheSettingsFile)
{
    ScopedDefaults scoped;
    EXPECT_EQ(Positions::load(noteId), std::nullopt);

    Positions::save(noteId, {412, 318.5});
    EXPECT_EQ(scoped.defaults().stringValue(Positions::key(noteId)), QStringLiteral("412.0,318.5"));
    // The comma must survive the INI file: another process reads the same place.
    const UserDefaults other(scoped.path());
    EXPECT_EQ(Positions::load(noteId, other), QPointF(412, 318.5));

    Positions::save(noteId, {std::nan(""), 1});
    EXPECT_EQ(Positions::load(noteId), QPointF(412, 318.5)) << "a broken origin is not written";

    const QUuid otherNote = QUuid::createUuid();
    Positions::save(otherNote, {1, 2});
    Positions::forget(noteId);
    EXPECT_EQ(Positions::load(noteId), std::nullopt);
    EXPECT_FALSE(scoped.defaults().contains(Positions::key(noteId)));
    EXPECT_EQ(Positions::load(otherNote), QPointF(1, 2));

    scoped.defaults().setValue(Positions::key(noteId), QStringLiteral("10.5,20,30"));
    EXPECT_EQ(Positions::load(noteId), std::nullopt);
}

TEST(FloatingNotePositions, HandWrittenUnquotedValueReadsTheSame)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Orlette.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nfloatingNote.1B4E28BA-2FA1-11D2-883F-0016D3CCA427=10.5,20\n");
    file.close();
    const UserDefaults defaults(path);
    EXPECT_EQ(Positions::load(noteId, defaults), QPointF(10.5, 20));
}

TEST(FloatingNotePositions, CascadeStepsFromTheCentreAndStartsOver)
{
    FakeScreens screens;
    const QSizeF size(380, 340);
    EXPECT_EQ(Positions::defaultOrigin(0, size, screens), QPointF(200, 200)) << "no screen";

    screens.list = {screenWithVisibleFrame({1440, 0, 1000, 800})};
    EXPECT_EQ(Positions::defaultOrigin(0, size, screens), QPointF(1440 + 500 - 190, 400 - 170))
        << "first screen when there is no main one";

    screens.primary = screenWithVisibleFrame({0, 25, 1440, 850});
    const QPointF centre(720 - 190, 25 + 425 - 170);
    EXPECT_EQ(Positions::defaultOrigin(0, size, screens), centre);
    EXPECT_EQ(Positions::defaultOrigin(1, size, screens), centre + QPointF(26, -26));
    EXPECT_EQ(Positions::defaultOrigin(7, size, screens), centre + QPointF(182, -182));
    EXPECT_EQ(Positions::defaultOrigin(8, size, screens), centre);
    EXPECT_EQ(Positions::defaultOrigin(19, size, screens), centre + QPointF(78, -78));
}
