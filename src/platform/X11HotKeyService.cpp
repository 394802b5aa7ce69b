// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11HotKeyService.h"

#include <QCoreApplication>

#include <xcb/xcb_keysyms.h>

#include <initializer_list>
#include <vector>

namespace {

constexpr quint32 keysymNumLock = 0xff7f;
constexpr quint32 keysymAltLeft = 0xffe9;
constexpr quint32 keysymAltRight = 0xffea;
constexpr quint32 keysymMetaLeft = 0xffe7;
constexpr quint32 keysymMetaRight = 0xffe8;
constexpr quint32 keysymSuperLeft = 0xffeb;
constexpr quint32 keysymSuperRight = 0xffec;

constexpr quint8 xkbNewKeyboardNotify = 0;
constexpr quint8 xkbMapNotify = 1;

} // namespace

void X11HotKeyService::KeySymbolsDeleter::operator()(_XCBKeySymbols *symbols) const
{
    xcb_key_symbols_free(symbols);
}

X11HotKeyService::X11HotKeyService(QObject *parent) : HotKeyService(parent)
{
    m_x11 = X11Connection::ofApplication();
    if (!m_x11)
        return;
    m_xkbEvent = m_x11->firstEventOf("XKEYBOARD");
    readKeyboard();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService()
{
    if (!m_x11)
        return;
    if (auto *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
    for (const auto &[reference, registration] : m_registrations) {
        if (registration.grab)
            ungrab(*registration.grab);
    }
    m_x11->flush();
}

void X11HotKeyService::readKeyboard()
{
    m_keySymbols.reset(xcb_key_symbols_alloc(m_x11->connection()));
    m_bits = {};
    const X11Reply<xcb_get_modifier_mapping_reply_t> reply(xcb_get_modifier_mapping_reply(
        m_x11->connection(), xcb_get_modifier_mapping(m_x11->connection()), nullptr));
    // The first ModN row holding each modifier keysym; a modifier is then one bit, that of
    // its left key where both keys are mapped.
    std::map<quint32, quint16> bitOfKeysym;
    if (reply && m_keySymbols) {
        const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        // Rows 0 to 7: Shift, Lock, Control, Mod1 ... Mod5.
        for (int row = 3; row < 8; ++row) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t keycode = keycodes[row * perModifier + i];
                for (int column = 0; keycode != 0 && column < 4; ++column) {
                    const xcb_keysym_t keysym =
                        xcb_key_symbols_get_keysym(m_keySymbols.get(), keycode, column);
                    bitOfKeysym.try_emplace(keysym, quint16(1u << row));
                }
            }
        }
    }
    const auto firstBit = [&bitOfKeysym](std::initializer_list<quint32> keysyms) {
        for (const quint32 keysym : keysyms) {
            if (const auto it = bitOfKeysym.find(keysym); it != bitOfKeysym.end())
                return it->second;
        }
        return quint16(0);
    };
    m_bits.numLock = firstBit({keysymNumLock});
    m_bits.alt = firstBit({keysymAltLeft, keysymAltRight, keysymMetaLeft, keysymMetaRight});
    m_bits.super = firstBit({keysymSuperLeft, keysymSuperRight});
    // The usual assignment, for a server whose map names neither.
    if (m_bits.alt == 0)
        m_bits.alt = XCB_MOD_MASK_1;
    if (m_bits.super == 0)
        m_bits.super = XCB_MOD_MASK_4;
}

QList<quint16> X11HotKeyService::lockVariants() const
{
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (m_bits.numLock != 0)
        variants << m_bits.numLock << quint16(XCB_MOD_MASK_LOCK | m_bits.numLock);
    return variants;
}

