// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateInstaller.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace {

const QString programName = QStringLiteral("orlette");

struct Member
{
    QChar type;       // as `tar -tv` shows it: '-' a file, 'd' a folder, others refused
    QString listed;   // the name as stored, for asking tar for it
    QString relative; // without a leading "./" or a trailing "/"
    qint64 size = 0;
};

// The flag that tells tar how the archive is compressed, or nothing for a kind not offered.
std::optional<QString> compressionFlag(const QString &archive)
{
    const QString name = QFileInfo(archive).fileName().toLower();
    if (name.endsWith(u".tar.gz") || name.endsWith(u".tgz"))
        return QStringLiteral("-z");
    if (name.endsWith(u".tar.xz") || name.endsWith(u".txz"))
        return QStringLiteral("-J");
    if (name.endsWith(u".tar"))
        return QString();
    return std::nullopt;
}

std::optional<QByteArray> runTar(const QStringList &arguments, std::chrono::milliseconds timeout)
{
    QProcess tar;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The listing is parsed, so it must not change with the person's language.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    tar.setProcessEnvironment(environment);
    tar.setStandardInputFile(QProcess::nullDevice());
    tar.start(QStringLiteral("tar"), arguments);
    const QDeadlineTimer deadline(timeout);
    if (!tar.waitForStarted(int(deadline.remainingTime())))
        return std::nullopt;
    if (!tar.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
        tar.kill();
        tar.waitForFinished(1000);
        return std::nullopt;
    }
    if (tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0)
        return std::nullopt;
    return tar.readAllStandardOutput();
}

// The name without "./" in front or "/" behind, or nothing when it could reach outside
// the folder it is unpacked into.
std::optional<QString> relativeName(QString name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\'))
        return std::nullopt;
    while (name.startsWith(u"./"))
        name.remove(0, 2);
    while (name.endsWith(u'/'))
        name.chop(1);
    const QStringList parts = name.split(u'/');
    for (const QString &part : parts) {
        if (part == u"..")
            return std::nullopt;
    }
    return name;
}

struct Listing
{
    QList<Member> members;
    QString error;
};

Listing parseListing(const QByteArray &output)
{
    // "-rwxr-xr-x 0/0   35664 2026-12-06 12:59 folder/orlette"; the name follows the time
    // after a single space, and may itself hold spaces.
    static const QRegularExpression line(
        QStringLiteral("^(\\S)\\S* +\\S+ +(\\d+) +\\S+ +\\S+ (.+)$"));
    const QString refusedPaths =
        QStringLiteral("El archivo de la actualización contiene rutas que salen de su carpeta; "
                       "no se instala.");
    const QString refusedKinds = QStringLiteral(
        "El archivo de la actualización contiene enlaces o dispositivos; no se instala.");
    Listing listing;
    for (const QByteArray &raw : output.split('\n')) {
        if (raw.isEmpty())
            continue;
        const QString text = QString::fromUtf8(raw);
        const QChar kind = text.at(0);
        if (kind != u'-' && kind != u'd')
            return {{}, refusedKinds};
        const QRegularExpressionMatch match = line.match(text);
        if (!match.hasMatch())
            return {{}, QStringLiteral("No se pudo leer el archivo de la actualización.")};
        const QString listed = match.captured(3);
        const std::optional<QString> relative = relativeName(listed);
        if (!relative)
            return {{}, refusedPaths};
        listing.members.append({kind, listed, *relative, match.captured(2).toLongLong()});
    }
    return listing;
}

// The one program in the archive, or why there is none to take.
std::variant<Member, QString> findProgram(const QList<Member> &members)
{
    std::optional<Member> found;
    int count = 0;
    for (const Member &member : members) {
        if (member.type != u'-' || member.relative.section(u'/', -1) != programName)
            continue;
        ++count;
        found = member;
    }
    if (count > 1)
        return QStringLiteral("El archivo de la actualización contiene más de un programa "
                              "orlette; no se instala.");
    // At the top, or inside one folder.
    if (!found || found->relative.count(u'/') > 1)
        return QStringLiteral("El archivo de la actualización no contiene el programa orlette.");
    return *found;
}

bool startsWithElfMagic(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("\x7f"
                                                                        "ELF",
                                                                        4);
}

bool printsVersion(const QString &output, const QString &version)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return !version.isEmpty() && output.split(space, Qt::SkipEmptyParts).contains(version);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

UpdateInstaller::UpdateInstaller() : UpdateInstaller(Options{}) {}

UpdateInstaller::UpdateInstaller(Options options) : m_options(std::move(options))
{
    if (!m_options.probe) {
        m_options.probe = [timeout = m_options.probeTimeout](const QString &program) {
            return runVersionProbe(program, timeout);
        };
    }
}

bool UpdateInstaller::canReplace(const QString &targetExecutable)
{
    const QFileInfo target(targetExecutable);
    return target.isFile() &&
           ::access(QFile::encodeName(target.absolutePath()).constData(), W_OK) == 0;
}

