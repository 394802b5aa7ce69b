// SPDX-License-Identifier: GPL-3.0-or-later
// Hot keys on a real X server: grabs, presses, other clients and keyboard changes.

#include "platform/X11HotKeyService.h"

#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QSignalSpy>

#include <xcb/xcb_keysyms.h>

namespace {

constexpr quint32 superAlt = CarbonKeys::commandModifier | CarbonKeys::optionModifier;
constexpr quint32 keyM = 0x2E;
const HotKeyIdentity quickNote{HotKeyIdentity::fourCharCode("ORLT"), 1};

xcb_keycode_t keycodeOf(xcb_connection_t *connection, xcb_keysym_t keysym)
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    const X11Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    xcb_key_symbols_free(symbols);
    return codes ? codes.get()[0] : xcb_keycode_t(0);
}

class X11HotKeys : public ::testing::Test
{
protected:
    void SetUp() override { SKIP_UNLESS_X11(); }

    bool press(const QString &combo) { return X11Test::xdotool({"key", combo}); }

    X11HotKeyService service;
};

} // namespace

TEST_F(X11HotKeys, QuickNoteKeyFiresWithEveryLockStateAndOnlyWithItsModifiers)
{
    EXPECT_EQ(service.modifierBits().alt, XCB_MOD_MASK_1);
    EXPECT_EQ(service.modifierBits().super, XCB_MOD_MASK_4);
    EXPECT_EQ(service.modifierBits().numLock, XCB_MOD_MASK_2);
    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    const std::optional<quint64> reference =
        service.registerHotKey(CarbonKeys::keyN, superAlt, quickNote);
    ASSERT_TRUE(reference);

    ASSERT_TRUE(press("super+alt+n"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 1; }));
    EXPECT_EQ(pressed.at(0).at(0).value<HotKeyIdentity>(), quickNote);

    for (const char *lock : {"Num_Lock", "Caps_Lock"}) {
        ASSERT_TRUE(press(lock));
        ASSERT_TRUE(press("super+alt+n"));
        ASSERT_TRUE(press(lock));
    }
    EXPECT_TRUE(waitUntil([&] { return pressed.size() == 3; }));

    ASSERT_TRUE(press("super+n"));
    ASSERT_TRUE(press("alt+n"));
    ASSERT_TRUE(press("super+alt+shift+n"));
    X11Test::settle();
    EXPECT_EQ(pressed.size(), 3) << "other modifiers do not count";

    service.unregisterHotKey(*reference);
    ASSERT_TRUE(press("super+alt+n"));
    X11Test::settle();
    EXPECT_EQ(pressed.size(), 3) << "released";
}

TEST_F(X11HotKeys, AKeyAnotherClientHoldsCannotBeRegisteredUntilItLetsGo)
{
    X11Test::OtherClient other;
    const xcb_keycode_t m = keycodeOf(other.connection(), 'm');
    ASSERT_NE(m, 0);
    const quint16 modifiers = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;
    ASSERT_TRUE(other.grabKey(m, modifiers));

    EXPECT_EQ(service.registerHotKey(keyM, superAlt, quickNote), std::nullopt);
    // The refused registration left the other client's grab alone...
    X11Test::OtherClient third;
    EXPECT_FALSE(third.grabKey(m, modifiers));

    // ...and once it is released the key can be had.
    other.ungrabKey(m, modifiers);
    const std::optional<quint64> reference = service.registerHotKey(keyM, superAlt, quickNote);
    ASSERT_TRUE(reference);
    EXPECT_EQ(service.registerHotKey(keyM, superAlt, {quickNote.signature, 2}), std::nullopt)
        << "one registration per key";

    // Unregistering gives the key back to everyone, every lock state included.
    service.unregisterHotKey(*reference);
    EXPECT_TRUE(third.grabKey(m, modifiers));
    EXPECT_TRUE(third.grabKey(m, modifiers | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
}

TEST_F(X11HotKeys, GrabsFollowAChangedModifierMap)
{
    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    ASSERT_TRUE(service.registerHotKey(CarbonKeys::keyN, superAlt, quickNote));

    // Super moves from Mod4 to Mod3.
    ASSERT_TRUE(X11Test::run({"xmodmap", "-e", "clear mod4", "-e", "add mod3 = Super_L Super_R"}));
    const bool followed = waitUntil([&] { return service.modifierBits().super == XCB_MOD_MASK_3; });
    if (followed) {
        ASSERT_TRUE(press("super+alt+n"));
        EXPECT_TRUE(waitUntil([&] { return pressed.size() == 1; }));
    }
    ASSERT_TRUE(
        X11Test::run({"xmodmap", "-e", "clear mod3", "-e", "add mod4 = Super_L Super_R Hyper_L"}));
    ASSERT_TRUE(followed) << "the new modifier map was read";
    EXPECT_TRUE(waitUntil([&] { return service.modifierBits().super == XCB_MOD_MASK_4; }));
    ASSERT_TRUE(press("super+alt+n"));
    EXPECT_TRUE(waitUntil([&] { return pressed.size() == 2; }));
}

// The quick-note key on other keyboard layouts: on the key that types "n" in any configured
// layout, or on the key in the place of N when none has it (a Russian-only layout).
TEST_F(X11HotKeys, TheKeyOfNInAnyLayoutOrTheKeyInItsPlace)
{
    struct Restore
    {
        ~Restore() { X11Test::run({"setxkbmap", "-layout", "us"}); }
    } restore;
    QSignalSpy pressed(&service, &HotKeyService::hotKeyPressed);
    const auto keycodeOfN = [] {
        X11Test::OtherClient other;
        return keycodeOf(other.connection(), 'n');
    };

    ASSERT_TRUE(X11Test::run({"setxkbmap", "-layout", "ru"}));
    ASSERT_EQ(keycodeOfN(), 0) << "no key types n in a Russian layout";
    const std::optional<quint64> reference =
        service.registerHotKey(CarbonKeys::keyN, superAlt, quickNote);
    ASSERT_TRUE(reference) << "the key in the place of N stands in";
    ASSERT_TRUE(press("super+alt+Cyrillic_te"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 1; }));

    // A layout that has n follows the letter, not the place: Dvorak types n with the key
    // that QWERTY calls L, and the key in N's place types b.
    ASSERT_TRUE(X11Test::run({"setxkbmap", "-layout", "us", "-variant", "dvorak"}));
    ASSERT_TRUE(waitUntil([&] { return keycodeOfN() != 0 && keycodeOfN() != 57; }));
    X11Test::settle(300);
    ASSERT_TRUE(press("super+alt+n"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 2; }));
    ASSERT_TRUE(press("super+alt+b"));
    X11Test::settle();
    EXPECT_EQ(pressed.size(), 2) << "the key in N's place is b here, not the hot key";

    // Russian beside a Latin layout: the key that types n in the Latin one.
    ASSERT_TRUE(X11Test::run({"setxkbmap", "-layout", "ru,us"}));
    ASSERT_TRUE(waitUntil([&] { return keycodeOfN() == 57; }));
    X11Test::settle(300);
    ASSERT_TRUE(press("super+alt+Cyrillic_te"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 3; }));

    ASSERT_TRUE(X11Test::run({"setxkbmap", "-layout", "us"}));
    X11Test::settle();
    ASSERT_TRUE(press("super+alt+n"));
    ASSERT_TRUE(waitUntil([&] { return pressed.size() == 4; }));
    service.unregisterHotKey(*reference);
}
