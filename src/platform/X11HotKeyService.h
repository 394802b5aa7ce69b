// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyCombination.h"
#include "platform/HotKeyService.h"
#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QSet>

#include <map>
#include <memory>
#include <optional>

struct _XCBKeySymbols;

// Hot keys as passive key grabs on the root window of Qt's X connection, on every key that
// makes the combination's keysym in any configured layout, or on the key in its place when
// none does. A combination is
// grabbed with every state of CapsLock and NumLock, since X compares the lock bits too;
// which ModN bits stand for Super, Alt and NumLock is read from the server's modifier map
// and read again, with every grab renewed, when the keyboard mapping changes. A key that
// another client grabbed first (BadAccess) cannot be registered. Without an X server
// nothing can be registered.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11HotKeyService(QObject *parent = nullptr);
    ~X11HotKeyService() override;

    bool isAvailable() const { return m_x11.has_value(); }

    std::optional<quint64> registerHotKey(quint32 keyCode, quint32 modifiers,
                                          HotKeyIdentity identity) override;
    void unregisterHotKey(quint64 reference) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The modifier bits in use, for checks.
    struct ModifierBits
    {
        quint16 alt = 0;
        quint16 super = 0;
        quint16 numLock = 0;
    };
    ModifierBits modifierBits() const { return m_bits; }

private:
    struct Grab
    {
        QList<xcb_keycode_t> keycodes;
        quint16 modifiers = 0;
    };
    struct Registration
    {
        HotKeyCombination combination;
        HotKeyIdentity identity;
        std::optional<Grab> grab;
    };
    struct KeySymbolsDeleter
    {
        void operator()(_XCBKeySymbols *symbols) const;
    };

    void readKeyboard();
    std::optional<Grab> grab(const HotKeyCombination &combination);
    void ungrab(const Grab &grab);
    QList<quint16> lockVariants() const;
    void keyboardChanged();
    void regrabAll();

    std::optional<X11Connection> m_x11;
    std::unique_ptr<_XCBKeySymbols, KeySymbolsDeleter> m_keySymbols;
    ModifierBits m_bits;
    std::map<quint64, Registration> m_registrations;
    quint64 m_nextReference = 1;
    std::optional<quint8> m_xkbEvent;
    QSet<xcb_keycode_t> m_held;
    bool m_regrabPending = false;
};
