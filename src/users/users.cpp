// The one home of the Usuarios table: the login check, the receipt setting of a user, and the user
// window's look-up, saving and deleting of accounts.
#include "users/users.h"

#include "common/numbers.h"
#include "data/database.h"
#include "data/window_data.h"

namespace tarvino {

namespace {

const QString kNombre = QStringLiteral("NombreUsuario");
const QString kContrasena = QStringLiteral("Contraseña");
const QString kPermisoCruce = QStringLiteral("PermisoCruce");

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

UserDeletion deletionRule(WindowData& data, const QString& name, const QString& loggedIn)
{
    using Outcome = UserDeletion::Outcome;
    RecordSet& rs = data.rs;
    data.OpenUsuariosWithName(name);
    if (rs.eof())
        return {Outcome::Vanished, vanished(name)};
    if (name == kAdminName)
        return {Outcome::Administrator, userMessages::kAdministrador};
    if (!loggedIn.isEmpty() && name == loggedIn)
        return {Outcome::LoggedIn, userMessages::kSesionAbierta};
    data.OpenUsuarios();
    for (; !rs.eof(); rs.moveNext()) {
        if (rs.text(kNombre) != name)
            return {Outcome::Allowed, QString()};
    }
    return {Outcome::LastUser, userMessages::kUltimoUsuario};
}

} // namespace

LoginResult checkLogin(Database& db, const QString& name, const QString& password)
{
    WindowData data(db);
    data.OpenUsuarios();
    RecordSet& rs = data.rs;
    if (rs.eof())
        return {LoginOutcome::NoUsers, {}};
    for (; !rs.eof(); rs.moveNext()) {
        const QString stored = rs.text(kNombre);
        if (stored != name)
            continue;
        if (rs.text(kContrasena) == password)
            return {LoginOutcome::Success, stored};
        return {LoginOutcome::WrongPassword, {}};
    }
    return {LoginOutcome::UnknownName, {}};
}

double receiptSetting(Database& db, const QString& user)
{
    WindowData data(db);
    data.OpenUsuariosUnordered();
    for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext()) {
        if (rs.text(kNombre) == user)
            return rs.number(kPermisoCruce);
    }
    return 0;
}

const QStringList& receiptChoices()
{
    static const QStringList choices = {QStringLiteral("No Imprimir"), QStringLiteral("Imprimir 58mm"),
                                        QStringLiteral("Imprimir 80mm")};
    return choices;
}

QString receiptSettingOfChoice(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("0");
    case 1:
        return QStringLiteral("58");
    case 2:
        return QStringLiteral("80");
    default:
        return {};
    }
}

int receiptChoiceOfSetting(double setting)
{
    if (setting == 0)
        return 0;
    if (setting == 58)
        return 1;
    if (setting == 80)
        return 2;
    return -1;
}

UserFound lookUpUser(Database& db, const QString& name)
{
    WindowData data(db);
    data.OpenUsuariosWithName(name);
    const RecordSet& rs = data.rs;
    UserFound found;
    if (rs.eof())
        return found;
    found.exists = true;
    found.password = rs.text(kContrasena);
    const double setting = rs.number(kPermisoCruce);
    found.setting = plainNumber(setting);
    found.choice = receiptChoiceOfSetting(setting);
    return found;
}

UserSaveResult saveUser(Database& db, const QString& name, const QString& password,
                        const QString& setting, bool existing)
{
    using Outcome = UserSaveResult::Outcome;
    if (name.isEmpty() || password.isEmpty())
        return {Outcome::MissingData, userMessages::kFaltanDatos};
    if (!typeable(name) || !typeable(password))
        return {Outcome::BadCharacters, userMessages::kCaracteres};
    const auto value = readNumber(setting);
    if (!value)
        return {Outcome::BadSetting,
                QStringLiteral("La opción de impresión «%1» no es válida.").arg(setting)};

    Transaction tx(db);
    WindowData data(db);
    RecordSet& rs = data.rs;
    data.OpenUsuariosWithName(name);
    if (existing) {
        if (rs.eof())
            return {Outcome::Vanished, vanished(name)};
        rs.setValue(kContrasena, password);
        rs.setValue(kPermisoCruce, *value);
        rs.update();
    } else {
        // Names are unique: the login would only ever find the first of two.
        if (!rs.eof())
            return {Outcome::AlreadyExists, QStringLiteral("El usuario «%1» ya existe.").arg(name)};
        data.OpenUsuariosForAdding();
        rs.addNew();
        rs.setValue(kNombre, name);
        rs.setValue(kContrasena, password);
        rs.setValue(kPermisoCruce, *value);
        rs.update();
    }
    data.CloseDatabase();
    tx.commit();
    return {existing ? Outcome::Changed : Outcome::Added, QString()};
}

UserDeletion checkUserDeletion(Database& db, const QString& name, const QString& loggedIn)
{
    WindowData data(db);
    return deletionRule(data, name, loggedIn);
}

UserDeletion deleteUser(Database& db, const QString& name, const QString& loggedIn)
{
    Transaction tx(db);
    WindowData data(db);
    const UserDeletion rule = deletionRule(data, name, loggedIn);
    if (!rule.allowed())
        return rule;
    data.OpenUsuariosWithName(name);
    for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext())
        rs.deleteCurrent();
    data.CloseDatabase();
    tx.commit();
    return rule;
}

} // namespace tarvino
