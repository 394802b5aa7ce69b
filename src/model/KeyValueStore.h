// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The small key-value document shared by every computer of the person, kept beside
// their synced notes. Values are booleans; an absent key reads as false.
class KeyValueStore : public QObject
{
    Q_OBJECT

public:
    // Some computer of this person has already created the welcome notes.
    static inline const QString welcomeNotesCreated = QStringLiteral("welcomeNotesCreated");

    using QObject::QObject;
    ~KeyValueStore() override = default;

    // Sends the values set here and takes in those set elsewhere; false when the
    // document could not be read or written (the values set here are kept for the next
    // try).
    virtual bool synchronize() = 0;
    virtual bool boolValue(const QString &key) const = 0;
    virtual void setBool(const QString &key, bool value) = 0;

Q_SIGNALS:
    // Values changed by another computer or process, seen during `synchronize`.
    void didChangeExternally(const QStringList &keys);
};
