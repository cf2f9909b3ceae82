// User administration's rules, without the window: what its name and password boxes and its
// Guardar and Eliminar buttons refuse, ask or go on to store.
#include "users/user_entry.h"

#include "common/numbers.h"

namespace tarvino
{

namespace
{

// What the key filter of the boxes lets through: a user named otherwise could never log in.
bool typeable(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')))
            return false;
    }
    return true;
}

QString vanished(const QString& name)
{
    return QStringLiteral("El usuario «%1» ya no existe.").arg(name);
}

} // namespace

namespace UserEntry
{

EntryAnswer name(const QString& typed)
{
    if (typed.isEmpty())
        return EntryAnswer::refuse(userMessages::kNombreVacio);
    return {};
}

EntryAnswer password(const QString& typed, bool keyRefused)
{
    if (keyRefused && !typed.isEmpty())
        return EntryAnswer::refuse(userMessages::kContrasenaIncompleta);
    return {};
}

UserSave save(const QString& name, const QString& password, const QString& setting, bool existing,
              const UserRights& rights)
{
    using Outcome = UserSaveResult::Outcome;
    UserSave result;
    const auto refused = [&result](Outcome outcome, const QString& text) {
        result.answer = EntryAnswer::refuse(text);
        result.outcome = outcome;
        return result;
    };
    // A stored user keeps the password when none is typed; a new one needs one.
    if (name.isEmpty() || (password.isEmpty() && !existing))
        return refused(Outcome::MissingData, userMessages::kFaltanDatos);
    if (!typeable(name) || !typeable(password))
        return refused(Outcome::BadCharacters, userMessages::kCaracteres);
    const auto value = readNumber(setting);
    if (!value)
        return refused(Outcome::BadSetting,
                       QStringLiteral("La opción de impresión «%1» no es válida.").arg(setting));
    if (name == kAdminName && !rights.administrator)
        return refused(Outcome::AdministratorKeepsLevel, userMessages::kAdministradorConservaNivel);
    result.outcome = existing ? Outcome::Changed : Outcome::Added;
    result.change = {name, password, *value, rights};
    return result;
}

UserSaveResult store(const UserChange& change, bool existing, const UserStanding& standing)
{
    using Outcome = UserSaveResult::Outcome;
    if (!existing) {
        // Names are unique: the login would only ever find the first of two.
        if (standing.stored)
            return {Outcome::AlreadyExists,
                    QStringLiteral("El usuario «%1» ya existe.").arg(change.name)};
        return {Outcome::Added, QString()};
    }
    if (!standing.stored)
        return {Outcome::Vanished, vanished(change.name)};
    if (standing.administrator && !change.rights.administrator && !standing.otherAdministrator)
        return {Outcome::LastAdministrator, userMessages::kUltimoAdministrador};
    return {Outcome::Changed, QString()};
}

UserDeletion remove(const QString& name, const QString& loggedIn, const UserStanding& standing)
{
    using Outcome = UserDeletion::Outcome;
    if (!standing.stored)
        return {Outcome::Vanished, EntryAnswer::refuse(vanished(name))};
    if (name == kAdminName)
        return {Outcome::Administrator, EntryAnswer::refuse(userMessages::kAdministrador)};
    if (!loggedIn.isEmpty() && name == loggedIn)
        return {Outcome::LoggedIn, EntryAnswer::refuse(userMessages::kSesionAbierta)};
    if (standing.administrator && !standing.otherAdministrator)
        return {Outcome::LastAdministrator,
                EntryAnswer::refuse(userMessages::kEliminarUltimoAdministrador)};
    if (!standing.otherUser)
        return {Outcome::LastUser, EntryAnswer::refuse(userMessages::kUltimoUsuario)};
    return {Outcome::Allowed, EntryAnswer::ask(userMessages::kConfirmarEliminacion,
                                               userMessages::kTituloConfirmarEliminacion)};
}

} // namespace UserEntry

} // namespace tarvino
