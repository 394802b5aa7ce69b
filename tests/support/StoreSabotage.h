// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"
#include "model/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <tuple>

// Breaks a store from outside its contexts, the way a full disk or a damaged file would,
// so tests can see how callers cope with failing saves and fetches.
class StoreSabotage
{
public:
    explicit StoreSabotage(const ModelContainer &container)
    {
        expect(m_db.open(container.databaseUri(), SqliteDatabase::OpenMode::readWriteExisting));
    }
    // Every write of a note fails until `repair`.
    void failWrites()
    {
        expect(m_db.exec("CREATE TRIGGER IF NOT EXISTS fail_insert BEFORE INSERT ON Note "
                         "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END;"
                         "CREATE TRIGGER IF NOT EXISTS fail_update BEFORE UPDATE ON Note "
                         "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END;"));
    }
    // Every read of notes fails until `repair`.
    void failReads() { expect(m_db.exec("ALTER TABLE Note RENAME TO NoteHidden")); }
    void repair()
    {
        expect(
            m_db.exec("DROP TRIGGER IF EXISTS fail_insert; DROP TRIGGER IF EXISTS fail_update;"));
        // Only reads that were made to fail have a table to give back.
        std::ignore = m_db.exec("ALTER TABLE NoteHidden RENAME TO Note");
    }
    SqliteDatabase &database() { return m_db; }

private:
    // A sabotage that did not take would let a test pass without testing anything.
    static void expect(const Expected<void, StoreError> &done)
    {
        EXPECT_TRUE(done) << (done ? "" : done.error().description.toStdString());
    }

    SqliteDatabase m_db;
};
