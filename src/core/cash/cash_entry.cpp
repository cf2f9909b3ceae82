// What the drawer's windows ask, refuse or store, without their widgets.
#include "cash/cash_entry.h"

#include "users/users.h"

namespace tarvino {

std::optional<Cents> offeredOpeningCash(Database& db, const QString& dayStamp)
{
    if (auto recorded = openingCashOf(db, dayStamp))
        return recorded;
    return lastCountedCash(db);
}

bool loginAsksOpeningCash(const CashSetting& setting, bool dayGoesOn, Database& db,
                          const QString& dayStamp)
{
    // The database is read only when the answer could be yes: a till without the setting logs in
    // exactly as before, even with a file that has no drawer tables yet.
    return setting.askOpeningCash && !dayGoesOn && !openingCashOf(db, dayStamp);
}

bool needsAuthorisation(CashMovement::Kind kind, const UserRights& rights)
{
    return kind == CashMovement::Kind::Out && !rights.administrator;
}

Authorisation authoriseCashOut(Database& db, const QString& name, const QString& password,
                               LoginAttempts* attempts, const QDateTime& now)
{
    using Box = Authorisation::Box;
    if (name.isEmpty())
        return {{}, QStringLiteral("Un retiro de dinero necesita la autorización de un administrador: "
                                   "escriba su nombre y su contraseña."),
                Box::Name};
    if (password.isEmpty())
        return {{}, QStringLiteral("Escriba la contraseña del administrador."), Box::Password};
    const LoginResult result = checkLogin(db, name, password, attempts, now);
    switch (result.outcome) {
    case LoginOutcome::NoUsers:
    case LoginOutcome::UnknownName:
        return {{}, QStringLiteral("El nombre de usuario ingresado no es correcto"), Box::Name};
    case LoginOutcome::WrongPassword:
        return {{}, QStringLiteral("La contraseña es incorrecta"), Box::Password};
    case LoginOutcome::Waiting:
        return {{},
                QStringLiteral("Se ingresó varias veces seguidas una contraseña incorrecta para este "
                               "usuario. Espere %1 y vuelva a intentarlo.")
                    .arg(result.waitSeconds == 1 ? QStringLiteral("1 segundo")
                                                 : QStringLiteral("%1 segundos").arg(result.waitSeconds)),
                Box::Password};
    case LoginOutcome::Success:
        break;
    }
    if (!result.rights.administrator)
        return {{},
                QStringLiteral("«%1» no tiene el permiso de Administrador: no puede autorizar un "
                               "retiro de dinero.")
                    .arg(result.userName),
                Box::Name};
    return {result.userName, {}, Box::None};
}

bool printsReceipts(Database& db, const QString& user)
{
    return receiptChoiceOfSetting(receiptSetting(db, user)) > 0;
}

} // namespace tarvino
