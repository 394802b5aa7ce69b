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

Registration portalRegistration(const PortalHotKeyService::Binding &binding)
{
    Registration registration;
    registration.route = Registration::Route::desktopPortal;
    registration.trigger = binding.trigger;
    switch (binding.state) {
    case PortalHotKeyService::State::pending:
        registration.outcome = Registration::Outcome::pending;
        break;
    case PortalHotKeyService::State::bound:
        registration.outcome = Registration::Outcome::registered;
        break;
    case PortalHotKeyService::State::failed:
        registration.outcome = Registration::Outcome::refused;
        registration.error = binding.error;
        break;
    }
    return registration;
}

namespace {

QString registeredText(const Registration &registration)
{
    switch (registration.route) {
    case Registration::Route::keyGrab:
        break;
    case Registration::Route::kdeShortcuts:
        return QStringLiteral("Súper+Alt+N crea una nota nueva desde cualquier aplicación. Es "
                              "un atajo global de KDE: puedes cambiarlo en sus ajustes de atajos.");
    case Registration::Route::desktopPortal:
        return QStringLiteral("%1 crea una nota nueva desde cualquier aplicación. Es un atajo "
                              "global del escritorio: puedes cambiarlo en sus ajustes.")
            .arg(registration.trigger.isEmpty() ? QStringLiteral("Súper+Alt+N")
                                                : registration.trigger);
    }
    return QStringLiteral("Súper+Alt+N crea una nota nueva desde cualquier aplicación.");
}

QString refusalText(const Registration &registration)
{
    QString route;
    if (registration.route == Registration::Route::kdeShortcuts)
        route = QStringLiteral(" con el servicio de atajos de KDE");
    else if (registration.route == Registration::Route::desktopPortal)
        route = QStringLiteral(" por el portal del escritorio");
    return registration.error.isEmpty()
               ? QStringLiteral("No se pudo reservar Súper+Alt+N%1: puede que otra aplicación ya "
                                "lo use.")
                     .arg(route)
               : QStringLiteral("No se pudo reservar Súper+Alt+N%1: %2.")
                     .arg(route, registration.error);
}

} // namespace

SettingsView::HotKeyStatus status(const Registration &registration,
                                  const GnomeCustomKeybinding *gnome,
                                  const GnomeCustomKeybinding::Binding &binding)
{
    SettingsView::HotKeyStatus status;
    switch (registration.outcome) {
    case Registration::Outcome::registered:
        status.text = registeredText(registration);
        return status;
    case Registration::Outcome::choosing:
        status.text = QStringLiteral("Orlette está preguntando al escritorio si puede reservar "
                                     "Súper+Alt+N.");
        return status;
    case Registration::Outcome::pending:
        status.text = QStringLiteral("Orlette ha pedido Súper+Alt+N al escritorio y espera su "
                                     "respuesta (puede que el escritorio te pregunte).");
        return status;
    case Registration::Outcome::refused:
    case Registration::Outcome::noService:
        break;
    }
    const bool refused = registration.outcome == Registration::Outcome::refused;
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
        case GnomeCustomKeybinding::State::absent: {
            const QString offer = QStringLiteral(
                "Si quieres, Orlette añade a los atajos de GNOME uno que ejecuta «orlette "
                "--new-note» con Súper+Alt+N.");
            // A refusal is still told, with the way around it.
            status.isWarning = refused;
            status.text = refused ? refusalText(registration) + QLatin1Char(' ') + offer
                                  : QStringLiteral("En GNOME sobre Wayland ninguna aplicación "
                                                   "puede reservar teclas. ") +
                                        offer;
            status.offerLabel = QStringLiteral("Añadir el atajo a GNOME");
            status.accept = accept;
            return status;
        }
        case GnomeCustomKeybinding::State::unavailable:
            break;
        }
    }
    status.isWarning = true;
    if (refused) {
        status.text = refusalText(registration);
    } else {
        status.text = QStringLiteral(
            "Este escritorio no deja que Orlette reserve Súper+Alt+N. Asigna en sus ajustes un "
            "atajo de teclado que ejecute «orlette --new-note».");
    }
    return status;
}

} // namespace QuickNoteKey
