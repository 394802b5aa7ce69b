// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/PrivateFiles.h"
#include "model/AppPaths.h"
#include "model/LocalKeyValueStore.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StoreOpening.h"
#include "model/StyledText.h"
#include "model/UserDefaults.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void writeFile(const QString &path, int mode)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}

// Root may change the mode of anyone's file through CAP_FOWNER; without it (on this
// thread only) root is refused as an ordinary owner would be for a file not its own.
class WithoutFileOwnerOverride
{
public:
    WithoutFileOwnerOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~(1u << CAP_FOWNER);
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileOwnerOverride() { ::syscall(SYS_capset, &m_header, m_saved); }
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header = {};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

} // namespace

TEST(PrivateFiles, WhateverTheUmaskTheStoreTheKeyValuesAndTheSettingsAreTheOwnersOnly)
{
    QTemporaryDir dir;
    const ScopedUmask permissive(0);
    const QString data = dir.filePath(QStringLiteral("share/Orlette"));
    const QString config = dir.filePath(QStringLiteral("config/Orlette"));

    {
        StoreOpening opening = StoreOpening::open(data + QStringLiteral("/default.store"));
        ASSERT_TRUE(opening.container);
        ASSERT_FALSE(opening.isInMemory());
        ModelContext *context = opening.container->mainContext();
        context->insert(Note::make(QStringLiteral("Cumpleaños"), StyledText(), NoteColor::citrus,
                                   ScreenEdge::right, 0));
        ASSERT_TRUE(context->save());
        // The WAL and shared-memory files exist while the store is open.
        EXPECT_EQ(fileMode(data + QStringLiteral("/default.store-wal")), 0600);
        EXPECT_EQ(fileMode(data + QStringLiteral("/default.store-shm")), 0600);
    }
    EXPECT_EQ(fileMode(dir.filePath(QStringLiteral("share"))), 0700);
    EXPECT_EQ(fileMode(data), 0700);
    EXPECT_EQ(fileMode(data + QStringLiteral("/default.store")), 0600);

    LocalKeyValueStore keyValues(data + QStringLiteral("/keyvalues.json"));
    keyValues.setBool(QStringLiteral("welcomeNotesCreated"), true);
    EXPECT_EQ(fileMode(keyValues.path()), 0600);

    UserDefaults defaults(config + QStringLiteral("/Orlette.conf"));
    defaults.setValue(QStringLiteral("hasSeenTour"), true);
    EXPECT_EQ(fileMode(config), 0700);
    EXPECT_EQ(fileMode(defaults.path()), 0600);
}

TEST(PrivateFiles, AnEarlierInstallIsNarrowedAtStartButLinksAndStricterModesAreLeft)
{
    QTemporaryDir dir;
    const ScopedEnvironment dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")));
    const ScopedEnvironment configHome("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")));
    const QString data = AppPaths::dataDirectory();
    const QString backup = data + QStringLiteral("/Respaldos/almacen-20260101-120000");
    ASSERT_TRUE(QDir().mkpath(backup));
    ASSERT_TRUE(QDir().mkpath(AppPaths::configDirectory()));
    for (const QString &folder :
         {data, data + QStringLiteral("/Respaldos"), backup, AppPaths::configDirectory()})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    for (const QString &file :
         {AppPaths::storeFile(), AppPaths::storeFile() + QStringLiteral("-wal"),
          backup + QStringLiteral("/default.store"), data + QStringLiteral("/keyvalues.json"),
          AppPaths::settingsFile()})
        writeFile(file, 0644);
    const QString readOnly = data + QStringLiteral("/solo-lectura");
    writeFile(readOnly, 0444);
    // Somebody else's file, linked from the data folder: not Orlette's to change.
    const QString outside = dir.filePath(QStringLiteral("fuera.txt"));
    writeFile(outside, 0644);
    ASSERT_TRUE(QFile::link(outside, data + QStringLiteral("/enlace")));

    EXPECT_TRUE(AppPaths::makeFoldersPrivate().isEmpty());

    for (const QString &folder :
         {data, data + QStringLiteral("/Respaldos"), backup, AppPaths::configDirectory()})
        EXPECT_EQ(fileMode(folder), 0700) << folder.toStdString();
    for (const QString &file :
         {AppPaths::storeFile(), AppPaths::storeFile() + QStringLiteral("-wal"),
          backup + QStringLiteral("/default.store"), data + QStringLiteral("/keyvalues.json"),
          AppPaths::settingsFile()})
        EXPECT_EQ(fileMode(file), 0600) << file.toStdString();
    EXPECT_EQ(fileMode(readOnly), 0400);
    EXPECT_EQ(fileMode(outside), 0644);

    // A first start makes both folders, owner-only.
    QTemporaryDir fresh;
    const ScopedEnvironment freshData("XDG_DATA_HOME", fresh.filePath(QStringLiteral("d")));
    const ScopedEnvironment freshConfig("XDG_CONFIG_HOME", fresh.filePath(QStringLiteral("c")));
    const ScopedUmask debianDefault(022);
    EXPECT_TRUE(AppPaths::makeFoldersPrivate().isEmpty());
    EXPECT_EQ(fileMode(AppPaths::dataDirectory()), 0700);
    EXPECT_EQ(fileMode(AppPaths::configDirectory()), 0700);
}

TEST(PrivateFiles, AStoreThatCannotBeNarrowedIsNamedAndStillOpened)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the store to another user";
    QTemporaryDir dir;
    const ScopedEnvironment dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")));
    const ScopedEnvironment configHome("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(StoreOpening::open(AppPaths::storeFile()).container);
    // As left by a start under another account: readable and writable, but not ours.
    const QByteArray store = QFile::encodeName(AppPaths::storeFile());
    ASSERT_EQ(::chmod(store.constData(), 0666), 0);
    ASSERT_EQ(::chown(store.constData(), 65534, 65534), 0);

    const WithoutFileOwnerOverride limited;
    ASSERT_TRUE(limited.active());
    const QList<PrivateFiles::Problem> problems = AppPaths::makeFoldersPrivate();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems.first().path, AppPaths::storeFile());
    EXPECT_FALSE(problems.first().reason.isEmpty());
    EXPECT_EQ(fileMode(AppPaths::dataDirectory()), 0700);

    // The notes are still there to be read and written.
    const StoreOpening opening = StoreOpening::open(AppPaths::storeFile());
    ASSERT_TRUE(opening.container);
    EXPECT_FALSE(opening.isInMemory());
}
