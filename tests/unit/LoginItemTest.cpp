// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LoginItem.h"
#include "platform/AutostartEntry.h"

#include "TestSupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(LoginItem, EntryLivesInTheConfigHomeAutostartFolder)
{
    QTemporaryDir dir;
    {
        const ScopedConfigHome home(dir.path());
        EXPECT_EQ(AutostartEntry::defaultFilePath(),
                  dir.path() + QStringLiteral("/autostart/org.orlette.Orlette.desktop"));
    }
    const ScopedConfigHome relative(QStringLiteral("relative/config"));
    EXPECT_EQ(AutostartEntry::defaultFilePath(),
              QDir::homePath() + QStringLiteral("/.config/autostart/org.orlette.Orlette.desktop"));
}

TEST(LoginItem, TurnsOnAndOffAndReadsTheEntry)
{
    QTemporaryDir dir;
    const ScopedConfigHome home(dir.path());
    const LoginItem item;
    const QString path = AutostartEntry::defaultFilePath();
    EXPECT_FALSE(item.isEnabled());

    const LoginItem::Change on = item.change(true);
    EXPECT_TRUE(on.isEnabled);
    EXPECT_EQ(on.errorMessage, std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    const QByteArray text = readFile(path);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Orlette\n"));
    const QString exec =
        QStringLiteral("\nExec=\"%1\"\n").arg(QCoreApplication::applicationFilePath());
    EXPECT_TRUE(text.contains(exec.toUtf8())) << text.constData();
    EXPECT_TRUE(QDir::isAbsolutePath(QCoreApplication::applicationFilePath()));

    EXPECT_EQ(item.change(true).errorMessage, std::nullopt) << "turning on twice is fine";
    EXPECT_EQ(QDir(dir.path() + QStringLiteral("/autostart")).entryList(QDir::Files).size(), 1)
        << "no temporary file left behind";

    const LoginItem::Change off = item.change(false);
    EXPECT_FALSE(off.isEnabled);
    EXPECT_EQ(off.errorMessage, std::nullopt);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(item.setEnabled(false), std::nullopt) << "already off";
}

TEST(LoginItem, EntriesSwitchedOffByHandReadAsOffAndAreReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autostart/orlette.desktop"));
    const LoginItem item(AutostartEntry(path, QStringLiteral("/usr/bin/orlette")));

    const struct
    {
        const char *contents;
        bool enabled;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=orlette\n", true},
        {"[Desktop Entry]\nExec=orlette\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=orlette\nHidden = true\n", false},
        {"[Desktop Entry]\nHidden=true\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=orlette\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", true},
        {"[Desktop Entry]\nExec=orlette\n[Desktop Action x]\nHidden=true\n", true},
        {"# Hidden=true\n[Desktop Entry]\nExec=orlette\n", true},
    };
    for (const auto &c : cases) {
        writeFile(path, c.contents);
        EXPECT_EQ(item.isEnabled(), c.enabled) << c.contents;
    }

    writeFile(path, "[Desktop Entry]\nExec=orlette\nHidden=true\n");
    EXPECT_TRUE(item.change(true).isEnabled);
    EXPECT_FALSE(readFile(path).contains("Hidden"));
    EXPECT_TRUE(readFile(path).contains("Exec=\"/usr/bin/orlette\"\n"));
}

TEST(LoginItem, FailureIsWordedAndTheSwitchShowsTheRealState)
{
    QTemporaryDir dir;
    // A folder cannot be made under a regular file, whoever runs the test.
    const QString blocker = dir.filePath(QStringLiteral("config"));
    writeFile(blocker, "not a folder");
    const ScopedConfigHome home(blocker);
    const LoginItem item;

    const LoginItem::Change change = item.change(true);
    EXPECT_FALSE(change.isEnabled);
    ASSERT_TRUE(change.errorMessage.has_value());
    EXPECT_EQ(*change.errorMessage,
              QStringLiteral("No se pudo cambiar: no se puede crear la carpeta «%1/autostart». "
                             "Suele pasar con una copia ejecutada fuera de la carpeta "
                             "Aplicaciones.")
                  .arg(blocker));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.change(false).errorMessage, std::nullopt) << "nothing to remove";

    // The entry's own place taken by a folder: it can be neither written nor removed.
    const QString path = dir.filePath(QStringLiteral("autostart/orlette.desktop"));
    writeFile(path + QStringLiteral("/inside"), "x");
    const LoginItem blocked(AutostartEntry(path, QStringLiteral("/usr/bin/orlette")));
    const LoginItem::Change on = blocked.change(true);
    EXPECT_FALSE(on.isEnabled);
    EXPECT_TRUE(on.errorMessage.has_value());
    const LoginItem::Change off = blocked.change(false);
    EXPECT_FALSE(off.isEnabled);
    EXPECT_TRUE(off.errorMessage.has_value());
}

TEST(LoginItem, FailureMessageAddsNoSecondFullStop)
{
    EXPECT_EQ(LoginItem::failureMessage(QStringLiteral("Permiso denegado.")),
              QStringLiteral("No se pudo cambiar: Permiso denegado. Suele pasar con una copia "
                             "ejecutada fuera de la carpeta Aplicaciones."));
}

TEST(LoginItem, ExecLineQuotesAndEscapes)
{
    EXPECT_EQ(AutostartEntry::execLine(QStringLiteral("/opt/Orlette/orlette")),
              QStringLiteral("\"/opt/Orlette/orlette\""));
    // Quoting escapes " ` $ and \ and doubles %; the key-file layer then doubles every
    // backslash and writes control characters as escapes.
    EXPECT_EQ(
        AutostartEntry::execLine(QStringLiteral("/home/a b/\"q\"/$HOME/`x`/c\\d/100%/é\t")),
        QStringLiteral("\"/home/a b/\\\\\"q\\\\\"/\\\\$HOME/\\\\`x\\\\`/c\\\\\\\\d/100%%/é\\t\""));
}
