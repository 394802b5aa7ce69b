// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncStatus.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "sync/SyncLog.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

// Stands in for the mirroring: records what the status asks and lets the test answer.
class FakeMirroring : public SyncMirroring
{
public:
    bool configured = true;
    int accountRequests = 0;
    int zoneRequests = 0;
    int passRequests = 0;
    int sendAgainRequests = 0;

    bool isConfigured() const override { return configured; }
    void requestAccountStatus() override { ++accountRequests; }
    void requestZoneNames() override { ++zoneRequests; }
    void requestPass() override { ++passRequests; }
    void requestSendAgain() override { ++sendAgainRequests; }
};

// Collects the lines written to the sync log.
class LogCapture
{
public:
    LogCapture()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static QStringList lines() { return s_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (QByteArray(context.category) == SyncLog::categoryName && type == QtCriticalMsg)
            s_lines << message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

SyncEvent finished(SyncEvent::Type type, const QDateTime &end, std::optional<SyncError> error = {})
{
    SyncEvent event;
    event.type = type;
    event.startDate = end.addSecs(-1);
    event.endDate = end;
    event.error = error;
    return event;
}

const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

} // namespace

TEST(SyncStatusTest, WithoutTargetIsUnavailableAndAsksNothing)
{
    FakeMirroring mirroring;
    mirroring.configured = false;
    SyncStatus status(&mirroring);
    EXPECT_EQ(status.health(), SyncStatus::Health::unavailable());
    status.start();
    EXPECT_FALSE(status.isObserving());
    EXPECT_EQ(mirroring.accountRequests, 0);
    Q_EMIT mirroring.eventChanged(finished(SyncEvent::Type::importing, t0));
    QCoreApplication::processEvents();
    EXPECT_EQ(status.health(), SyncStatus::Health::unavailable());
    EXPECT_FALSE(status.lastImport());
    EXPECT_EQ(SyncStatus::label(status.health()), QStringLiteral("No disponible"));

    SyncStatus none(nullptr);
    none.start();
    EXPECT_EQ(none.health(), SyncStatus::Health::unavailable());
}

TEST(SyncStatusTest, ConfiguringATargetLeavesUnavailable)
{
    FakeMirroring mirroring;
    mirroring.configured = false;
    SyncStatus status(&mirroring);
    status.start();
    mirroring.configured = true;
    Q_EMIT mirroring.configurationChanged();
    EXPECT_EQ(status.health(), SyncStatus::Health::starting());
    EXPECT_TRUE(status.isObserving());
    EXPECT_EQ(mirroring.accountRequests, 1);

    Q_EMIT mirroring.eventChanged(finished(SyncEvent::Type::exporting, t0));
    ASSERT_TRUE(waitUntil([&] { return status.lastExport().has_value(); }));
    EXPECT_EQ(status.health(), SyncStatus::Health::working());

    mirroring.configured = false;
    status.reconfigure();
    EXPECT_EQ(status.health(), SyncStatus::Health::unavailable());
    EXPECT_FALSE(status.isObserving());
}

TEST(SyncStatusTest, RecordEventWordsEveryFailure)
{
    struct Case
    {
        SyncEvent::Type type;
        int code;
        QString message;
    };
    const QList<Case> cases{
        {SyncEvent::Type::setup, 3, SyncStatus::setupFailedMessage},
        {SyncEvent::Type::setup, 25, SyncStatus::setupFailedMessage},
        {SyncEvent::Type::setup, 9, SyncStatus::setupFailedMessage},
        {SyncEvent::Type::importing, 3, QStringLiteral("Sin conexión. Se reintentará solo.")},
        {SyncEvent::Type::exporting, 4, QStringLiteral("Sin conexión. Se reintentará solo.")},
        {SyncEvent::Type::importing, 25, QStringLiteral("No queda espacio en tu iCloud.")},
        {SyncEvent::Type::exporting, 25, QStringLiteral("No queda espacio en tu iCloud.")},
        {SyncEvent::Type::importing, 9,
         QStringLiteral("Este Mac no ha iniciado sesión en iCloud.")},
        {SyncEvent::Type::exporting, 2, QStringLiteral("iCloud devolvió un error al sincronizar.")},
    };
    for (const Case &c : cases) {
        FakeMirroring mirroring;
        SyncStatus status(&mirroring);
        status.recordEvent(SyncEvent::Type::importing, t0, std::nullopt, std::nullopt);
        status.recordEvent(c.type, t0.addSecs(5), c.code, QStringLiteral("detalle"));
        EXPECT_EQ(status.health(), SyncStatus::Health::broken(c.message))
            << int(c.type) << " " << c.code;
        EXPECT_EQ(status.detail(), QStringLiteral("detalle"));
        EXPECT_EQ(status.lastImport(), t0) << "failures keep the dates";
        EXPECT_EQ(SyncStatus::label(status.health()), QStringLiteral("Detenida"));
    }
}

TEST(SyncStatusTest, ATargetGoneEmptiedOrAwayTellsItsCauseAndOffersNoReset)
{
    struct Case
    {
        SyncEvent::Type type;
        int code;
        QString message;
        SyncStatus::Remedy remedy;
    };
    using Remedy = SyncStatus::Remedy;
    const QList<Case> cases{
        // After a restart the same causes come from the set-up: the same words.
        {SyncEvent::Type::importing, SyncError::userDeletedZone,
         QStringLiteral("La carpeta Orlette ya no está en el destino. Las notas de este "
                        "ordenador siguen aquí, sin tocar."),
         Remedy::sendAgain},
        {SyncEvent::Type::setup, SyncError::userDeletedZone, SyncStatus::remoteFolderGoneMessage,
         Remedy::sendAgain},
        {SyncEvent::Type::importing, SyncError::remoteCopyEmptied,
         QStringLiteral("Las notas han desaparecido del destino. Las de este ordenador siguen "
                        "aquí, sin tocar."),
         Remedy::sendAgain},
        {SyncEvent::Type::importing, SyncError::targetMissing,
         QStringLiteral("No se encuentra la carpeta de sincronización; quizá el disco no está "
                        "conectado. Se reintentará sola."),
         Remedy::none},
        {SyncEvent::Type::setup, SyncError::targetUnmounted,
         QStringLiteral("La carpeta de sincronización está vacía y parece un disco sin montar. "
                        "No se crea nada en ella hasta que el disco esté."),
         Remedy::none},
        {SyncEvent::Type::importing, SyncError::networkUnavailable, SyncStatus::offlineMessage,
         Remedy::none},
        {SyncEvent::Type::exporting, SyncError::partialFailure, SyncStatus::genericFailureMessage,
         Remedy::reset},
        {SyncEvent::Type::setup, SyncError::badContainer, SyncStatus::setupFailedMessage,
         Remedy::reset},
    };
    for (const Case &c : cases) {
        FakeMirroring mirroring;
        SyncStatus status(&mirroring);
        status.recordEvent(c.type, t0, c.code, QStringLiteral("detalle"));
        EXPECT_EQ(status.health(), SyncStatus::Health::broken(c.message)) << c.code;
        EXPECT_EQ(status.remedy(), c.remedy) << c.code;
        status.recordEvent(SyncEvent::Type::importing, t0.addSecs(1), std::nullopt, std::nullopt);
        EXPECT_EQ(status.remedy(), Remedy::none) << "a success needs no remedy";
    }

    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    status.sendAgain();
    EXPECT_EQ(mirroring.sendAgainRequests, 1);
    QSignalSpy counted(&status, &SyncStatus::remoteNoteCountChanged);
    EXPECT_FALSE(status.remoteNoteCount());
    Q_EMIT mirroring.remoteNotesCounted(4);
    EXPECT_EQ(status.remoteNoteCount(), 4);
    Q_EMIT mirroring.remoteNotesCounted(-1);
    EXPECT_FALSE(status.remoteNoteCount()) << "out of reach: not known";
    EXPECT_EQ(counted.count(), 2);
}

TEST(SyncStatusTest, SuccessClearsTheFailureAndSetsOnlyItsOwnDate)
{
    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    QSignalSpy importSpy(&status, &SyncStatus::lastImportChanged);
    QSignalSpy healthSpy(&status, &SyncStatus::healthChanged);

    status.recordEvent(SyncEvent::Type::importing, t0, 4, QStringLiteral("sin red"));
    EXPECT_EQ(status.health().message(), QStringLiteral("Sin conexión. Se reintentará solo."));
    status.recordEvent(SyncEvent::Type::exporting, t0.addSecs(10), std::nullopt, std::nullopt);
    EXPECT_EQ(status.health(), SyncStatus::Health::working());
    EXPECT_EQ(SyncStatus::label(status.health()), QStringLiteral("Al día"));
    EXPECT_FALSE(status.detail());
    EXPECT_EQ(status.lastExport(), t0.addSecs(10));
    EXPECT_FALSE(status.lastImport());
    EXPECT_EQ(importSpy.count(), 0);

    status.recordEvent(SyncEvent::Type::setup, t0.addSecs(20), std::nullopt, std::nullopt);
    EXPECT_EQ(status.lastExport(), t0.addSecs(10));
    EXPECT_FALSE(status.lastImport());

    // Equal values notify nobody.
    const int healthChanges = healthSpy.count();
    status.recordEvent(SyncEvent::Type::importing, t0.addSecs(30), std::nullopt, std::nullopt);
    status.recordEvent(SyncEvent::Type::importing, t0.addSecs(30), std::nullopt, std::nullopt);
    EXPECT_EQ(importSpy.count(), 1);
    EXPECT_EQ(healthSpy.count(), healthChanges);
}

TEST(SyncStatusTest, UnfinishedEventsChangeNothing)
{
    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    status.recordEvent(SyncEvent::Type::importing, std::nullopt, 4, QStringLiteral("x"));
    EXPECT_EQ(status.health(), SyncStatus::Health::starting());
    EXPECT_FALSE(status.detail());

    status.start();
    SyncEvent running;
    running.type = SyncEvent::Type::exporting;
    running.error = SyncError::make(25, QStringLiteral("lleno"));
    Q_EMIT mirroring.eventChanged(running);
    QCoreApplication::processEvents();
    EXPECT_EQ(status.health(), SyncStatus::Health::starting());
}

TEST(SyncStatusTest, EventsArriveThroughTheMirroringAndFailuresAreLogged)
{
    LogCapture log;
    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    status.start();
    EXPECT_EQ(mirroring.accountRequests, 1);

    const SyncError quota = SyncError::fromErrno(ENOSPC, QStringLiteral("No se pudo escribir X."));
    Q_EMIT mirroring.eventChanged(finished(SyncEvent::Type::exporting, t0, quota));
    ASSERT_TRUE(
        waitUntil([&] { return status.health().kind() == SyncStatus::Health::Kind::broken; }));
    EXPECT_EQ(status.health().message(), QStringLiteral("No queda espacio en tu iCloud."));
    ASSERT_TRUE(status.detail());
    EXPECT_TRUE(
        status.detail()->startsWith(QStringLiteral("OrletteSync 25: No se pudo escribir X.")));
    ASSERT_EQ(LogCapture::lines().size(), 1);
    EXPECT_EQ(LogCapture::lines().first(),
              QStringLiteral("iCloud falló al sincronizar:\n") + *status.detail());
    EXPECT_EQ(mirroring.zoneRequests, 1);

    Q_EMIT mirroring.zoneNamesReady({QStringLiteral("Orlette"), QStringLiteral("Orlette/notes")},
                                    std::nullopt);
    Q_EMIT mirroring.zoneNamesReady({}, std::nullopt);
    Q_EMIT mirroring.zoneNamesReady({}, SyncError::make(3, QStringLiteral("Sin red")));
    EXPECT_EQ(LogCapture::lines().mid(1),
              (QStringList{QStringLiteral("zonas: Orlette, Orlette/notes"),
                           QStringLiteral("zonas: ninguna"),
                           QStringLiteral("zonas: OrletteSync 3: Sin red")}));
}

TEST(SyncStatusTest, AccountAnswersBecomeTexts)
{
    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    const QList<QPair<SyncMirroring::AccountStatus, std::optional<QString>>> cases{
        {SyncMirroring::AccountStatus::available, QStringLiteral("Conectado")},
        {SyncMirroring::AccountStatus::restricted,
         QStringLiteral("iCloud restringido en este Mac")},
        {SyncMirroring::AccountStatus::noAccount, QStringLiteral("Sin sesión de iCloud")},
        {SyncMirroring::AccountStatus::temporarilyUnavailable, std::nullopt},
        {SyncMirroring::AccountStatus::couldNotDetermine, std::nullopt},
    };
    for (const auto &[answer, text] : cases) {
        Q_EMIT mirroring.accountStatusReady(SyncMirroring::AccountStatus::available, std::nullopt);
        QCoreApplication::processEvents();
        // An error that comes with the answer is ignored; the status it carries counts.
        Q_EMIT mirroring.accountStatusReady(answer, SyncError::make(4, QStringLiteral("x")));
        QCoreApplication::processEvents();
        EXPECT_EQ(status.account(), text);
        EXPECT_EQ(status.health(), SyncStatus::Health::starting());
    }
}

TEST(SyncStatusTest, DescribeErrorWalksNestedErrorsAndDictionaries)
{
    SyncError posix;
    posix.domain = QStringLiteral("POSIX");
    posix.code = 28;
    posix.localizedDescription = QStringLiteral("No space left on device");
    posix.with(SyncErrorInfo::plain(QStringLiteral("path"), QStringLiteral("/x/y")));

    SyncError middle = SyncError::wrapping(25, QStringLiteral("No se pudo escribir."), posix);
    SyncError conflict = SyncError::make(14, QStringLiteral("Cambió."));
    SyncError top = SyncError::wrapping(2, QStringLiteral("Algunas notas no."), middle);
    top.with(SyncErrorInfo::items(
        QStringLiteral("partialErrors"),
        {SyncErrorItem{QStringLiteral("A1"), std::make_shared<const SyncError>(conflict), {}},
         SyncErrorItem{QStringLiteral("B2"), nullptr, QStringLiteral("ignorado")},
         SyncErrorItem{QStringLiteral("C3"), nullptr, 7}}));
    top.with(SyncErrorInfo::plain(QStringLiteral("retry"), true));
    top.with(SyncErrorInfo::plain(QStringLiteral("literal"), QStringLiteral("100%1")));

    EXPECT_EQ(SyncStatus::describeError(top),
              QStringLiteral("OrletteSync 2: Algunas notas no.\n"
                             "  underlyingError → OrletteSync 25: No se pudo escribir.\n"
                             "    underlyingError → POSIX 28: No space left on device\n"
                             "      path = /x/y\n"
                             "  partialErrors[A1] → OrletteSync 14 Cambió.\n"
                             "  partialErrors[B2] → ? 0 ignorado\n"
                             "  partialErrors[C3] → ? 0 7\n"
                             "  retry = true\n"
                             "  literal = 100%1"));
}

TEST(SyncStatusTest, SyncNowRunsOnceForItsDurationAndSavesPendingChanges)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    context->insert(std::make_unique<Note>());
    ASSERT_TRUE(context->hasChanges());

