// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QuickNoteKey.h"

#include <QFileInfo>

namespace QuickNoteKey {

GnomeCustomKeybinding::Binding gnomeBinding(const QString &programPath,
                                            const QString &programOnPath)
{
    const QString canonical = QFileInfo(programPath).canonicalFilePath();
    QString program = QStringLiteral("orlette");
    if (programOnPath.isEmpty() || QFileInfo(programOnPath).canonicalFilePath() != canonical) {
        // GNOME splits the command like a shell: a path with spaces needs its quotes.
        QString quoted = programPath;
        quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        program = QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    return {QStringLiteral("Orlette: nota nueva"), program + QLatin1String(" --new-note"),
            QStringLiteral("<Super><Alt>n")};
}

SettingsView::HotKeyStatus status(const Registration &registration,
                                  const GnomeCustomKeybinding *gnome,
                                  const GnomeCustomKeybinding::Binding &binding)
{
    SettingsView::HotKeyStatus status;
    if (registration.outcome == Registration::Outcome::registered) {
        status.text = QStringLiteral("Súper+Alt+N crea una nota nueva desde cualquier aplicación.");
        return status;
    }
    if (gnome) {
        const auto accept = [gnome, binding] { return gnome->add(binding); };
        switch (gnome->state(binding)) {
        case GnomeCustomKeybinding::State::present:
            status.text = QStringLiteral("Súper+Alt+N crea una nota nueva: es un atajo de GNOME "
                                         "que ejecuta «orlette --new-note».");
            return status;
        case GnomeCustomKeybinding::State::changed:
            status.text = QStringLiteral("El atajo de GNOME que ejecuta «orlette --new-note» se "
                                         "cambió en los ajustes de GNOME.");
            status.offerLabel = QStringLiteral("Volver a Súper+Alt+N");
            status.accept = accept;
            return status;
        case GnomeCustomKeybinding::State::absent:
            status.text = QStringLiteral(
                "En GNOME sobre Wayland ninguna aplicación puede reservar teclas. Si quieres, "
                "Orlette añade a los atajos de GNOME uno que ejecuta «orlette --new-note» con "
                "Súper+Alt+N.");
            status.offerLabel = QStringLiteral("Añadir el atajo a GNOME");
            status.accept = accept;
            return status;
        case GnomeCustomKeybinding::State::unavailable:
            break;
        }
    }
    status.isWarning = true;
    if (registration.outcome == Registration::Outcome::refused) {
        status.text =
            registration.error.isEmpty()
                ? QStringLiteral("No se pudo reservar Súper+Alt+N: puede que otra "
                                 "aplicación ya lo use.")
                : QStringLiteral("No se pudo reservar Súper+Alt+N: %1.").arg(registration.error);
    } else {
        status.text = QStringLiteral(
            "Este escritorio no deja que Orlette reserve Súper+Alt+N. Asigna en sus ajustes un "
            "atajo de teclado que ejecute «orlette --new-note».");
    }
    return status;
}

} // namespace QuickNoteKey