std::optional<X11HotKeyService::Grab> X11HotKeyService::grab(const HotKeyCombination &combination)
{
    if (!m_keySymbols)
        return std::nullopt;
    Grab grab;
    if (combination.modifiers.testFlag(HotKeyModifier::shift))
        grab.modifiers |= XCB_MOD_MASK_SHIFT;
    if (combination.modifiers.testFlag(HotKeyModifier::control))
        grab.modifiers |= XCB_MOD_MASK_CONTROL;
    if (combination.modifiers.testFlag(HotKeyModifier::alt))
        grab.modifiers |= m_bits.alt;
    if (combination.modifiers.testFlag(HotKeyModifier::super))
        grab.modifiers |= m_bits.super;

    const X11Reply<xcb_keycode_t> keycodes(
        xcb_key_symbols_get_keycode(m_keySymbols.get(), combination.keysym));
    for (const xcb_keycode_t *code = keycodes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        if (!grab.keycodes.contains(*code))
            grab.keycodes.append(*code);
    }
    // No configured layout makes the keysym (N on a Russian-only keyboard): the key in its
    // place stands in, as the shortcut printed in the menu is learnt by place.
    if (grab.keycodes.isEmpty() && combination.positionKeycode != 0 &&
        combination.positionKeycode >= xcb_get_setup(m_x11->connection())->min_keycode &&
        combination.positionKeycode <= xcb_get_setup(m_x11->connection())->max_keycode)
        grab.keycodes.append(combination.positionKeycode);
    if (grab.keycodes.isEmpty())
        return std::nullopt;

    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t keycode : std::as_const(grab.keycodes)) {
        for (const quint16 variant : lockVariants()) {
            cookies.push_back(xcb_grab_key_checked(m_x11->connection(), 0, m_x11->root(),
                                                   quint16(grab.modifiers | variant), keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (const X11Reply<xcb_generic_error_t> error(
                xcb_request_check(m_x11->connection(), cookie));
            error) {
            refused = true; // BadAccess: another client holds this key
        }
    }
    if (refused) {
        // Releases only our own grabs; the other client's stay.
        ungrab(grab);
        return std::nullopt;
    }
    return grab;
}

void X11HotKeyService::ungrab(const Grab &grab)
{
    for (const xcb_keycode_t keycode : grab.keycodes) {
        for (const quint16 variant : lockVariants())
            xcb_ungrab_key(m_x11->connection(), keycode, m_x11->root(),
                           quint16(grab.modifiers | variant));
    }
    m_x11->flush();
}

std::optional<quint64> X11HotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                        HotKeyIdentity identity)
{
    if (!m_x11)
        return std::nullopt;
    const std::optional<HotKeyCombination> combination =
        HotKeyCombination::fromCarbon(keyCode, modifiers);
    if (!combination)
        return std::nullopt;
    for (const auto &[reference, registration] : m_registrations) {
        if (registration.combination == *combination)
            return std::nullopt; // one registration per key, as with any other client
    }
    std::optional<Grab> granted = grab(*combination);
    if (!granted)
        return std::nullopt;
    const quint64 reference = m_nextReference++;
    m_registrations.emplace(reference, Registration{*combination, identity, std::move(granted)});
    return reference;
}

void X11HotKeyService::unregisterHotKey(quint64 reference)
{
    const auto it = m_registrations.find(reference);
    if (it == m_registrations.end())
        return;
    if (it->second.grab)
        ungrab(*it->second.grab);
    m_registrations.erase(it);
}

void X11HotKeyService::keyboardChanged()
{
    // Mapping changes come in bursts: renew the grabs once, after the burst.
    if (m_regrabPending)
        return;
    m_regrabPending = true;
    QMetaObject::invokeMethod(this, &X11HotKeyService::regrabAll, Qt::QueuedConnection);
}

void X11HotKeyService::regrabAll()
{
    m_regrabPending = false;
    // Release with the old modifier bits, then read the new ones and grab again.
    for (auto &[reference, registration] : m_registrations) {
        if (registration.grab)
            ungrab(*registration.grab);
        registration.grab.reset();
    }
    readKeyboard();
    for (auto &[reference, registration] : m_registrations)
        registration.grab = grab(registration.combination);
    m_held.clear();
}

bool X11HotKeyService::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_x11 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;

    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto *key = static_cast<const xcb_key_press_event_t *>(message);
        if (key->event != m_x11->root())
            return false;
        if (type == XCB_KEY_RELEASE) {
            m_held.remove(key->detail);
            return false;
        }
        const quint16 ignored = quint16(XCB_MOD_MASK_LOCK | m_bits.numLock);
        const quint16 modifierMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 |
                                     XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 |
                                     XCB_MOD_MASK_5;
        const quint16 state = key->state & modifierMask & ~ignored;
        for (const auto &[reference, registration] : m_registrations) {
            if (!registration.grab || registration.grab->modifiers != state ||
                !registration.grab->keycodes.contains(key->detail))
                continue;
            if (m_held.contains(key->detail))
                break; // the key repeats while held
            m_held.insert(key->detail);
            QMetaObject::invokeMethod(
                this, [this, identity = registration.identity] { Q_EMIT hotKeyPressed(identity); },
                Qt::QueuedConnection);
            break;
        }
        // Qt keeps its server time from key events.
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        auto *mapping = static_cast<xcb_mapping_notify_event_t *>(message);
        if (mapping->request != XCB_MAPPING_POINTER)
            keyboardChanged();
        return false;
    }
    if (m_xkbEvent && type == *m_xkbEvent) {
        // The XKB event's own type is its second byte.
        const auto xkbType = reinterpret_cast<const quint8 *>(message)[1];
        if (xkbType == xkbNewKeyboardNotify || xkbType == xkbMapNotify)
            keyboardChanged();
    }
    return false;
}
