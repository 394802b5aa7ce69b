// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/LiveQuery.h"

#include "model/ModelContext.h"

#include <utility>

LiveQuery::LiveQuery(ModelContext *context, const FetchDescriptor &descriptor, QObject *parent)
    : QObject(parent), m_context(context), m_descriptor(descriptor)
{
    connect(context, &ModelContext::didSave, this, &LiveQuery::refresh);
    connect(context, &ModelContext::remoteChange, this, &LiveQuery::refresh);
    refresh();
}

void LiveQuery::setDescriptor(const FetchDescriptor &descriptor)
{
    m_descriptor = descriptor;
    refresh();
}

void LiveQuery::refresh()
{
    if (!m_context)
        return;
    const auto fetched = m_context->fetch(m_descriptor);
    if (!fetched) {
        m_failed = true;
        Q_EMIT fetchFailed();
        return;
    }
    if (*fetched == m_results && !std::exchange(m_failed, false))
        return;
    m_failed = false;
    m_results = *fetched;
    Q_EMIT resultsChanged();
}
