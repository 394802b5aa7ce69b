// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "model/ScreenEdge.h"

#include <QList>
#include <QString>

#include <chrono>

class KeyValueStore;
class ModelContext;
class QObject;

// The three notes that greet a new person, created at most once per account, and the
// clean-up of the copies two computers may both have created.
namespace WelcomeNotes {

struct Entry
{
    QString title;
    NoteColor color;
    QString body;
};

// In order: "Bienvenida", "Atajos", "iCloud".
const QList<Entry> &entries();

// How long after launch the seeding decides and the clean-up runs: time for the sync to
// bring in notes that another computer already created.
inline constexpr std::chrono::milliseconds launchDelay{20000};
// The environment variable that lets a test run of the application shorten that wait.
inline constexpr const char *launchDelayVariable = "ORLETTE_WELCOME_DELAY_MS";
// `launchDelay`, or the whole non-negative number of milliseconds in the environment
// variable above when it holds one.
std::chrono::milliseconds launchDelayFromEnvironment();

// The check at launch. Decides at once when this computer or the account already has the
// notes; otherwise waits `delay` and then seeds on the default edge unless the owner is
// gone, the account got the notes meanwhile or the store is no longer empty. The task
// holds `owner`, `context` and `keyValues` weakly.
void seedIfNeeded(QObject *owner, ModelContext *context, KeyValueStore *keyValues,
                  std::chrono::milliseconds delay = launchDelay);

// Creates the three notes on `edge` when the store holds no note at all; saves. True
// when it created them.
bool seed(ModelContext &context, ScreenEdge edge);

// How much later than its creation an untouched welcome note may be dated.
inline constexpr std::chrono::milliseconds untouchedMargin{2000};

// Deletes untouched welcome notes that exist more than once, keeping the oldest of each
// (ties by id); saves when it deleted any. Returns the number deleted. A note held open
// in an editor, or changed since it was made (dated later than `untouchedMargin` after its
// creation), is never a copy.
int removeRepeatedCopies(ModelContext &context);

// How long the clean-up waits after changes from elsewhere, so that a batch of them is
// looked at once.
inline constexpr std::chrono::milliseconds remoteChangeSettle{2000};

// Runs `removeRepeatedCopies` on `context` after `delay`, unless the owner is gone; from
// then on also `settle` after changes come in from elsewhere, because copies made by
// another computer at about the same time arrive with the mirroring, later.
void scheduleRemovalOfRepeatedCopies(QObject *owner, ModelContext *context,
                                     std::chrono::milliseconds delay = launchDelay,
                                     std::chrono::milliseconds settle = remoteChangeSettle);

} // namespace WelcomeNotes
