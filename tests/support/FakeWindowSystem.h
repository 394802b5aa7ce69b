// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A scriptable window system for tests: screens, pointer, buttons and compositing are set
// by the test; panels only record what is asked of them (their content lives in an
// unshown widget, so it can be laid out and grabbed); monitors receive the events the test
// sends; timers run on a virtual clock moved by advance().

#include "rail/WindowSystem.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

class FakePanel : public Panel
{
public:
    FakePanel(const QRectF &frame, const PanelOptions &options)
        : m_frame(frame), m_options(options), m_ignoresMouseEvents(options.ignoresMouseEvents)
    {
        m_host->setAttribute(Qt::WA_DontShowOnScreen);
        m_host->resize(frame.size().toSize());
    }

    void setContent(std::unique_ptr<QWidget> content) override
    {
        delete m_content.data();
        if (!content)
            return;
        m_content = content.release();
        m_content->setParent(m_host.get());
        m_content->setGeometry(QRect(QPoint(), m_host->size()));
    }
    QWidget *content() const override { return m_content; }

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF &frame) override
    {
        ++setFrameCount;
        const bool moves = frame.topLeft() != m_frame.topLeft();
        m_frame = frame;
        m_host->resize(frame.size().toSize());
        if (m_content)
            m_content->setGeometry(QRect(QPoint(), m_host->size()));
        if (moves)
            Q_EMIT moved(frame.topLeft());
    }
    void setFrameOrigin(const QPointF &origin) override
    {
        setFrame(QRectF(origin, m_frame.size()));
    }

    void orderFrontRegardless() override
    {
        ++orderFrontCount;
        m_visible = true;
    }
    void makeKeyAndOrderFront() override
    {
        ++makeKeyCount;
        m_visible = true;
        setKey(true);
    }
    void orderOut() override
    {
        ++orderOutCount;
        m_visible = false;
        setKey(false);
    }
    bool isVisible() const override { return m_visible; }
    bool isKey() const override { return m_key; }

    bool ignoresMouseEvents() const override { return m_ignoresMouseEvents; }
    void setIgnoresMouseEvents(bool ignores) override
    {
        if (ignores != m_ignoresMouseEvents)
            ++ignoresMouseEventsChanges;
        m_ignoresMouseEvents = ignores;
    }
    std::optional<QList<QRectF>> mouseRects() const override { return m_mouseRects; }
    void setMouseRects(const std::optional<QList<QRectF>> &rects) override { m_mouseRects = rects; }
    QList<QRectF> alwaysAcceptingRects() const override { return m_alwaysAccepting; }
    void setAlwaysAcceptingRects(const QList<QRectF> &rects) override { m_alwaysAccepting = rects; }
    bool fitsWindowToInput() const override { return m_fitsWindowToInput; }
    void setFitsWindowToInput(bool fits) override { m_fitsWindowToInput = fits; }

    std::optional<QRegion> visibleRegion() const override { return m_visibleRegion; }
    void setVisibleRegion(const std::optional<QRegion> &region) override
    {
        m_visibleRegion = region;
    }

    // Follows the pixel rule of GlobalCoordinates, as the real panels do.
    QPointF mapFromGlobal(const QPointF &globalPoint) const override
    {
        return {globalPoint.x() - m_frame.x(),
                m_frame.y() + m_frame.height() - 1 - globalPoint.y()};
    }

    void startUserMove() override { ++userMoveCount; }
    void startUserResize(Qt::Edges edges) override { userResizeEdges.append(edges); }

    // Whether a click at a content point would reach the panel.
    bool takesMouseAt(const QPointF &contentPoint) const
    {
        if (m_ignoresMouseEvents)
            return false;
        if (!m_mouseRects)
            return QRectF(QPointF(), m_frame.size()).contains(contentPoint);
        return std::any_of(m_mouseRects->cbegin(), m_mouseRects->cend(),
                           [&](const QRectF &rect) { return rect.contains(contentPoint); });
    }

    // The window system took the keyboard away (another window was activated).
    void resignKey() { setKey(false); }

    const PanelOptions &options() const { return m_options; }
    QWidget *host() const { return m_host.get(); }

    int setFrameCount = 0;
    int orderFrontCount = 0;
    int makeKeyCount = 0;
    int orderOutCount = 0;
    int ignoresMouseEventsChanges = 0;
    int userMoveCount = 0;
    QList<Qt::Edges> userResizeEdges;
    std::function<void(FakePanel *)> onBecameKey;

