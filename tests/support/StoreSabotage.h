// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"
#include "model/SqliteDatabase.h"

// Breaks a store from outside its contexts, the way a full disk or a damaged file would,
// so tests can see how callers cope with failing saves and fetches.
class StoreSabotage
{
public:
    explicit StoreSabotage(const ModelContainer &container)
    {
        StoreError error;
        m_db.open(container.databaseUri(), SqliteDatabase::OpenMode::readWriteExisting, &error);
    }
    // Every write of a note fails until `repair`.
    void failWrites()
    {
        m_db.exec("CREATE TRIGGER IF NOT EXISTS fail_insert BEFORE INSERT ON Note "
                  "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END;"
                  "CREATE TRIGGER IF NOT EXISTS fail_update BEFORE UPDATE ON Note "
                  "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END;");
    }
    // Every read of notes fails until `repair`.
    void failReads() { m_db.exec("ALTER TABLE Note RENAME TO NoteHidden"); }
    void repair()
    {
        m_db.exec("DROP TRIGGER IF EXISTS fail_insert; DROP TRIGGER IF EXISTS fail_update;");
        m_db.exec("ALTER TABLE NoteHidden RENAME TO Note");
    }
    SqliteDatabase &database() { return m_db; }

private:
    SqliteDatabase m_db;
};
