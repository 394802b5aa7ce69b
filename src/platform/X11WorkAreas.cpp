// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11WorkAreas.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

QList<quint32> cardinals(const X11Connection &x11, xcb_window_t window, xcb_atom_t property,
                         bool *present = nullptr)
{
    QList<quint32> values;
    const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x11.connection(),
        xcb_get_property(x11.connection(), 0, window, property, XCB_ATOM_CARDINAL, 0, 4096),
        nullptr));
    const bool found = reply && reply->format == 32 && reply->type == XCB_ATOM_CARDINAL;
    if (present)
        *present = found;
    if (!found)
        return values;
    const auto *data = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i)
        values.append(data[i]);
    return values;
}

int area(const QRect &rect)
{
    return rect.isEmpty() ? 0 : rect.width() * rect.height();
}

} // namespace

X11WorkAreas::X11WorkAreas(QObject *parent) : QObject(parent), m_x11(X11Connection::ofApplication())
{
    if (!m_x11)
        return;
    m_netWorkArea = m_x11->atom("_NET_WORKAREA");
    m_gtkWorkAreas = m_x11->atom("_GTK_WORKAREAS_D0");
    // Qt already listens to the root window's property changes (for _NET_WORKAREA).
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11WorkAreas::~X11WorkAreas()
{
    if (m_x11 && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11WorkAreas::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_x11 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
    // Window managers rewrite the work area whenever a strut changes.
    if (notify->window == m_x11->root() &&
        (notify->atom == m_netWorkArea || notify->atom == m_gtkWorkAreas))
        Q_EMIT changed();
    return false;
}

std::optional<QRect> X11WorkAreas::availableArea(const QRect &monitor) const
{
    if (!m_x11)
        return std::nullopt;
    if (const std::optional<QList<QRect>> published = publishedAreas()) {
        if (const std::optional<QRect> picked = pickPublished(monitor, *published))
            return picked;
    }
    const std::optional<QList<Strut>> reserved = struts();
    if (!reserved)
        return std::nullopt;
    return subtractStruts(monitor, *reserved, rootSize());
}

std::optional<QList<QRect>> X11WorkAreas::publishedAreas() const
{
    // The list of the current desktop.
    const QList<quint32> current =
        cardinals(*m_x11, m_x11->root(), m_x11->atom("_NET_CURRENT_DESKTOP"));
    const QByteArray name = "_GTK_WORKAREAS_D" + QByteArray::number(current.value(0, 0));
    bool present = false;
    const QList<quint32> values = cardinals(*m_x11, m_x11->root(), m_x11->atom(name), &present);
    if (!present || values.size() < 4)
        return std::nullopt;
    QList<QRect> areas;
    for (qsizetype i = 0; i + 3 < values.size(); i += 4)
        areas.append(
            QRect(int(values[i]), int(values[i + 1]), int(values[i + 2]), int(values[i + 3])));
    return areas;
}

std::optional<QList<X11WorkAreas::Strut>> X11WorkAreas::struts() const
{
    // The windows the window manager manages; without a window manager nothing is
    // reserved by anyone.
    QList<xcb_window_t> windows;
    {
        const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_x11->connection(),
            xcb_get_property(m_x11->connection(), 0, m_x11->root(), m_x11->atom("_NET_CLIENT_LIST"),
                             XCB_ATOM_WINDOW, 0, 4096),
            nullptr));
        if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
            return std::nullopt;
        const auto *data = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        windows = QList<xcb_window_t>(data, data + count);
    }
    const xcb_atom_t partialAtom = m_x11->atom("_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t strutAtom = m_x11->atom("_NET_WM_STRUT");
    const QSize root = rootSize();
    QList<Strut> found;
    for (const xcb_window_t window : std::as_const(windows)) {
        QList<quint32> values = cardinals(*m_x11, window, partialAtom);
        if (values.size() < 12) {
            // The older hint reserves along the whole edge.
            const QList<quint32> whole = cardinals(*m_x11, window, strutAtom);
            if (whole.size() < 4)
                continue;
            const quint32 bottomY = quint32(std::max(root.height() - 1, 0));
            const quint32 rightX = quint32(std::max(root.width() - 1, 0));
            values = {whole[0], whole[1], whole[2], whole[3], 0, bottomY,
                      0,        bottomY,  0,        rightX,   0, rightX};
        }
        Strut strut;
        strut.left = int(values[0]);
        strut.right = int(values[1]);
        strut.top = int(values[2]);
        strut.bottom = int(values[3]);
        strut.leftStartY = int(values[4]);
        strut.leftEndY = int(values[5]);
        strut.rightStartY = int(values[6]);
        strut.rightEndY = int(values[7]);
        strut.topStartX = int(values[8]);
        strut.topEndX = int(values[9]);
        strut.bottomStartX = int(values[10]);
        strut.bottomEndX = int(values[11]);
        found.append(strut);
    }
    return found;
}

QSize X11WorkAreas::rootSize() const
{
    const X11Reply<xcb_get_geometry_reply_t> reply(xcb_get_geometry_reply(
        m_x11->connection(), xcb_get_geometry(m_x11->connection(), m_x11->root()), nullptr));
    return reply ? QSize(reply->width, reply->height) : QSize();
}

std::optional<QRect> X11WorkAreas::pickPublished(const QRect &monitor,
                                                 const QList<QRect> &published)
{
    std::optional<QRect> best;
    int bestArea = 0;
    for (const QRect &candidate : published) {
        const int covered = area(candidate.intersected(monitor));
        if (covered > bestArea) {
            bestArea = covered;
            best = candidate.intersected(monitor);
        }
    }
    return best;
}

QRect X11WorkAreas::subtractStruts(const QRect &monitor, const QList<Strut> &struts,
                                   const QSize &rootSize)
{
    // Edges as half-open bounds: [left, right) × [top, bottom).
    int left = monitor.left();
    int top = monitor.top();
    int right = monitor.left() + monitor.width();
    int bottom = monitor.top() + monitor.height();
    const auto overlaps = [](int start, int end, int from, int to) {
        // [start, end] inclusive (as the hint gives it) against [from, to).
        return start < to && end >= from;
    };
    for (const Strut &strut : struts) {
        // A strut reserves a band along one edge of the root window; it concerns this
        // monitor only where that band reaches into it.
        if (strut.left > 0 && overlaps(strut.leftStartY, strut.leftEndY, monitor.top(),
                                       monitor.top() + monitor.height()))
            left = std::max(left, std::min(strut.left, right));
        if (strut.right > 0 && overlaps(strut.rightStartY, strut.rightEndY, monitor.top(),
                                        monitor.top() + monitor.height()))
            right = std::min(right, std::max(rootSize.width() - strut.right, left));
        if (strut.top > 0 && overlaps(strut.topStartX, strut.topEndX, monitor.left(),
                                      monitor.left() + monitor.width()))
            top = std::max(top, std::min(strut.top, bottom));
        if (strut.bottom > 0 && overlaps(strut.bottomStartX, strut.bottomEndX, monitor.left(),
                                         monitor.left() + monitor.width()))
            bottom = std::min(bottom, std::max(rootSize.height() - strut.bottom, top));
    }
    return QRect(left, top, right - left, bottom - top);
}