private:
    void setKey(bool key)
    {
        if (m_key == key)
            return;
        m_key = key;
        if (key && onBecameKey)
            onBecameKey(this);
        Q_EMIT keyChanged(key);
    }

    std::unique_ptr<QWidget> m_host = std::make_unique<QWidget>();
    QPointer<QWidget> m_content;
    QRectF m_frame;
    PanelOptions m_options;
    bool m_visible = false;
    bool m_key = false;
    bool m_ignoresMouseEvents = false;
    std::optional<QList<QRectF>> m_mouseRects;
    QList<QRectF> m_alwaysAccepting;
    bool m_fitsWindowToInput = false;
    std::optional<QRegion> m_visibleRegion;
};

class FakeWindowSystem : public WindowSystem
{
public:
    // One 1920 × 1080 main screen with a 25-point bar at the top.
    FakeWindowSystem()
    {
        m_screens = {ScreenInfo{1, QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1055),
                                QStringLiteral("Pantalla de prueba")}};
    }

    // --- Screens ---
    QList<ScreenInfo> screens() const override { return m_screens; }
    std::optional<ScreenInfo> mainScreen() const override
    {
        if (!m_mainIndex || *m_mainIndex < 0 || *m_mainIndex >= m_screens.size())
            return std::nullopt;
        return m_screens.at(*m_mainIndex);
    }
    // Replaces the screens (the main one by index; absent: none) and announces it.
    void setScreens(const QList<ScreenInfo> &screens, std::optional<qsizetype> mainIndex = 0)
    {
        m_screens = screens;
        m_mainIndex = screens.isEmpty() ? std::nullopt : mainIndex;
        Q_EMIT screenParametersChanged();
    }

    GlobalCoordinates coordinates() const override
    {
        const std::optional<ScreenInfo> main = mainScreen();
        return main ? GlobalCoordinates(
                          QRect(0, 0, int(main->frame.width()), int(main->frame.height())))
                    : GlobalCoordinates();
    }

    bool isCompositing() const override { return m_compositing; }
    void setCompositing(bool compositing)
    {
        if (m_compositing == compositing)
            return;
        m_compositing = compositing;
        Q_EMIT compositingChanged(compositing);
    }

    // --- Pointer ---
    QPointF pointerLocation() const override
    {
        ++pointerReads;
        return m_pointer;
    }
    void setPointerLocation(const QPointF &location) { m_pointer = location; }
    Qt::MouseButtons pressedMouseButtons() const override { return m_buttons; }
    void setPressedMouseButtons(Qt::MouseButtons buttons) { m_buttons = buttons; }

    // Moves the pointer and reports it to the monitors, as a move over another
    // application (global) or over one of ours (local).
    void movePointer(const QPointF &location, bool overOwnWindow = false)
    {
        m_pointer = location;
        const PointerEventType type = m_buttons.testFlag(Qt::LeftButton)
                                          ? PointerEventType::leftMouseDragged
                                          : PointerEventType::mouseMoved;
        send(overOwnWindow ? m_localMonitors : m_globalMonitors, {type, location});
    }
    // Moves the pointer and presses a button there.
    void click(const QPointF &location, PointerEventType type = PointerEventType::leftMouseDown,
               bool onOwnWindow = false)
    {
        m_pointer = location;
        send(onOwnWindow ? m_localMonitors : m_globalMonitors, {type, location});
    }

    // --- Panels ---
    std::unique_ptr<Panel> createPanel(const QRectF &frame, const PanelOptions &options) override
    {
        auto panel = std::make_unique<FakePanel>(frame, options);
        panel->onBecameKey = [this](FakePanel *key) {
            for (const QPointer<FakePanel> &other : std::as_const(m_panels)) {
                if (other && other != key)
                    other->resignKey();
            }
        };
        m_panels.append(panel.get());
        return panel;
    }
    // The panels created and not yet destroyed, in creation order.
    QList<FakePanel *> panels() const
    {
        QList<FakePanel *> alive;
        for (const QPointer<FakePanel> &panel : m_panels) {
            if (panel)
                alive.append(panel);
        }
        return alive;
    }

    // --- Monitors ---
    std::optional<Subscription> addGlobalMonitor(PointerEventMask events,
                                                 PointerHandler handler) override
    {
        if (!globalMonitorsAvailable)
            return std::nullopt;
        return add(m_globalMonitors, events, std::move(handler));
    }
    std::optional<Subscription> addLocalMonitor(PointerEventMask events,
                                                PointerHandler handler) override
    {
        return add(m_localMonitors, events, std::move(handler));
    }
    int globalMonitorCount() const { return int(m_globalMonitors->size()); }
    int localMonitorCount() const { return int(m_localMonitors->size()); }

    // --- Timers on a virtual clock ---
    Subscription scheduleRepeating(std::chrono::milliseconds interval,
                                   std::function<void()> callback) override
    {
        return addTimer(interval, true, std::move(callback));
    }
    Subscription scheduleOnce(std::chrono::milliseconds delay,
                              std::function<void()> callback) override
    {
        return addTimer(delay, false, std::move(callback));
    }
    std::chrono::milliseconds now() const { return m_now; }
    int timerCount() const { return int(m_timers->size()); }
    // Moves the clock forward, firing every timer that falls due on the way, in order
    // (timers due at the same moment fire in the order they were scheduled).
    void advance(std::chrono::milliseconds duration)
    {
        const std::chrono::milliseconds end = m_now + duration;
        for (;;) {
            auto next = std::min_element(
                m_timers->begin(), m_timers->end(), [](const auto &a, const auto &b) {
                    return std::pair(a.second.due, a.first) < std::pair(b.second.due, b.first);
                });
            if (next == m_timers->end() || next->second.due > end)
                break;
            m_now = next->second.due;
            const std::shared_ptr<std::function<void()>> callback = next->second.callback;
            if (next->second.repeats)
                next->second.due += std::max(next->second.interval, std::chrono::milliseconds(1));
            else
                m_timers->erase(next);
            (*callback)();
        }
        m_now = end;
    }

    // --- Activation ---
    void activateApplication() override { ++activateApplicationCount; }
    void activateWindow(QWidget *window) override { activatedWindows.append(window); }
    ActivationPolicy activationPolicy() const override { return m_policy; }
    void setActivationPolicy(ActivationPolicy policy) override { m_policy = policy; }

    bool globalMonitorsAvailable = true;
    mutable int pointerReads = 0;
    int activateApplicationCount = 0;
    QList<QPointer<QWidget>> activatedWindows;

