// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeyCombination.h"
#include "platform/HotKeyService.h"

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
