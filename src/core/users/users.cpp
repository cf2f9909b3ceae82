// The one home of the Usuarios table: the login check, the receipt setting of a user, and the user
// window's look-up, saving and deleting of accounts.
#include "users/users.h"

#include "common/numbers.h"
#include "data/database.h"
#include "data/window_data.h"
#include "users/passwords.h"
#include "users/user_entry.h"

namespace tarvino {

// ---- The record-set routines on Usuarios -------------------------------------------------------

void WindowData::OpenUsuarios()
{
    rs.open(m_db, QStringLiteral("select * from Usuarios order by NombreUsuario"));
}

void WindowData::OpenUsuariosUnordered()
{
    rs.open(m_db, QStringLiteral("select * from Usuarios"));
}

void WindowData::OpenUsuariosWithName(const QString& name)
{
    rs.open(m_db,
            QStringLiteral("select * from Usuarios where NombreUsuario = ? order by NombreUsuario"),
            {name});
}

void WindowData::OpenUsuariosForAdding()
{
    rs.open(m_db, QStringLiteral("select * from Usuarios limit 0"));
}

// ---- Rights, login and the user window ---------------------------------------------------------

namespace {

const QString kNombre = QStringLiteral("NombreUsuario");
const QString kContrasena = QStringLiteral("Contraseña");
const QString kPermisoCruce = QStringLiteral("PermisoCruce");
const QString kNivel = QStringLiteral("Nivel");
const QString kPermisoProductos = QStringLiteral("permisoproductos");
const QString kPermisoRecaudacion = QStringLiteral("permisorecaudacion");

// A right is granted only by the number 1 itself; a text that merely reads as 1 does not count.
bool grants(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toDouble() == 1;
    default:
        return false;
    }
}

UserRights rightsOf(const RecordSet& rs)
{
    return rightsOfRow(rs.text(kNombre), rs.value(kNivel), rs.value(kPermisoProductos),
                       rs.value(kPermisoRecaudacion));
}

// What Usuarios holds of name now: its first row in name order, and whether another user, and
// another administrator, is there.
UserStanding standingOf(WindowData& data, const QString& name)
{
    UserStanding standing;
    RecordSet& rs = data.rs;
    data.OpenUsuariosWithName(name);
    if (!rs.eof()) {
        standing.stored = true;
        standing.administrator = rightsOf(rs).administrator;
    }
    data.OpenUsuarios();
    for (; !rs.eof(); rs.moveNext()) {
        if (rs.text(kNombre) == name)
            continue;
        standing.otherUser = true;
        standing.otherAdministrator = standing.otherAdministrator || rightsOf(rs).administrator;
    }
    return standing;
}

} // namespace

UserRights rightsOfRow(const QString& name, const QVariant& nivel, const QVariant& permisoproductos,
                       const QVariant& permisorecaudacion)
{
    return {name == kAdminName || grants(nivel), grants(permisoproductos), grants(permisorecaudacion)};
}

MenuAccess menuAccess(const UserRights& rights)
{
    if (rights.administrator)
        return {};
    // The stock report lists every cost price and the money tied up in stock: it goes with the
    // product right.
    return {rights.products, false, rights.takings, rights.products};
}

int LoginAttempts::secondsToWait(const QString& name, const QDateTime& now) const
{
    const auto found = m_records.constFind(name);
    if (found == m_records.cend() || !found->until.isValid())
        return 0;
    const qint64 ms = now.msecsTo(found->until);
    return ms > 0 ? int((ms + 999) / 1000) : 0;
}

void LoginAttempts::failed(const QString& name, const QDateTime& now)
{
    Record& record = m_records[name];
    ++record.failures;
    if (record.failures >= kFreeTries)
        record.until = now.addSecs(kWaitSeconds);
}

void LoginAttempts::succeeded(const QString& name)
{
    m_records.remove(name);
}

LoginResult checkLogin(Database& db, const QString& name, const QString& password,
                       LoginAttempts* attempts, const QDateTime& now)
{
    if (attempts) {
        if (const int wait = attempts->secondsToWait(name, now))
            return {LoginOutcome::Waiting, {}, {}, wait};
    }
    WindowData data(db);
    data.OpenUsuarios();
    RecordSet& rs = data.rs;
    if (rs.eof())
        return {LoginOutcome::NoUsers, {}, {}};
    for (; !rs.eof(); rs.moveNext()) {
        const QString stored = rs.text(kNombre);
        if (stored != name)
            continue;
        const QString kept = rs.text(kContrasena);
        if (!passwordMatches(kept, password)) {
            if (attempts)
                attempts->failed(name, now);
            return {LoginOutcome::WrongPassword, {}, {}};
        }
        const LoginResult result{LoginOutcome::Success, stored, rightsOf(rs)};
        if (attempts)
            attempts->succeeded(name);
        // The password is known only now: one kept in clear by an earlier version (or hashed at
        // an older cost) is replaced by its hash, in every row of that name.
        if (needsNewHash(kept)) {
            const QString hash = hashPassword(password);
            Transaction tx(db);
            data.OpenUsuariosWithName(stored);
            for (; !rs.eof(); rs.moveNext()) {
                if (rs.text(kContrasena) == kept) {
                    rs.setValue(kContrasena, hash);
                    rs.update();
                }
            }
            data.CloseDatabase();
            tx.commit();
        }
        return result;
    }
    return {LoginOutcome::UnknownName, {}, {}};
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
    found.rights = rightsOf(rs);
    const double setting = rs.number(kPermisoCruce);
    found.setting = plainNumber(setting);
    found.choice = receiptChoiceOfSetting(setting);
    return found;
}

UserSaveResult saveUser(Database& db, const QString& name, const QString& password,
                        const QString& setting, bool existing, const UserRights& rights)
{
    const UserSave rules = UserEntry::save(name, password, setting, existing, rights);
    if (!rules.answer.goesOn())
        return {rules.outcome, rules.answer.text};
    const UserChange& change = rules.change;
    // Hashing takes a while: done before the transaction, which then only reads and writes.
    const QString hash = password.isEmpty() ? QString() : hashPassword(password);

    Transaction tx(db);
    WindowData data(db);
    const UserSaveResult stored = UserEntry::store(change, existing, standingOf(data, name));
    if (!stored.saved())
        return stored;
    RecordSet& rs = data.rs;
    if (existing) {
        data.OpenUsuariosWithName(name);
    } else {
        data.OpenUsuariosForAdding();
        rs.addNew();
        rs.setValue(kNombre, name);
    }
    if (!existing || !hash.isEmpty())
        rs.setValue(kContrasena, hash);
    rs.setValue(kPermisoCruce, change.setting);
    rs.setValue(kNivel, change.rights.administrator ? 1 : 0);
    rs.setValue(kPermisoProductos, change.rights.products ? 1 : 0);
    rs.setValue(kPermisoRecaudacion, change.rights.takings ? 1 : 0);
    rs.update();
    data.CloseDatabase();
    tx.commit();
    return stored;
}

UserDeletion checkUserDeletion(Database& db, const QString& name, const QString& loggedIn)
{
    WindowData data(db);
    return UserEntry::remove(name, loggedIn, standingOf(data, name));
}

UserDeletion deleteUser(Database& db, const QString& name, const QString& loggedIn)
{
    Transaction tx(db);
    WindowData data(db);
    const UserDeletion rule = UserEntry::remove(name, loggedIn, standingOf(data, name));
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
