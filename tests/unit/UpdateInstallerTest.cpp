// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateInstaller.h"
#include "model/UserDefaults.h"
#include "updates/PendingUpdate.h"
#include "updates/UpdateCheck.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Marks a folder immutable while it lives (root only; not every file system can).
class ImmutableFolder
{
public:
    explicit ImmutableFolder(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY))
    {
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_set = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ImmutableFolder()
    {
        int flags = 0;
        if (m_set && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ImmutableFolder(const ImmutableFolder &) = delete;
    ImmutableFolder &operator=(const ImmutableFolder &) = delete;
    bool isSet() const { return m_set; }

private:
    int m_fd;
    bool m_set = false;
};

const QByteArray oldProgram("the installed program\n");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A small real ELF program to pack as the new version.
QString realElf()
{
    return QStandardPaths::findExecutable(QStringLiteral("true"));
}

class UpdateInstallerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_FALSE(realElf().isEmpty());
        m_elf = contents(realElf());
        resetInstall();
    }

    void TearDown() override
    {
        // Leaves the folder removable when a test made it read-only.
        QFile::setPermissions(installFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString installFolder() const { return m_root.filePath(QStringLiteral("app")); }
    QString target() const { return installFolder() + QStringLiteral("/orlette"); }
    QString previous() const { return target() + QStringLiteral(".previous"); }

    void resetInstall()
    {
        QDir(installFolder()).removeRecursively();
        write(target(), oldProgram);
        QFile::setPermissions(target(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A folder to build an archive's contents in.
    QString content()
    {
        const QString folder = m_root.filePath(QStringLiteral("content-%1").arg(++m_counter));
        QDir().mkpath(folder);
        return folder;
    }

    // Packs `members` of `folder` with the real tar; `options` come before the names.
    QString pack(const QString &folder, const QStringList &members,
                 const QString &suffix = QStringLiteral(".tar.gz"), const QStringList &options = {})
    {
        const QString archive =
            m_root.filePath(QStringLiteral("release-%1%2").arg(++m_counter).arg(suffix));
        QString mode = QStringLiteral("-c");
        if (suffix.endsWith(u"gz"))
            mode += u'z';
        else if (suffix.endsWith(u"xz"))
            mode += u'J';
        QProcess tar;
        tar.start(QStringLiteral("tar"),
                  QStringList{mode, QStringLiteral("-f"), archive, QStringLiteral("-C"), folder} +
                      options + QStringList{QStringLiteral("--")} + members);
        EXPECT_TRUE(tar.waitForFinished(30000));
        EXPECT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
        return archive;
    }

    QString packProgram(const QString &member, const QString &suffix = QStringLiteral(".tar.gz"))
    {
        const QString folder = content();
        write(folder + u'/' + member, m_elf);
        return pack(folder, {member.section(u'/', 0, 0)}, suffix);
    }

    UpdateInstaller installer(const QString &answer = QStringLiteral("Orlette 1.2.0\n"))
    {
        UpdateInstaller::Options options;
        options.probe = [this, answer](const QString &program) -> std::optional<QString> {
            m_probed.append(program);
            // The program asked is the unpacked one, ready to run.
            EXPECT_TRUE(QFileInfo(program).isExecutable());
            EXPECT_EQ(contents(program), m_elf);
            return answer;
        };
        return UpdateInstaller(options);
    }

    QStringList installFolderEntries() const
    {
        QStringList entries =
            QDir(installFolder())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        entries.sort();
        return entries;
    }

    // A refusal leaves the installed program as it was, and nothing beside it.
    void expectUntouched(const UpdateInstaller::Result &result)
    {
        EXPECT_FALSE(result.installed);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(contents(target()), oldProgram);
        EXPECT_EQ(installFolderEntries(), QStringList{QStringLiteral("orlette")});
    }

    QTemporaryDir m_root;
    QByteArray m_elf;
    QStringList m_probed;
    int m_counter = 0;
};

TEST_F(UpdateInstallerTest, ReplacesTheProgramAndKeepsThePreviousOne)
{
    struct Case
    {
        QString member;
        QString suffix;
    };
    // A folder name that tar would take for an option if it were not kept apart.
    const QList<Case> cases{{QStringLiteral("orlette"), QStringLiteral(".tar.gz")},
                            {QStringLiteral("Orlette 1.2.0/orlette"), QStringLiteral(".tar.xz")},
                            {QStringLiteral("--to-stdout/orlette"), QStringLiteral(".tar")},
                            {QStringLiteral("./orlette"), QStringLiteral(".tgz")}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.member.toStdString() + c.suffix.toStdString());
        resetInstall();
        m_probed.clear();
        QString archive;
        if (c.member.startsWith(u"./")) {
            const QString folder = content();
            write(folder + QStringLiteral("/orlette"), m_elf);
            archive = pack(folder, {QStringLiteral(".")}, c.suffix);
        } else {
            archive = packProgram(c.member, c.suffix);
        }
        const UpdateInstaller::Result result =
            installer().install(archive, QStringLiteral("1.2.0"), target());
        EXPECT_TRUE(result.installed) << result.error.toStdString();
        EXPECT_EQ(contents(target()), m_elf);
        struct stat status = {};
        ASSERT_EQ(::stat(QFile::encodeName(target()).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0755u);
        EXPECT_EQ(contents(previous()), oldProgram);
        EXPECT_EQ(installFolderEntries(),
                  (QStringList{QStringLiteral("orlette"), QStringLiteral("orlette.previous")}));
        ASSERT_EQ(m_probed.size(), 1);
        // Unpacked beside the program, so the last step stays within one file system.
        EXPECT_TRUE(m_probed.first().startsWith(installFolder() + QStringLiteral("/.")));
    }
}

TEST_F(UpdateInstallerTest, ASecondUpdateReplacesTheOlderPreviousProgram)
{
    ASSERT_TRUE(installer().install(packProgram(QStringLiteral("orlette")), QStringLiteral("1.2.0"),
                                    target()));
    // The next release is a different program.
    m_elf += QByteArray("padding");
    ASSERT_TRUE(
        installer(QStringLiteral("Orlette 1.3.0"))
            .install(packProgram(QStringLiteral("orlette")), QStringLiteral("1.3.0"), target()));
    EXPECT_EQ(contents(target()), m_elf);
    EXPECT_EQ(contents(previous()), m_elf.chopped(7));
}

TEST_F(UpdateInstallerTest, RefusesMembersThatReachOutsideOrAreNotPlainFiles)
{
    const QString folder = content();
    write(folder + QStringLiteral("/orlette"), m_elf);
    const QByteArray path = QFile::encodeName(folder);
    ASSERT_EQ(::symlink("/etc/passwd", (path + "/link").constData()), 0);
    ASSERT_EQ(::link((path + "/orlette").constData(), (path + "/hard").constData()), 0);
    ASSERT_EQ(::mkfifo((path + "/fifo").constData(), 0600), 0);
    // The program itself a link to a real one elsewhere.
    const QString linked = content();
    ASSERT_EQ(::symlink(QFile::encodeName(realElf()).constData(),
                        QFile::encodeName(linked + QStringLiteral("/orlette")).constData()),
              0);
    const QString orlette = QStringLiteral("orlette");
    // Each archive holds one thing that must stop the install, most of them beside an
    // `orlette` that would otherwise be taken.
    const QList<std::pair<const char *, QString>> archives{
        {"parent folder",
         pack(folder, {orlette}, QStringLiteral(".tar"), {QStringLiteral("--transform=s,^,../,")})},
        {"parent inside a folder", pack(folder, {orlette}, QStringLiteral(".tar"),
                                        {QStringLiteral("--transform=s,^,app/../,")})},
        {"absolute", pack(folder, {folder + QStringLiteral("/orlette")}, QStringLiteral(".tar"),
                          {QStringLiteral("--absolute-names")})},
        {"symbolic link beside", pack(folder, {orlette, QStringLiteral("link")})},
        {"symbolic link as the program", pack(linked, {orlette})},
        {"hard link", pack(folder, {orlette, QStringLiteral("hard")})},
        {"fifo", pack(folder, {orlette, QStringLiteral("fifo")})},
    };
    for (const auto &[name, archive] : archives) {
        SCOPED_TRACE(name);
        m_probed.clear();
        expectUntouched(installer().install(archive, QStringLiteral("1.2.0"), target()));
        EXPECT_TRUE(m_probed.isEmpty());
    }
}

TEST_F(UpdateInstallerTest, RefusesAnArchiveWithoutExactlyOneProgram)
{
    const QString none = content();
    write(none + QStringLiteral("/README"), "read me");
    const QString two = content();
    write(two + QStringLiteral("/a/orlette"), m_elf);
    write(two + QStringLiteral("/b/orlette"), m_elf);
    const QString deep = content();
    write(deep + QStringLiteral("/a/b/orlette"), m_elf);
    const QString folderOnly = content();
    QDir().mkpath(folderOnly + QStringLiteral("/orlette"));
    const QString once = content();
    write(once + QStringLiteral("/orlette"), m_elf);
    const QString twice = pack(once, {QStringLiteral("orlette")}, QStringLiteral(".tar"));
    // The same name stored a second time, which unpacking would lay over the first.
    QProcess append;
    append.start(QStringLiteral("tar"), {QStringLiteral("-r"), QStringLiteral("-f"), twice,
                                         QStringLiteral("-C"), once, QStringLiteral("orlette")});
    ASSERT_TRUE(append.waitForFinished(30000));
    ASSERT_EQ(append.exitCode(), 0);

    const QList<std::pair<const char *, QString>> archives{
        {"none", pack(none, {QStringLiteral("README")})},
        {"two folders", pack(two, {QStringLiteral("a"), QStringLiteral("b")})},
        {"too deep", pack(deep, {QStringLiteral("a")})},
        {"a folder named orlette", pack(folderOnly, {QStringLiteral("orlette")})},
        {"stored twice", twice},
    };
    for (const auto &[name, archive] : archives) {
        SCOPED_TRACE(name);
        expectUntouched(installer().install(archive, QStringLiteral("1.2.0"), target()));
    }
    EXPECT_TRUE(m_probed.isEmpty());
}

TEST_F(UpdateInstallerTest, RefusesAProgramThatIsNotOneOrNotThatVersion)
{
    // A script that would answer correctly is still not a program for this system.
    const QString script = content();
    write(script + QStringLiteral("/orlette"), "#!/bin/sh\necho Orlette 1.2.0\n");
    expectUntouched(installer().install(pack(script, {QStringLiteral("orlette")}),
                                        QStringLiteral("1.2.0"), target()));
    EXPECT_TRUE(m_probed.isEmpty());

    const QString archive = packProgram(QStringLiteral("orlette"));
    for (const QString &answer :
         {QStringLiteral("Orlette 1.1.0"), QStringLiteral("Orlette 1.2.0.1"),
          QStringLiteral("Orlette 1.2.0-beta"), QString()}) {
        SCOPED_TRACE(answer.toStdString());
        expectUntouched(installer(answer).install(archive, QStringLiteral("1.2.0"), target()));
    }
    UpdateInstaller::Options silent;
    silent.probe = [](const QString &) { return std::nullopt; };
    expectUntouched(UpdateInstaller(silent).install(archive, QStringLiteral("1.2.0"), target()));
}

TEST_F(UpdateInstallerTest, RefusesArchivesItCannotReadAndAMissingProgram)
{
    const QString good = packProgram(QStringLiteral("orlette"));
    const QString renamed = m_root.filePath(QStringLiteral("release.zip"));
    ASSERT_TRUE(QFile::copy(good, renamed));
    expectUntouched(installer().install(renamed, QStringLiteral("1.2.0"), target()));

    const QString truncated = m_root.filePath(QStringLiteral("truncated.tar.gz"));
    write(truncated, contents(good).left(100));
    expectUntouched(installer().install(truncated, QStringLiteral("1.2.0"), target()));

    // Named as one kind and made as another.
    const QString mislabelled = m_root.filePath(QStringLiteral("mislabelled.tar.xz"));
    ASSERT_TRUE(QFile::copy(good, mislabelled));
    expectUntouched(installer().install(mislabelled, QStringLiteral("1.2.0"), target()));

    expectUntouched(installer().install(m_root.filePath(QStringLiteral("gone.tar.gz")),
                                        QStringLiteral("1.2.0"), target()));

    const UpdateInstaller::Result result = installer().install(
        good, QStringLiteral("1.2.0"), m_root.filePath(QStringLiteral("nowhere/orlette")));
    EXPECT_FALSE(result.installed);
    EXPECT_FALSE(QFileInfo::exists(m_root.filePath(QStringLiteral("nowhere"))));
    EXPECT_TRUE(m_probed.isEmpty());
}

TEST_F(UpdateInstallerTest, AFolderThisUserCannotWriteIsLeftToThePackageManager)
{
    // Root writes into read-only folders, but not into immutable ones.
    std::optional<ImmutableFolder> immutable;
    if (::geteuid() == 0) {
        immutable.emplace(installFolder());
        if (!immutable->isSet())
            GTEST_SKIP() << "this file system cannot mark a folder immutable";
    } else {
        ASSERT_TRUE(QFile::setPermissions(installFolder(), QFile::ReadOwner | QFile::ExeOwner));
    }
    EXPECT_FALSE(UpdateInstaller::canReplace(target()));
    const UpdateInstaller::Result result = installer().install(
        packProgram(QStringLiteral("orlette")), QStringLiteral("1.2.0"), target());
    expectUntouched(result);
    EXPECT_TRUE(result.error.contains(QStringLiteral("gestor de paquetes")));
    EXPECT_TRUE(m_probed.isEmpty());
}

TEST_F(UpdateInstallerTest, TheRealProbeRunsTheUnpackedProgram)
{
    // GNU echo answers --version with its own version, which stands in for ours.
    const QString echo = QStandardPaths::findExecutable(QStringLiteral("echo"));
    const std::optional<QString> own = UpdateInstaller::runVersionProbe(echo, 10s);
    ASSERT_TRUE(own.has_value());
    const QString version = own->section(u'\n', 0, 0).section(u' ', -1);
    ASSERT_FALSE(version.isEmpty());

    m_elf = contents(echo);
    const QString archive = packProgram(QStringLiteral("echo-release/orlette"));
    expectUntouched(UpdateInstaller().install(archive, QStringLiteral("0.0.1"), target()));
    const UpdateInstaller::Result result = UpdateInstaller().install(archive, version, target());
    EXPECT_TRUE(result.installed) << result.error.toStdString();
    EXPECT_EQ(contents(target()), m_elf);
}

TEST_F(UpdateInstallerTest, TheProbeGivesUpOnAProgramThatFailsOrHangs)
{
    const QString folder = content();
    const auto script = [&](const QString &name, const QByteArray &body) {
        const QString path = folder + u'/' + name;
        write(path, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };
    EXPECT_EQ(UpdateInstaller::runVersionProbe(
                  script(QStringLiteral("answers"), "echo \"Orlette $1\"\n"), 10s),
              QStringLiteral("Orlette --version\n"));
    EXPECT_EQ(UpdateInstaller::runVersionProbe(
                  script(QStringLiteral("fails"), "echo Orlette 1.2.0; exit 3\n"), 10s),
              std::nullopt);
    EXPECT_EQ(
        UpdateInstaller::runVersionProbe(script(QStringLiteral("hangs"), "exec sleep 30\n"), 200ms),
        std::nullopt);
    EXPECT_EQ(UpdateInstaller::runVersionProbe(folder + QStringLiteral("/missing"), 10s),
              std::nullopt);
}

// The waiting release in the settings, and what happens to it at quit.
class PendingUpdateTest : public UpdateInstallerTest
{
protected:
    void SetUp() override
    {
        UpdateInstallerTest::SetUp();
        m_defaults =
            std::make_unique<UserDefaults>(m_root.filePath(QStringLiteral("Orlette.conf")));
    }

    AvailableUpdate found(const QString &version, const QString &archive)
    {
        AvailableUpdate update;
        update.version = version;
        update.buildVersion = version;
        update.archivePath = archive;
        return update;
    }

    std::unique_ptr<UserDefaults> m_defaults;
};

TEST_F(PendingUpdateTest, ANewerReleaseTakesThePlaceOfTheWaitingOne)
{
    PendingUpdate pending(*m_defaults);
    const QString first = packProgram(QStringLiteral("orlette"));
    const QString second = packProgram(QStringLiteral("orlette"));
    const QString third = packProgram(QStringLiteral("orlette"));

    EXPECT_TRUE(pending.remember(found(QStringLiteral("1.2.0"), first), target()));
    EXPECT_EQ(m_defaults->stringValue(PendingUpdate::Keys::pendingUpdateArchive), first);
    EXPECT_EQ(m_defaults->stringValue(PendingUpdate::Keys::pendingUpdateVersion),
              QStringLiteral("1.2.0"));

    EXPECT_TRUE(pending.remember(found(QStringLiteral("1.10.0"), second), target()));
    EXPECT_EQ(pending.pending()->archive, second);
    EXPECT_EQ(pending.pending()->version, QStringLiteral("1.10.0"));
    EXPECT_FALSE(QFileInfo::exists(first));

    // An older one found later does not push out a newer one still on disk...
    EXPECT_TRUE(pending.remember(found(QStringLiteral("1.9.0"), third), target()));
    EXPECT_EQ(pending.pending()->archive, second);
    // ...but takes over once that one is gone.
    QFile::remove(second);
    EXPECT_TRUE(pending.remember(found(QStringLiteral("1.9.0"), third), target()));
    EXPECT_EQ(pending.pending()->archive, third);

    // A program this user cannot replace waits for nothing.
    PendingUpdate elsewhere(*m_defaults);
    m_defaults->remove(PendingUpdate::Keys::pendingUpdateArchive);
    EXPECT_FALSE(elsewhere.remember(found(QStringLiteral("2.0.0"), first),
                                    m_root.filePath(QStringLiteral("nowhere/orlette"))));
    EXPECT_FALSE(elsewhere.pending().has_value());
}

TEST_F(PendingUpdateTest, AtQuitTheWaitingReleaseIsInstalledOnce)
{
    PendingUpdate pending(*m_defaults);
    const QString archive = packProgram(QStringLiteral("orlette"));
    pending.remember(found(QStringLiteral("1.2.0"), archive), target());

    EXPECT_TRUE(pending.installOnQuit(installer(), QStringLiteral("1.1.0"), target()));
    EXPECT_EQ(contents(target()), m_elf);
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_FALSE(m_defaults->contains(PendingUpdate::Keys::pendingUpdateArchive));
    EXPECT_FALSE(m_defaults->contains(PendingUpdate::Keys::pendingUpdateVersion));
    EXPECT_TRUE(pending.takeInstallError().isEmpty());

    // Nothing waits any more.
    EXPECT_FALSE(pending.installOnQuit(installer(), QStringLiteral("1.1.0"), target()));
    EXPECT_EQ(m_probed.size(), 1);
}

TEST_F(PendingUpdateTest, AFailedInstallIsNotRetriedAndIsToldOnce)
{
    PendingUpdate pending(*m_defaults);
    const QString archive = packProgram(QStringLiteral("orlette"));
    pending.remember(found(QStringLiteral("1.2.0"), archive), target());

    EXPECT_FALSE(pending.installOnQuit(installer(QStringLiteral("Orlette 1.1.0")),
                                       QStringLiteral("1.1.0"), target()));
    EXPECT_EQ(contents(target()), oldProgram);
    EXPECT_FALSE(pending.pending().has_value());
    EXPECT_FALSE(pending.installOnQuit(installer(), QStringLiteral("1.1.0"), target()));
    EXPECT_EQ(m_probed.size(), 1);

    const QString error = PendingUpdate(*m_defaults).takeInstallError();
    EXPECT_TRUE(error.contains(QStringLiteral("1.2.0")));
    EXPECT_TRUE(PendingUpdate(*m_defaults).takeInstallError().isEmpty());
}

TEST_F(PendingUpdateTest, AReleaseNoLongerNewerIsDroppedUntried)
{
    PendingUpdate pending(*m_defaults);
    const QString archive = packProgram(QStringLiteral("orlette"));
    pending.remember(found(QStringLiteral("1.2.0"), archive), target());

    // The person installed this version, or a later one, some other way.
    EXPECT_FALSE(pending.installOnQuit(installer(), QStringLiteral("1.2"), target()));
    EXPECT_EQ(contents(target()), oldProgram);
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_FALSE(pending.pending().has_value());
    EXPECT_TRUE(pending.takeInstallError().isEmpty());
    EXPECT_TRUE(m_probed.isEmpty());
}

} // namespace
