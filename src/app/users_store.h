// Checking a login against Usuarios.
#pragma once

#include <QString>

namespace tarvino {

class Database;

enum class LoginOutcome { NoUsers, UnknownName, WrongPassword, Success };

struct LoginResult {
    LoginOutcome outcome;
    QString userName; // as stored, on success
};

// Walks the users in name order; the first whose name equals name exactly decides.
LoginResult checkLogin(Database& db, const QString& name, const QString& password);

} // namespace tarvino
