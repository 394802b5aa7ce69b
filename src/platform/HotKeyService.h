// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <optional>

// Who a hot key belongs to: a four-character signature and a number of the owner's.
struct HotKeyIdentity
{
    quint32 signature = 0;
    quint32 number = 0;

    // A four-character code as the 32-bit big-endian value of its four letters.
    static constexpr quint32 fourCharCode(const char (&code)[5])
    {
        return quint32(quint8(code[0])) << 24 | quint32(quint8(code[1])) << 16 |
               quint32(quint8(code[2])) << 8 | quint32(quint8(code[3]));
    }

    friend bool operator==(const HotKeyIdentity &, const HotKeyIdentity &) = default;
};

// The desktop's system-wide hot keys. Main thread only.
class HotKeyService : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Registers the key (a virtual key code with an event-manager modifier mask, see
    // CarbonKeys) for `identity`. Returns the service's reference to it, or nothing when
    // the key cannot be had: no such key, already registered, taken by another
    // application, or no desktop that offers hot keys. A desktop that answers later may
    // still refuse it: see registrationFailed.
    virtual std::optional<quint64> registerHotKey(quint32 keyCode, quint32 modifiers,
                                                  HotKeyIdentity identity) = 0;
    // Releases the key; an unknown reference is ignored.
    virtual void unregisterHotKey(quint64 reference) = 0;

Q_SIGNALS:
    // A registered key was pressed (once per press: holding it does not repeat). Emitted
    // from the event loop, after the desktop's event has been dispatched.
    void hotKeyPressed(HotKeyIdentity identity);
    // A desktop that answers later than registerHotKey returns refused the key, or gave
    // it up afterwards; `reason` says why, for the person. Services that decide at once
    // never emit it.
    void registrationFailed(HotKeyIdentity identity, const QString &reason);
};
