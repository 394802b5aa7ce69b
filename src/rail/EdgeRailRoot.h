// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/RailEnvironment.h"
#include "rail/RailRootView.h"

#include <QPointer>

class EdgeRailView;

// The root of one rail panel's content. Hosts the rail's view and builds it again from
// scratch, with a fresh query and every piece of view state back at its start (asleep, nothing
// open, no hover, no drag), each time the sync watcher's generation changes, once the rail
// is asleep.
class EdgeRailRoot : public RailRootView
{
    Q_OBJECT

public:
    EdgeRailRoot(ScreenEdge edge, const RailEnvironment &environment, QWidget *parent = nullptr);
    ~EdgeRailRoot() override;

    ScreenEdge edge() const { return m_edge; }
    const RailEnvironment &environment() const { return m_environment; }
    // The current rail view.
    EdgeRailView *view() const { return m_view; }
    // The sync watcher's generation the current view was built for.
    qint64 generation() const { return m_generation; }

Q_SIGNALS:
    // A new rail view replaced the previous one.
    void rebuilt();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRebuild();
    void rebuild();
    void rebuildOnceAsleep();
    void build();

    const ScreenEdge m_edge;
    RailEnvironment m_environment;
    QPointer<EdgeRailView> m_view;
    qint64 m_generation = 0;
    bool m_rebuildScheduled = false;
    // Watches an awake view for its sleep, while a rebuild waits for it.
    QMetaObject::Connection m_sleepWatch;
};
