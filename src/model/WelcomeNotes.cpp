// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/WelcomeNotes.h"

#include "model/AppSettings.h"
#include "model/KeyValueStore.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include "model/StyledText.h"
#include "model/UserDefaults.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <tuple>

namespace WelcomeNotes {

namespace {

// A welcome note gets its text right after it is made, within moments; every later change
// by the person (text, title, colour, edge) moves its date on.
bool wasChangedSinceMade(const Note &note)
{
    return note.updatedAt() > note.createdAt().addMSecs(untouchedMargin.count());
}

} // namespace

const QList<Entry> &entries()
{
    static const QList<Entry> notes{
        {QStringLiteral("Bienvenida"), NoteColor::citrus,
         QStringLiteral("Tus notas viven en el borde de la pantalla.\n"
                        "Acerca el ratón y aparecerán.\n"
                        "Pulsa una para abrirla.")},
        {QStringLiteral("Atajos"), NoteColor::mint,
         QStringLiteral("⌥⌘N crea una nota desde cualquier app.\n"
                        "Arrastra una pestaña para reordenarla.\n"
                        "Botón derecho para pasarla al otro borde.")},
        {QStringLiteral("iCloud"), NoteColor::sky,
         QStringLiteral("Se sincronizan con tu cuenta de iCloud.\n"
                        "Instala Orlette en otro Mac con la misma\n"
                        "cuenta y las tendrás allí.")},
    };
    return notes;
}

std::chrono::milliseconds launchDelayFromEnvironment()
{
    bool ok = false;
    const qlonglong value = qEnvironmentVariable(launchDelayVariable).trimmed().toLongLong(&ok);
    if (!ok || value < 0)
        return launchDelay;
    return std::chrono::milliseconds(value);
}

void seedIfNeeded(QObject *owner, ModelContext *context, KeyValueStore *keyValues,
                  std::chrono::milliseconds delay)
{
    UserDefaults &defaults = UserDefaults::standard();
    if (defaults.boolValue(AppSettings::Keys::hasSeededWelcomeNotes))
        return;
    if (keyValues) {
        keyValues->synchronize();
        if (keyValues->boolValue(KeyValueStore::welcomeNotesCreated)) {
            defaults.setValue(AppSettings::Keys::hasSeededWelcomeNotes, true);
            return;
        }
    }

    const QPointer<QObject> weakOwner(owner);
    const QPointer<ModelContext> weakContext(context);
    const QPointer<KeyValueStore> weakKeyValues(keyValues);
    QTimer::singleShot(delay, [weakOwner, weakContext, weakKeyValues] {
        if (!weakOwner || !weakContext)
            return;
        // From here on this computer never seeds again, whatever happens next.
        UserDefaults::standard().setValue(AppSettings::Keys::hasSeededWelcomeNotes, true);
        if (weakKeyValues) {
            weakKeyValues->synchronize();
            if (weakKeyValues->boolValue(KeyValueStore::welcomeNotesCreated))
                return;
        }
        if (!seed(*weakContext, AppSettings::defaultEdge()))
            return;
        if (weakKeyValues) {
            weakKeyValues->setBool(KeyValueStore::welcomeNotesCreated, true);
            weakKeyValues->synchronize();
        }
    });
}

bool seed(ModelContext &context, ScreenEdge edge)
{
    // A failed count is taken as an empty store: better a welcome twice (the clean-up
    // removes the copies) than never.
    const int count = context.fetchCount(NotePredicate::all()).value_or(0);
    if (count != 0)
        return false;
    const QList<Entry> &notes = entries();
    for (qsizetype i = 0; i < notes.size(); ++i) {
        auto note = Note::make(notes[i].title, StyledText(), notes[i].color, edge,
                               double(i) * NoteActions::sortIndexStep);
        note->setText(StyledText::plain(notes[i].body));
        context.insert(std::move(note));
    }
    std::ignore = context.save();
    return true;
}

int removeRepeatedCopies(ModelContext &context)
{
    QHash<QString, QString> bodies;
    for (const Entry &entry : entries())
        bodies.insert(entry.title, entry.body);

    const QList<Note *> notes = context.fetch(FetchDescriptor{}).value_or(QList<Note *>());
    QHash<QString, QList<Note *>> copies;
    for (Note *note : notes) {
        // Trashed notes are never touched; a note open in an editor may hold typing not
        // yet written, and one changed since it was made (recoloured, moved, edited and
        // put back) is the person's, whatever its text says.
        if (note->deletedAt() || context.isHeldForEditing(note) || wasChangedSinceMade(*note))
            continue;
        const auto body = bodies.constFind(note->title());
        if (body != bodies.constEnd() && note->plainText() == *body)
            copies[note->title()] << note;
    }

    int deleted = 0;
    for (QList<Note *> &group : copies) {
        if (group.size() < 2)
            continue;
        // Every computer orders the copies the same way, so all keep the same note.
        std::sort(group.begin(), group.end(), [](const Note *a, const Note *b) {
            if (a->createdAt() != b->createdAt())
                return a->createdAt() < b->createdAt();
            return a->id().toString(QUuid::WithoutBraces).toUpper() <
                   b->id().toString(QUuid::WithoutBraces).toUpper();
        });
        for (qsizetype i = 1; i < group.size(); ++i) {
            context.remove(group[i]);
            ++deleted;
        }
    }
    if (deleted > 0)
        std::ignore = context.save();
    return deleted;
}

void scheduleRemovalOfRepeatedCopies(QObject *owner, ModelContext *context,
                                     std::chrono::milliseconds delay,
                                     std::chrono::milliseconds settle)
{
    const QPointer<QObject> weakOwner(owner);
    const QPointer<ModelContext> weakContext(context);
    QTimer::singleShot(delay, [weakOwner, weakContext, settle] {
        if (!weakOwner || !weakContext)
            return;
        removeRepeatedCopies(*weakContext);
        // Owned by the owner, so it goes with it; the context going first stops it too.
        auto *again = new QTimer(weakOwner);
        again->setSingleShot(true);
        again->setInterval(settle);
        QObject::connect(weakContext, &ModelContext::remoteChange, again,
                         qOverload<>(&QTimer::start));
        QObject::connect(again, &QTimer::timeout, weakContext,
                         [weakContext] { removeRepeatedCopies(*weakContext); });
    });
}

} // namespace WelcomeNotes
