// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <optional>

// Whether a compositing manager runs: it owns the _NET_WM_CM_Sn selection of the screen.
// Follows the selection's owner through XFixes, so a compositor started or stopped later
// is noticed. Where there is no X server it reports no compositor and never changes.
class X11CompositingWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11CompositingWatcher(QObject *parent = nullptr);
    ~X11CompositingWatcher() override;

    bool isAvailable() const { return m_x11.has_value(); }
    bool isCompositing() const { return m_compositing; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void compositingChanged(bool compositing);

private:
    bool queryOwner() const;

    std::optional<X11Connection> m_x11;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    std::optional<quint8> m_xfixesEvent;
    bool m_compositing = false;
};
