// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11UserTime.h"

#include <QCoreApplication>

#include <xcb/xinput.h>

namespace {

// X server times wrap around after 49 days; "later" is within half the range.
bool isLater(xcb_timestamp_t candidate, xcb_timestamp_t reference)
{
    return reference == XCB_CURRENT_TIME || qint32(candidate - reference) > 0;
}

} // namespace

X11UserTime::X11UserTime(QObject *parent) : QObject(parent), m_x11(X11Connection::ofApplication())
{
    if (!m_x11)
        return;
    if (const xcb_query_extension_reply_t *xinput = m_x11->extension(&xcb_input_id))
        m_xinputOpcode = xinput->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11UserTime::~X11UserTime()
{
    if (m_x11 && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<xcb_timestamp_t> X11UserTime::pressTime(const xcb_generic_event_t *event,
                                                      quint8 xinputOpcode)
{
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
        return reinterpret_cast<const xcb_key_press_event_t *>(event)->time;
    case XCB_BUTTON_PRESS:
        return reinterpret_cast<const xcb_button_press_event_t *>(event)->time;
    case XCB_GE_GENERIC: {
        const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
        if (xinputOpcode == 0 || generic->extension != xinputOpcode)
            return std::nullopt;
        switch (generic->event_type) {
        case XCB_INPUT_KEY_PRESS:
        case XCB_INPUT_BUTTON_PRESS:
            return reinterpret_cast<const xcb_input_button_press_event_t *>(event)->time;
        case XCB_INPUT_RAW_KEY_PRESS:
        case XCB_INPUT_RAW_BUTTON_PRESS:
            return reinterpret_cast<const xcb_input_raw_button_press_event_t *>(event)->time;
        default:
            return std::nullopt;
        }
    }
    default:
        return std::nullopt;
    }
}

bool X11UserTime::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const std::optional<xcb_timestamp_t> time =
        pressTime(static_cast<const xcb_generic_event_t *>(message), m_xinputOpcode);
    if (time && *time != XCB_CURRENT_TIME && isLater(*time, m_latest))
        m_latest = *time;
    return false;
}