    FakeMirroring mirroring;
    SyncStatus status(&mirroring);
    status.setSyncNowDuration(std::chrono::milliseconds(60));
    int checks = 0;
    status.syncNow(context, [&] { ++checks; });
    EXPECT_TRUE(status.isSyncing());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(mirroring.accountRequests, 1);
    EXPECT_EQ(checks, 1);
    // A pass runs even with nothing unsaved.
    EXPECT_EQ(mirroring.passRequests, 1);

    status.syncNow(context, [&] { ++checks; });
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(mirroring.accountRequests, 1);
    EXPECT_EQ(mirroring.passRequests, 1);

    ASSERT_TRUE(waitUntil([&] { return !status.isSyncing(); }));
    EXPECT_EQ(checks, 2);

    // Without a context or watcher it still runs.
    status.syncNow(nullptr);
    EXPECT_TRUE(status.isSyncing());
    ASSERT_TRUE(waitUntil([&] { return !status.isSyncing(); }));
}

TEST(SyncStatusTest, SyncNowChecksTheWatcherEvenIfTheStatusIsGone)
{
    FakeMirroring mirroring;
    int checks = 0;
    {
        SyncStatus status(&mirroring);
        status.setSyncNowDuration(std::chrono::milliseconds(20));
        status.syncNow(nullptr, [&] { ++checks; });
    }
    ASSERT_TRUE(waitUntil([&] { return checks == 2; }));
}
