// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11GlobalMonitor.h"

#include <QCoreApplication>
#include <QCursor>

#include <xcb/xinput.h>

namespace {

// The mask of one device as XISelectEvents takes it: a header and one word of bits.
struct EventMask
{
    xcb_input_event_mask_t header;
    quint32 bits;
};

} // namespace

X11GlobalMonitor::X11GlobalMonitor(QObject *parent) : QObject(parent)
{
    const std::optional<X11Connection> x11 = X11Connection::ofApplication();
    if (!x11)
        return;
    const xcb_query_extension_reply_t *extension = x11->extension(&xcb_input_id);
    if (!extension)
        return;
    // Raw events of master devices need XInput 2.2.
    const X11Reply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
        x11->connection(), xcb_input_xi_query_version(x11->connection(), 2, 2), nullptr));
    if (!version || version->major_version < 2 ||
        (version->major_version == 2 && version->minor_version < 2))
        return;
    m_x11 = x11;
    m_opcode = extension->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalMonitor::~X11GlobalMonitor()
{
    if (!m_x11)
        return;
    if (auto *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
    m_motionEnabled = false;
    m_buttonsEnabled = false;
    select();
}

void X11GlobalMonitor::setMotionEnabled(bool enabled)
{
    if (m_motionEnabled == enabled)
        return;
    m_motionEnabled = enabled;
    select();
}

void X11GlobalMonitor::setButtonsEnabled(bool enabled)
{
    if (m_buttonsEnabled == enabled)
        return;
    m_buttonsEnabled = enabled;
    select();
}

void X11GlobalMonitor::select()
{
    if (!m_x11)
        return;
    EventMask mask{};
    mask.header.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.header.mask_len = 1;
    if (m_motionEnabled)
        mask.bits |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    if (m_buttonsEnabled)
        mask.bits |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    xcb_input_xi_select_events(m_x11->connection(), m_x11->root(), 1, &mask.header);
    m_x11->flush();
}

bool X11GlobalMonitor::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_x11 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return false;
    const auto *generic = static_cast<const xcb_ge_generic_event_t *>(message);
    if (generic->extension != m_opcode)
        return false;

    if (generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS && m_buttonsEnabled) {
        const auto *press = static_cast<const xcb_input_raw_button_press_event_t *>(message);
        if (isClickButton(press->detail)) {
            // Read now: by the time the queued report runs the pointer may be elsewhere.
            const QPoint position = QCursor::pos();
            // Listeners may open or close windows: not inside Qt's event dispatching.
            QMetaObject::invokeMethod(
                this,
                [this, button = press->detail, position] {
                    if (m_buttonsEnabled)
                        Q_EMIT buttonPressed(button, position);
                },
                Qt::QueuedConnection);
        }
    } else if (generic->event_type == XCB_INPUT_RAW_MOTION && m_motionEnabled && !m_motionPending) {
        m_motionPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_motionPending = false;
                if (m_motionEnabled)
                    Q_EMIT pointerMoved();
            },
            Qt::QueuedConnection);
    }
    // Qt looks at these too (it keeps its server time from them).
    return false;
}
