// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SyncSettingsSection.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "sync/SyncError.h"
#include "sync/SyncMirroring.h"
#include "sync/SyncStatus.h"

#include "TestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// A mirroring with a target, which counts what it is asked to do.
class CountingMirroring : public SyncMirroring
{
public:
    bool isConfigured() const override { return true; }
    void requestAccountStatus() override {}
    void requestZoneNames() override {}
    void requestPass() override {}
    void requestSendAgain() override { ++sendAgainRequests; }
    int sendAgainRequests = 0;
};

class SyncSettingsSectionTest : public ::testing::Test
{
protected:
    std::unique_ptr<SyncSettingsSection> makeSection(ModelContainer *container = nullptr)
    {
        SyncSettingsSection::Dependencies dependencies;
        dependencies.sync = &status;
        dependencies.container = container;
        dependencies.requestReset = [this] { ++resets; };
        auto section = std::make_unique<SyncSettingsSection>(defaults.defaults(), dependencies);
        section->show();
        return section;
    }
    QPushButton *button(const SyncSettingsSection &section, const QString &text) const
    {
        for (QPushButton *candidate : section.findChildren<QPushButton *>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }
    bool shows(const SyncSettingsSection &section, const QString &text) const
    {
        QPushButton *found = button(section, text);
        return found && found->isVisibleTo(&section);
    }
    QString brokenMessage(const SyncSettingsSection &section) const
    {
        const auto *label = section.findChild<QLabel *>(QStringLiteral("syncBrokenMessage"));
        return label && label->isVisibleTo(&section) ? label->text() : QString();
    }
    static void press(QMessageBox *dialog, const QString &text)
    {
        for (QAbstractButton *candidate : dialog->buttons()) {
            if (candidate->text() == text)
                candidate->click();
        }
    }

    ScopedDefaults defaults;
    CountingMirroring mirroring;
    SyncStatus status{&mirroring};
    int resets = 0;
    const QString resetButton = QStringLiteral("Reiniciar la sincronización…");
    const QDateTime now = QDateTime::currentDateTime();
};

} // namespace

TEST_F(SyncSettingsSectionTest, AnEmptiedOrLostTargetOffersToSendTheNotesAgainNeverTheReset)
{
    const auto section = makeSection();
    const QString sendAgain = SyncSettingsSection::sendAgainButton;
    EXPECT_EQ(sendAgain, "Volver a subir las notas de este ordenador…");

    status.recordEvent(SyncEvent::Type::importing, now, SyncError::remoteCopyEmptied,
                       QStringLiteral("OrletteSync 102: vacía"));
    EXPECT_EQ(brokenMessage(*section), SyncStatus::remoteCopyEmptiedMessage);
    EXPECT_FALSE(shows(*section, resetButton)) << "the reset would empty this computer too";
    ASSERT_TRUE(shows(*section, sendAgain));
    EXPECT_TRUE(shows(*section, "Copiar detalles"));

    // Asked first; cancelling sends nothing.
    button(*section, sendAgain)->click();
    ASSERT_TRUE(section->isConfirmingSendAgain());
    QMessageBox *dialog = section->sendAgainDialog();
    EXPECT_EQ(dialog->text(), "¿Volver a subir las notas de este ordenador?");
    EXPECT_EQ(dialog->informativeText(),
              "Se copian otra vez en el destino todas las notas de este ordenador, como la "
              "primera vez. No se borra ninguna nota, ni aquí ni en el destino; si otro "
              "ordenador ya ha vuelto a subir las suyas, se juntan.");
    press(dialog, "Cancelar");
    ASSERT_TRUE(waitUntil([&] { return !section->isConfirmingSendAgain(); }));
    EXPECT_EQ(mirroring.sendAgainRequests, 0);

    button(*section, sendAgain)->click();
    press(section->sendAgainDialog(), "Volver a subir");
    EXPECT_EQ(mirroring.sendAgainRequests, 1);
    EXPECT_EQ(resets, 0);

    // The same after a restart, when the set-up finds the whole folder gone.
    status.recordEvent(SyncEvent::Type::setup, now, SyncError::userDeletedZone, QString());
    EXPECT_EQ(brokenMessage(*section), SyncStatus::remoteFolderGoneMessage);
    EXPECT_TRUE(shows(*section, sendAgain));
    EXPECT_FALSE(shows(*section, resetButton));

    // A folder away, a drive not mounted, a server out of reach: wait, no remedy by hand.
    for (const int code : {int(SyncError::targetMissing), int(SyncError::targetUnmounted),
                           int(SyncError::networkUnavailable)}) {
        status.recordEvent(SyncEvent::Type::importing, now, code, QStringLiteral("detalle"));
        EXPECT_FALSE(brokenMessage(*section).isEmpty());
        EXPECT_FALSE(shows(*section, resetButton)) << code;
        EXPECT_FALSE(shows(*section, sendAgain)) << code;
    }
    EXPECT_EQ(brokenMessage(*section), SyncStatus::offlineMessage);

    // Any other failure keeps the reset, as before.
    status.recordEvent(SyncEvent::Type::exporting, now, SyncError::partialFailure, QString());
    EXPECT_TRUE(shows(*section, resetButton));
    EXPECT_FALSE(shows(*section, sendAgain));
    status.recordEvent(SyncEvent::Type::exporting, now, std::nullopt, std::nullopt);
    EXPECT_FALSE(shows(*section, resetButton));
    EXPECT_FALSE(shows(*section, sendAgain));
}

TEST_F(SyncSettingsSectionTest, TheResetSaysBeforeItRunsWhenItWouldLeaveFewerNotes)
{
    auto container = makeMemoryContainer();
    for (int i = 0; i < 3; ++i)
        container->mainContext()->insert(std::make_unique<Note>());
    // A note twice counts once: the reset is there to cure that.
    const QUuid twice = QUuid::createUuid();
    for (int i = 0; i < 2; ++i) {
        auto note = std::make_unique<Note>();
        note->setId(twice);
        container->mainContext()->insert(std::move(note));
    }
    ASSERT_TRUE(container->mainContext()->save());
    const auto section = makeSection(container.get());
    status.recordEvent(SyncEvent::Type::exporting, now, SyncError::partialFailure, QString());
    ASSERT_TRUE(shows(*section, resetButton));

    const auto confirmation = [&] {
        button(*section, resetButton)->click();
        const QString text = section->repairDialog()->informativeText();
        press(section->repairDialog(), "Cancelar");
        waitUntil([&] { return !section->isConfirmingRepair(); });
        return text;
    };

    Q_EMIT mirroring.remoteNotesCounted(1);
    EXPECT_EQ(confirmation(), SyncSettingsSection::resetMessage +
                                  "\n\nAtención: este ordenador tiene 4 notas y el destino solo "
                                  "1 nota. Tras reiniciar, la app tendría 3 notas menos; solo "
                                  "estarían en la copia con fecha.");

    Q_EMIT mirroring.remoteNotesCounted(4);
    EXPECT_EQ(confirmation(), SyncSettingsSection::resetMessage) << "nothing would be missing";

    Q_EMIT mirroring.remoteNotesCounted(-1);
    EXPECT_EQ(confirmation(), SyncSettingsSection::resetMessage)
        << "out of reach: the reset refills once the target is back";
    EXPECT_EQ(resets, 0);
}
