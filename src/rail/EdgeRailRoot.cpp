// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailRoot.h"

#include "rail/EdgeRailContent.h"
#include "rail/EdgeRailView.h"
#include "sync/SyncWatcher.h"

#include <QMetaObject>

EdgeRailRoot::EdgeRailRoot(ScreenEdge edge, const RailEnvironment &environment, QWidget *parent)
    : RailRootView(parent), m_edge(edge), m_environment(environment)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    if (SyncWatcher *sync = m_environment.syncWatcher) {
        m_generation = sync->generation();
        connect(sync, &SyncWatcher::generationChanged, this, &EdgeRailRoot::scheduleRebuild);
    }
    build();
}

EdgeRailRoot::~EdgeRailRoot() = default;

void EdgeRailRoot::scheduleRebuild()
{
    // The change may come from inside the view itself (closing a note ends the edit, which
    // applies a held-back change): replace the view once that call has returned.
    if (m_rebuildScheduled)
        return;
    m_rebuildScheduled = true;
    QMetaObject::invokeMethod(this, &EdgeRailRoot::rebuild, Qt::QueuedConnection);
}

void EdgeRailRoot::rebuild()
{
    m_rebuildScheduled = false;
    if (m_environment.syncWatcher) {
        const qint64 generation = m_environment.syncWatcher->generation();
        if (generation == m_generation && m_view)
            return;
        // A new view starts asleep: built now, it would fold the tabs under the pointer and
        // the click on the one being reached for would land on nothing. The change waits
        // until the rail sleeps, as it waits while a note is open.
        if (m_view && m_view->content()->isAwake()) {
            rebuildOnceAsleep();
            return;
        }
        m_generation = generation;
    }
    if (m_view) {
        m_view->content()->retire();
        m_view->hide();
        m_view->deleteLater();
    }
    build();
    Q_EMIT rebuilt();
}

void EdgeRailRoot::rebuildOnceAsleep()
{
    if (m_sleepWatch)
        return;
    EdgeRailContent *content = m_view->content();
    m_sleepWatch = connect(content, &EdgeRailContent::stateChanged, this, [this, content] {
        if (content->isAwake())
            return;
        disconnect(m_sleepWatch);
        m_sleepWatch = {};
        scheduleRebuild();
    });
}

void EdgeRailRoot::build()
{
    m_view = new EdgeRailView(m_edge, m_environment, this);
    m_view->setGeometry(rect());
    connect(m_view, &EdgeRailView::wantsKeyboard, this, &EdgeRailRoot::wantsKeyboard);
    m_view->show();
}

void EdgeRailRoot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
}
