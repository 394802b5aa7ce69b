// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"
#include "rail/WindowSystem.h"

#include <QPoint>
#include <QPointer>

#include <map>
#include <memory>

class QScreen;
class QTimer;
class QWindow;
class X11CompositingWatcher;
class X11GlobalMonitor;
class X11UserTime;
class X11WorkAreas;

// The window system of Qt Widgets on X11, with the X server consulted where Qt has no
// call: the global pointer buttons, global pointer monitors (XInput 2), compositing, the
// task-bar hints of the activation policy. On other platforms those parts stand still:
// no global monitors, the buttons Qt knows, no task-bar hints.
class QtWindowSystem : public WindowSystem
{
    Q_OBJECT

public:
    explicit QtWindowSystem(QObject *parent = nullptr);
    ~QtWindowSystem() override;

    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF pointerLocation() const override;

    GlobalCoordinates coordinates() const override;
    bool isCompositing() const override;
    Qt::MouseButtons pressedMouseButtons() const override;

    std::unique_ptr<Panel> createPanel(const QRectF &frame, const PanelOptions &options) override;

    std::optional<Subscription> addGlobalMonitor(PointerEventMask events,
                                                 PointerHandler handler) override;
    std::optional<Subscription> addLocalMonitor(PointerEventMask events,
                                                PointerHandler handler) override;

    Subscription scheduleRepeating(std::chrono::milliseconds interval,
                                   std::function<void()> callback) override;
    Subscription scheduleOnce(std::chrono::milliseconds delay,
                              std::function<void()> callback) override;

    void activateApplication() override;
    void activateWindow(QWidget *window) override;
    ActivationPolicy activationPolicy() const override;
    void setActivationPolicy(ActivationPolicy policy) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Monitor
    {
        PointerEventMask events;
        std::shared_ptr<PointerHandler> handler;
    };
    using Monitors = std::map<quint64, Monitor>;

    void watchScreen(QScreen *screen);
    QRect availableGeometry(const QScreen *screen) const;
    Subscription addMonitor(Monitors &monitors, PointerEventMask events, PointerHandler handler);
    void removeMonitor(Monitors &monitors, quint64 id);
    void updateMonitorSelections();
    void dispatch(const Monitors &monitors, const PointerEvent &event) const;
    void globalPointerMoved();
    void globalButtonPressed(quint32 button, const QPoint &position);
    void localPointerEvent(QEvent *event);
    void applyActivationPolicy(QWidget *window, bool mapped) const;

    std::optional<X11Connection> m_x11;
    X11UserTime *m_userTime = nullptr;
    X11GlobalMonitor *m_globalMonitor = nullptr;
    X11CompositingWatcher *m_compositing = nullptr;
    X11WorkAreas *m_workAreas = nullptr;
    QTimer *m_screenChange = nullptr;
    Monitors m_globalMonitors;
    Monitors m_localMonitors;
    quint64 m_nextMonitorId = 1;
    ActivationPolicy m_policy = ActivationPolicy::regular;
    // Our windows that had the keyboard, the latest first.
    QList<QPointer<QWindow>> m_activeWindows;
    // The window last asked for by activateWindow() until a window of ours takes the
    // keyboard: activating the application meanwhile brings that one, not an older one.
    QPointer<QWidget> m_requestedWindow;
};
