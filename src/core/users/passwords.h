// How passwords are kept in Usuarios: a salted, deliberately slow hash (Argon2id), never the
// password itself. A stored value that is not such a hash is a password kept in clear by an
// earlier version of the program.
#pragma once

#include <QString>

namespace tarvino {

// The stored form of password: libsodium's self-describing text "$argon2id$v=19$m=…,t=…,p=1$
// salt$hash", with a fresh random salt each time. Throws DbError when the hash cannot be made
// (no memory for it).
QString hashPassword(const QString& password);

// Whether stored is a hash made by hashPassword (of any cost), rather than a clear password.
bool isPasswordHash(const QString& stored);

// Whether typed is the password stored stands for: checked against the hash, or compared
// exactly when stored is a clear password.
bool passwordMatches(const QString& stored, const QString& typed);

// Whether stored should be replaced by a fresh hash once the password is known: it is in clear,
// or hashed at a cost other than the present one.
bool needsNewHash(const QString& stored);

} // namespace tarvino
