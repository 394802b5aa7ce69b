// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GlobalHotKey.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A hot-key service that grants or refuses keys as told and can simulate presses.
class ScriptedHotKeys : public HotKeyService
{
public:
    bool refuse = false;
    QList<quint64> unregistered;
    QList<HotKeyIdentity> registered;

    std::optional<quint64> registerHotKey(quint32, quint32, HotKeyIdentity identity) override
    {
        if (refuse)
            return std::nullopt;
        registered << identity;
        return 1000 + identity.number;
    }
    void unregisterHotKey(quint64 reference) override { unregistered << reference; }
    void press(HotKeyIdentity identity) { Q_EMIT hotKeyPressed(identity); }
};

} // namespace

TEST(GlobalHotKey, RegistersWithTheOrltSignatureAndRoutesPresses)
{
    ScriptedHotKeys service;
    int presses = 0;
    const quint32 expectedId = GlobalHotKey::nextId();
    auto hotKey = GlobalHotKey::create(&service, GlobalHotKey::quickNoteKeyCode,
                                       GlobalHotKey::quickNoteModifiers, [&] { ++presses; });
    ASSERT_TRUE(hotKey);
    EXPECT_EQ(hotKey->id(), expectedId);
    EXPECT_EQ(GlobalHotKey::nextId(), expectedId + 1);
    ASSERT_EQ(service.registered.size(), 1);
    EXPECT_EQ(service.registered.first().signature, 0x4F524C54u) << "'ORLT' big-endian";
    EXPECT_EQ(service.registered.first().number, hotKey->id());

    service.press(service.registered.first());
    EXPECT_EQ(presses, 0) << "the handler runs from the event loop, not inside the event";
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));

    // A press carrying another signature is passed on, unhandled.
    EXPECT_EQ(GlobalHotKey::handleEvent(
                  HotKeyIdentity{HotKeyIdentity::fourCharCode("ABCD"), hotKey->id()}),
              GlobalHotKey::eventNotHandledErr);
    EXPECT_EQ(GlobalHotKey::handleEvent(std::nullopt), GlobalHotKey::eventNotHandledErr);

    const quint32 id = hotKey->id();
    hotKey->unregister();
    EXPECT_EQ(service.unregistered, QList<quint64>{1000 + id});
    EXPECT_FALSE(GlobalHotKey::hasHandler(id));
    // A late press after termination finds no handler and does nothing.
    EXPECT_EQ(GlobalHotKey::handleEvent(HotKeyIdentity{GlobalHotKey::signature, id}), 0);
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(presses, 1);
}

TEST(GlobalHotKey, ARefusedRegistrationLeavesNoHandlerButUsesANumber)
{
    ScriptedHotKeys service;
    service.refuse = true;
    const quint32 before = GlobalHotKey::nextId();
    EXPECT_FALSE(GlobalHotKey::create(&service, 45, 2304, [] {}));
    EXPECT_FALSE(GlobalHotKey::hasHandler(before));
    EXPECT_EQ(GlobalHotKey::nextId(), before + 1) << "every attempt takes a number";
    EXPECT_FALSE(GlobalHotKey::create(nullptr, 45, 2304, [] {}));
}
