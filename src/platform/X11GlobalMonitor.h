// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPoint>

#include <optional>

// Pointer motion and button presses anywhere on the desktop, from XInput 2 raw events
// selected on the root window (they reach us whichever window is under the pointer or
// holds a grab). Raw events carry no position: a press is located by asking the server
// where the pointer is while the event is being read, before anything else runs, so a
// click followed by a quick move is placed where it happened. Does nothing where there is
// no X server or no XInput 2.2.
class X11GlobalMonitor : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11GlobalMonitor(QObject *parent = nullptr);
    ~X11GlobalMonitor() override;

    bool isAvailable() const { return m_x11.has_value(); }

    // Selects (or stops selecting) the raw events; selecting nothing costs nothing.
    void setMotionEnabled(bool enabled);
    void setButtonsEnabled(bool enabled);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // Whether a raw button number is a button press worth reporting: 4 to 7 are the
    // scroll wheel.
    static bool isClickButton(quint32 button) { return button != 0 && (button < 4 || button > 7); }

Q_SIGNALS:
    // The pointer moved; many raw motions within one pass of the event loop are reported
    // once.
    void pointerMoved();
    // A button (X numbering: 1 left, 2 middle, 3 right, 8 and up extra) went down at
    // `position` (Qt's desktop coordinates).
    void buttonPressed(quint32 button, const QPoint &position);

private:
    void select();

    std::optional<X11Connection> m_x11;
    quint8 m_opcode = 0;
    bool m_motionEnabled = false;
    bool m_buttonsEnabled = false;
    bool m_motionPending = false;
};
