// What the drawer's windows ask, refuse or store, without their widgets: the opening cash offered
// and when the login asks for it, who takes cash out alone and what an authorisation on the spot
// needs.
#pragma once

#include "cash/cash_book.h"
#include "app/cash_setting.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tarvino {

class Database;
class LoginAttempts;
struct UserRights;

// The amount the opening cash box starts with: the day's own when one was recorded (to be
// corrected), otherwise what the last counted day closed with. Throws DbError.
std::optional<Cents> offeredOpeningCash(Database& db, const QString& dayStamp);

// Whether the login asks for the opening cash: the till's setting says so, the day is a new one
// (a resumed day keeps its own) and nothing was recorded for it yet. Throws DbError.
bool loginAsksOpeningCash(const CashSetting& setting, bool dayGoesOn, Database& db,
                          const QString& dayStamp);

// Whether a movement needs an administrator's name and password typed on the spot: cash taken out
// by a user without the Administrador right. Putting cash in needs nobody's leave.
bool needsAuthorisation(CashMovement::Kind kind, const UserRights& rights);

// An administrator's name and password checked for a cash out.
struct Authorisation {
    enum class Box { None, Name, Password };
    QString by;      // the administrator's name as stored; empty when refused
    QString refusal; // what the cashier is told
    Box box = Box::None; // the box to type again
};

// Checks the name and password as the login does (wrong passwords counted in attempts); only a
// user with the Administrador right authorises. Throws DbError.
Authorisation authoriseCashOut(Database& db, const QString& name, const QString& password,
                               LoginAttempts* attempts, const QDateTime& now);

// Whether the user's receipt setting prints on a roll (58 or 80 mm). Throws DbError.
bool printsReceipts(Database& db, const QString& user);

} // namespace tarvino
