// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>

#include <optional>

// The usable area of each monitor, as the desktop reserves room for its panels and docks.
// X11 publishes one work area for the whole virtual desktop (_NET_WORKAREA), which is
// wrong on the other monitors as soon as one of them has a panel: a dock on the second
// monitor would shrink the first one's rails too. So the area of one monitor is read from
// the per-monitor list that GNOME-style window managers publish (_GTK_WORKAREAS_Dn), and
// otherwise worked out from the struts of the docks and panels themselves. Device pixels
// of the root window throughout.
class X11WorkAreas : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // Space reserved at the root window's edges, each over a range of the other axis
    // (_NET_WM_STRUT_PARTIAL).
    struct Strut
    {
        int left = 0, right = 0, top = 0, bottom = 0;
        int leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
        int topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;
    };

    explicit X11WorkAreas(QObject *parent = nullptr);
    ~X11WorkAreas() override;

    bool isAvailable() const { return m_x11.has_value(); }

    // The usable part of `monitor`; absent when the desktop tells nothing (no window
    // manager), so the caller keeps what it had.
    std::optional<QRect> availableArea(const QRect &monitor) const;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The work area in `published` that belongs to `monitor` (the one that covers most of
    // it), clipped to it.
    static std::optional<QRect> pickPublished(const QRect &monitor, const QList<QRect> &published);
    // `monitor` less what the struts reserve on it, on a root window of `rootSize`.
    static QRect subtractStruts(const QRect &monitor, const QList<Strut> &struts,
                                const QSize &rootSize);

Q_SIGNALS:
    // The published work areas changed (a panel came, went or changed its struts).
    void changed();

private:
    std::optional<QList<QRect>> publishedAreas() const;
    std::optional<QList<Strut>> struts() const;
    QSize rootSize() const;

    std::optional<X11Connection> m_x11;
    xcb_atom_t m_netWorkArea = XCB_ATOM_NONE;
    xcb_atom_t m_gtkWorkAreas = XCB_ATOM_NONE;
};