private:
    struct Monitor
    {
        PointerEventMask events;
        std::shared_ptr<PointerHandler> handler;
    };
    using Monitors = std::map<quint64, Monitor>;
    struct Timer
    {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval;
        bool repeats;
        std::shared_ptr<std::function<void()>> callback;
    };

    Subscription add(const std::shared_ptr<Monitors> &monitors, PointerEventMask events,
                     PointerHandler handler)
    {
        const quint64 id = m_nextId++;
        monitors->emplace(id,
                          Monitor{events, std::make_shared<PointerHandler>(std::move(handler))});
        return Subscription([weak = std::weak_ptr<Monitors>(monitors), id] {
            if (const auto alive = weak.lock())
                alive->erase(id);
        });
    }

    static void send(const std::shared_ptr<Monitors> &monitors, const PointerEvent &event)
    {
        std::vector<std::pair<quint64, std::shared_ptr<PointerHandler>>> targets;
        for (const auto &[id, monitor] : *monitors) {
            if (monitor.events.testFlag(event.type))
                targets.emplace_back(id, monitor.handler);
        }
        for (const auto &[id, handler] : targets) {
            if (monitors->count(id))
                (*handler)(event);
        }
    }

    Subscription addTimer(std::chrono::milliseconds interval, bool repeats,
                          std::function<void()> callback)
    {
        const quint64 id = m_nextId++;
        m_timers->emplace(id, Timer{m_now + interval, interval, repeats,
                                    std::make_shared<std::function<void()>>(std::move(callback))});
        return Subscription([weak = std::weak_ptr<std::map<quint64, Timer>>(m_timers), id] {
            if (const auto alive = weak.lock())
                alive->erase(id);
        });
    }

    QList<ScreenInfo> m_screens;
    std::optional<qsizetype> m_mainIndex = 0;
    QPointF m_pointer;
    Qt::MouseButtons m_buttons;
    bool m_compositing = true;
    QList<QPointer<FakePanel>> m_panels;
    std::shared_ptr<Monitors> m_globalMonitors = std::make_shared<Monitors>();
    std::shared_ptr<Monitors> m_localMonitors = std::make_shared<Monitors>();
    std::shared_ptr<std::map<quint64, Timer>> m_timers =
        std::make_shared<std::map<quint64, Timer>>();
    std::chrono::milliseconds m_now{0};
    quint64 m_nextId = 1;
    ActivationPolicy m_policy = ActivationPolicy::regular;
};