QString UpdateInstaller::packageManagerMessage(const QString &version)
{
    return QStringLiteral("Instala la versión %1 con el gestor de paquetes del sistema: Orlette "
                          "está en una carpeta que no puede modificar por sí mismo.")
        .arg(version);
}

std::optional<QString> UpdateInstaller::runVersionProbe(const QString &program,
                                                        std::chrono::milliseconds timeout)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Answering needs no screen; if it tried to open one it must not find the person's.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("--version")});
    const QDeadlineTimer deadline(timeout);
    if (!process.waitForStarted(int(deadline.remainingTime())))
        return std::nullopt;
    if (!process.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

UpdateInstaller::Result UpdateInstaller::install(const QString &archive,
                                                 const QString &expectedVersion,
                                                 const QString &targetExecutable) const
{
    const auto refuse = [](const QString &error) { return Result{false, error}; };
    const QFileInfo target(targetExecutable);
    if (!target.isFile())
        return refuse(QStringLiteral("No se encontró el programa instalado en %1.")
                          .arg(QDir::toNativeSeparators(target.absoluteFilePath())));
    if (!canReplace(targetExecutable))
        return refuse(packageManagerMessage(expectedVersion));
    if (!QFileInfo(archive).isFile())
        return refuse(QStringLiteral("No se encontró el archivo de la actualización."));
    const std::optional<QString> compression = compressionFlag(archive);
    if (!compression)
        return refuse(QStringLiteral("El archivo de la actualización no es de un tipo conocido "
                                     "(.tar.gz, .tar.xz o .tar)."));

    QStringList common{QStringLiteral("--numeric-owner"), QStringLiteral("-f"), archive};
    if (!compression->isEmpty())
        common.prepend(*compression);
    const std::optional<QByteArray> output = runTar(
        QStringList{QStringLiteral("-t"), QStringLiteral("-v")} + common, m_options.tarTimeout);
    if (!output)
        return refuse(QStringLiteral("No se pudo leer el archivo de la actualización."));
    const Listing listing = parseListing(*output);
    if (!listing.error.isEmpty())
        return refuse(listing.error);
    const std::variant<Member, QString> found = findProgram(listing.members);
    if (const QString *error = std::get_if<QString>(&found))
        return refuse(*error);
    const Member program = std::get<Member>(found);
    if (program.size > m_options.maximumProgramSize)
        return refuse(QStringLiteral("El programa de la actualización es demasiado grande."));

    // Beside the installed program, so the last step is a rename within one file system;
    // it goes away however this ends.
    const QString folder = target.absolutePath();
    QTemporaryDir staging(folder + QStringLiteral("/.orlette-update-XXXXXX"));
    if (!staging.isValid())
        return refuse(
            QStringLiteral("No se pudo preparar la instalación: %1").arg(staging.errorString()));
    const QStringList extract =
        QStringList{QStringLiteral("-x"), QStringLiteral("--no-same-owner"),
                    QStringLiteral("--no-same-permissions"), QStringLiteral("-C"), staging.path()} +
        common + QStringList{QStringLiteral("--"), program.listed};
    if (!runTar(extract, m_options.tarTimeout))
        return refuse(QStringLiteral("No se pudo sacar el programa del archivo de la "
                                     "actualización."));

    const QString staged = staging.filePath(program.relative);
    struct stat status = {};
    if (::lstat(QFile::encodeName(staged).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > m_options.maximumProgramSize)
        return refuse(QStringLiteral("No se pudo sacar el programa del archivo de la "
                                     "actualización."));
    if (!startsWithElfMagic(staged))
        return refuse(
            QStringLiteral("El programa de la actualización no es un ejecutable de Linux."));
    if (::chmod(QFile::encodeName(staged).constData(), 0755) != 0)
        return refuse(QStringLiteral("No se pudo preparar la instalación: %1").arg(systemError()));
    const std::optional<QString> answer = m_options.probe(staged);
    if (!answer || !printsVersion(*answer, expectedVersion))
        return refuse(QStringLiteral("El programa de la actualización no dice ser la versión %1; "
                                     "no se instala.")
                          .arg(expectedVersion));

    // The installed program is kept under a second name first (a hard link, so its own
    // name never goes missing), then the new one takes its name in one step.
    const QByteArray current = QFile::encodeName(target.absoluteFilePath());
    const QByteArray kept = QFile::encodeName(staging.filePath(QStringLiteral(".previous")));
    const QByteArray previous =
        QFile::encodeName(target.absoluteFilePath() + QStringLiteral(".previous"));
    if (::link(current.constData(), kept.constData()) != 0 &&
        !QFile::copy(target.absoluteFilePath(), QFile::decodeName(kept)))
        return refuse(QStringLiteral("No se pudo guardar una copia del programa instalado."));
    if (::rename(kept.constData(), previous.constData()) != 0)
        return refuse(QStringLiteral("No se pudo guardar una copia del programa instalado: %1")
                          .arg(systemError()));
    if (::rename(QFile::encodeName(staged).constData(), current.constData()) != 0)
        return refuse(QStringLiteral("No se pudo sustituir el programa: %1").arg(systemError()));
    return {true, {}};
}
