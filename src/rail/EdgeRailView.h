// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/RailEnvironment.h"

#include <QWidget>

class EdgeRailContent;
class LiveQuery;

// One rail's notes brought to its content: a live query of the notes on the edge, in
// sort order, and the note commands of the rail, bound to the store's main context and the
// floating notes. Fills its parent; transparent like the content it hosts.
class EdgeRailView : public QWidget
{
    Q_OBJECT

public:
    EdgeRailView(ScreenEdge edge, const RailEnvironment &environment, QWidget *parent = nullptr);
    ~EdgeRailView() override;

    ScreenEdge edge() const { return m_edge; }
    EdgeRailContent *content() const { return m_content; }
    // The query of the rail's notes; absent without a store.
    LiveQuery *query() const { return m_query; }

Q_SIGNALS:
    // Passed on from the content: the panel should take the keyboard.
    void wantsKeyboard();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    const ScreenEdge m_edge;
    LiveQuery *m_query = nullptr;
    EdgeRailContent *m_content = nullptr;
};
