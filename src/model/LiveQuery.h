// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NotePredicate.h"

#include <QList>
#include <QObject>
#include <QPointer>

class ModelContext;
class Note;

// The notes matching a predicate, in sort order, kept current: re-run after every
// save of its context and every change made outside it. `resultsChanged` fires only
// when the list itself changed; field changes are observed on the notes.
class LiveQuery : public QObject
{
    Q_OBJECT

public:
    LiveQuery(ModelContext *context, const FetchDescriptor &descriptor, QObject *parent = nullptr);

    const QList<Note *> &results() const { return m_results; }
    const FetchDescriptor &descriptor() const { return m_descriptor; }
    void setDescriptor(const FetchDescriptor &descriptor);
    // A failed fetch keeps the last good results and says so with `fetchFailed`; the next
    // good fetch reports its results even when they equal those.
    void refresh();

Q_SIGNALS:
    void resultsChanged();
    void fetchFailed();

private:
    QPointer<ModelContext> m_context;
    FetchDescriptor m_descriptor;
    QList<Note *> m_results;
    bool m_failed = false;
};
