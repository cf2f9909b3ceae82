// User administration's rules, without the window: what its name and password boxes and its
// Guardar and Eliminar buttons refuse, ask or go on to store.
#pragma once

#include "common/entry_answer.h"
#include "users/users.h"

namespace tarvino
{

// A user as Guardar stores it; an empty password keeps the stored one.
struct UserChange {
    QString name;
    QString password;
    double setting = 0;
    UserRights rights;
};

// What the Usuarios table holds, at the moment, of the user a button is pressed for.
struct UserStanding {
    bool stored = false;             // a row of that name is there
    bool administrator = false;      // and holds Nivel 1
    bool otherAdministrator = false; // another user holds Nivel 1
    bool otherUser = false;          // another user is there at all
};

// What Guardar's first rules answer: a refusal (of the kind outcome), or going on with change.
struct UserSave {
    EntryAnswer answer;
    UserSaveResult::Outcome outcome = UserSaveResult::Outcome::MissingData;
    UserChange change;
};

namespace UserEntry
{

// Enter in the name box: an empty name is refused.
EntryAnswer name(const QString& typed);

// The password box at Guardar: a key refused while it was typed means it holds other than what
// was typed, which the hidden box does not show.
EntryAnswer password(const QString& typed, bool keyRefused);

// Guardar, before anything is read: the required boxes, the characters a login can type, the
// receipt setting and the administrator's right of "admin". A new user (existing false) needs a
// password.
UserSave save(const QString& name, const QString& password, const QString& setting, bool existing,
              const UserRights& rights);

// Guardar, with the user as stored: a new name must be free, a changed user still there, and the
// last administrator keeps the right.
UserSaveResult store(const UserChange& change, bool existing, const UserStanding& standing);

// Eliminar of name while loggedIn has the session: never the administrator, never the user at the
// till, never the last user or the last with Nivel 1; else the question before deleting.
UserDeletion remove(const QString& name, const QString& loggedIn, const UserStanding& standing);

} // namespace UserEntry

} // namespace tarvino
