// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeyCombination.h"
#include "platform/HotKeyService.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(HotKeyCombination, QuickNoteKeyIsSuperAltN)
{
    const auto combination = HotKeyCombination::fromCarbon(
        CarbonKeys::keyN, CarbonKeys::commandModifier | CarbonKeys::optionModifier);
    ASSERT_TRUE(combination);
    EXPECT_EQ(CarbonKeys::commandModifier | CarbonKeys::optionModifier, 2304u);
    EXPECT_EQ(combination->keysym, quint32('n'));
    EXPECT_EQ(combination->modifiers, HotKeyModifier::super | HotKeyModifier::alt);
}

TEST(HotKeyCombination, MapsEachModifierAndIgnoresCapsLock)
{
    const auto all = HotKeyCombination::fromCarbon(0x00, CarbonKeys::shiftModifier |
                                                             CarbonKeys::controlModifier |
                                                             CarbonKeys::capsLockModifier);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->keysym, quint32('a'));
    EXPECT_EQ(all->modifiers, HotKeyModifier::shift | HotKeyModifier::control);
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x00, 0)->modifiers, HotKeyModifiers());
}

TEST(HotKeyCombination, FollowsTheKeyboardsOwnOrderOfKeyCodes)
{
    // The key codes of the number row are not in numeric order.
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x16, 0)->keysym, quint32('6'));
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x17, 0)->keysym, quint32('5'));
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x1D, 0)->keysym, quint32('0'));
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x24, 0)->keysym, 0xff0du) << "return";
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x7A, 0)->keysym, 0xffbeu) << "F1";
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x7E, 0)->keysym, 0xff52u) << "up";
}

TEST(HotKeyCombination, EachKeyKnowsItsPlaceOnTheKeyboard)
{
    // X key codes of the evdev keyboard: N sits between B and M on the bottom row.
    EXPECT_EQ(HotKeyCombination::fromCarbon(CarbonKeys::keyN, 0)->positionKeycode, 57);
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x0B, 0)->positionKeycode, 56) << "b";
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x2E, 0)->positionKeycode, 58) << "m";
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x0C, 0)->positionKeycode, 24) << "q";
    EXPECT_EQ(HotKeyCombination::fromCarbon(0x12, 0)->positionKeycode, 10) << "1";
    // No two keys share a place.
    QSet<quint8> places;
    int keys = 0;
    for (quint32 code = 0; code < 0x80; ++code) {
        if (const auto combination = HotKeyCombination::fromCarbon(code, 0)) {
            ++keys;
            EXPECT_NE(combination->positionKeycode, 0) << code;
            places.insert(combination->positionKeycode);
        }
    }
    EXPECT_EQ(places.size(), keys);
}

TEST(HotKeyCombination, RejectsUnknownKeysAndModifiers)
{
    EXPECT_FALSE(HotKeyCombination::fromCarbon(0x0A, 0)) << "the ISO section key";
    EXPECT_FALSE(HotKeyCombination::fromCarbon(200, 0));
    EXPECT_FALSE(HotKeyCombination::fromCarbon(CarbonKeys::keyN, 1u << 14)) << "a bit with no key";
}

TEST(HotKeyIdentity, SignatureIsTheBigEndianValueOfItsLetters)
{
    static_assert(HotKeyIdentity::fourCharCode("ORLT") == 0x4F524C54u);
    EXPECT_EQ((HotKeyIdentity{HotKeyIdentity::fourCharCode("ORLT"), 1}),
              (HotKeyIdentity{0x4F524C54u, 1}));
}
