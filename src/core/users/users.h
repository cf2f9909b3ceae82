// The one home of the Usuarios table: the login check, the receipt setting of a user, and the user
// window's look-up, saving and deleting of accounts.
#pragma once

#include "common/entry_answer.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tarvino {

class Database;

// What the user window says.
namespace userMessages {
inline const QString kNombreVacio = QStringLiteral("Debe ingresar el nombre del usuario");
inline const QString kFaltanDatos =
    QStringLiteral("Debe ingresar todos los datos requeridos para poder guardar");
inline const QString kAdministrador = QStringLiteral(" No puede eliminarse la cuenta del administrador");
inline const QString kConfirmarEliminacion =
    QStringLiteral("¿Está seguro que desea eliminar el registro de este Usuario?");
inline const QString kTituloConfirmarEliminacion = QStringLiteral("Confirme Eliminación");
inline const QString kSesionAbierta = QStringLiteral(
    "No puede eliminarse la cuenta del usuario que tiene la sesión abierta en este momento");
inline const QString kUltimoUsuario = QStringLiteral(
    "No puede eliminarse el único usuario: sin usuarios nadie podría ingresar al programa");
inline const QString kCaracteres = QStringLiteral(
    "El nombre y la contraseña solo pueden tener letras minúsculas (a-z) y números");
inline const QString kAdministradorConservaNivel = QStringLiteral(
    "La cuenta «admin» es la del administrador: conserva siempre el permiso Administrador.");
inline const QString kUltimoAdministrador = QStringLiteral(
    "Este es el único usuario con permiso de Administrador: si lo perdiera, nadie podría "
    "administrar los usuarios. Dé antes ese permiso a otro usuario.");
inline const QString kEliminarUltimoAdministrador = QStringLiteral(
    "No puede eliminarse el único usuario con permiso de Administrador: nadie podría "
    "administrar los usuarios.");
inline const QString kContrasenaIncompleta = QStringLiteral(
    "La contraseña no se guardó: al escribirla se rechazaron teclas (mayúsculas, letras con tilde, "
    "ñ o signos), así que no es la que escribió. Escríbala de nuevo solo con letras minúsculas "
    "(a-z) y números.");
} // namespace userMessages

// The administrator's account, which can never be deleted.
inline const QString kAdminName = QStringLiteral("admin");

// ---- Rights -----------------------------------------------------------------------------------

// What a user may open beyond selling: Nivel 1 (administrator, every menu), permisoproductos 1
// (the product editor and the stock report) and permisorecaudacion 1 (the takings history).
struct UserRights {
    bool administrator = false;
    bool products = false;
    bool takings = false;
    bool operator==(const UserRights&) const = default;
};

// The rights a Usuarios row gives: a column grants its right only when it holds the number 1;
// text, NULL, 2 or anything else is no right. The account "admin" is always the administrator.
UserRights rightsOfRow(const QString& name, const QVariant& nivel, const QVariant& permisoproductos,
                       const QVariant& permisorecaudacion);

// Which menu items of the sales window the rights open. The day's takings, the sales detail of
// the day and the support window are open to every user.
struct MenuAccess {
    bool productos = true;   // the product editor
    bool usuarios = true;    // user administration
    bool recaudacion = true; // the takings history
    bool stock = true;       // the stock report, with every cost price
    bool operator==(const MenuAccess&) const = default;
};
MenuAccess menuAccess(const UserRights& rights);

// ---- Login -------------------------------------------------------------------------------------

enum class LoginOutcome { NoUsers, UnknownName, WrongPassword, Success, Waiting };

struct LoginResult {
    LoginOutcome outcome;
    QString userName;   // as stored, on success
    UserRights rights;  // of that row, on success
    int waitSeconds = 0; // when Waiting: how long until the next try is taken
};

// Wrong passwords in a row, by user name: after kFreeTries of them the next try of that name is
// refused until kWaitSeconds have passed, and so after each further wrong password. Guessing a
// password at the till thus takes hours instead of minutes.
class LoginAttempts final {
public:
    static constexpr int kFreeTries = 5;
    static constexpr int kWaitSeconds = 5;

    // Seconds (rounded up) until a try of name is taken; 0 when it is taken now.
    int secondsToWait(const QString& name, const QDateTime& now) const;
    void failed(const QString& name, const QDateTime& now);
    void succeeded(const QString& name);

private:
    struct Record {
        int failures = 0;
        QDateTime until;
    };
    QHash<QString, Record> m_records;
};

// Walks the users in name order; the first whose name equals name exactly decides. A password
// still kept in clear (or hashed at another cost) is replaced by a fresh hash on success. With
// attempts, wrong passwords are counted and a name that had too many waits (told by now).
LoginResult checkLogin(Database& db, const QString& name, const QString& password,
                       LoginAttempts* attempts = nullptr, const QDateTime& now = {});

// ---- Receipt setting ---------------------------------------------------------------------------

// The receipt setting (PermisoCruce) of the first Usuarios row named user; 0 when there is none.
double receiptSetting(Database& db, const QString& user);

// The entries of the receipt choice, in the order they are listed: "No Imprimir", "Imprimir 58mm",
// "Imprimir 80mm".
const QStringList& receiptChoices();
// The setting an entry stands for, as text: "0", "58" or "80"; empty for any other index.
QString receiptSettingOfChoice(int index);
// The entry that stands for a stored setting; -1 for any value other than 0, 58 and 80.
int receiptChoiceOfSetting(double setting);

// ---- The user window ---------------------------------------------------------------------------

// A name looked up: whether it is stored and, if so, its receipt setting and rights. The stored
// password is never handed out: the window cannot show what it does not have.
struct UserFound {
    bool exists = false;
    QString setting; // the stored PermisoCruce as plain number text
    int choice = -1; // its entry in receiptChoices(), -1 when it is none of them
    UserRights rights;
};

// The first user in name order whose name equals name exactly.
UserFound lookUpUser(Database& db, const QString& name);

struct UserSaveResult {
    enum class Outcome {
        Added,
        Changed,
        MissingData,
        BadCharacters,
        AlreadyExists,
        Vanished,
        BadSetting,
        AdministratorKeepsLevel,
        LastAdministrator
    };
    Outcome outcome;
    QString message; // empty when saved
    bool saved() const { return outcome == Outcome::Added || outcome == Outcome::Changed; }
};

// Guardar: adds the user name with password, setting and rights (existing false) or changes the
// setting and rights of the stored user name, and its password unless password is empty
// (existing true), as UserEntry::save and UserEntry::store answer; the name itself is never
// changed. The rights are written as 1 or 0 into Nivel, permisoproductos and permisorecaudacion;
// the password is stored hashed. One transaction; a refusal writes nothing.
UserSaveResult saveUser(Database& db, const QString& name, const QString& password,
                        const QString& setting, bool existing, const UserRights& rights = {});

// What Eliminar answers: a refusal, or (allowed) the question before deleting.
struct UserDeletion {
    enum class Outcome { Allowed, Administrator, LoggedIn, LastUser, LastAdministrator, Vanished };
    Outcome outcome;
    EntryAnswer answer;
    bool allowed() const { return outcome == Outcome::Allowed; }
};

// Whether the user name may be deleted while loggedIn has the session, as UserEntry::remove
// answers.
UserDeletion checkUserDeletion(Database& db, const QString& name, const QString& loggedIn);
// Checks again and deletes every row of the user name, in one transaction.
UserDeletion deleteUser(Database& db, const QString& name, const QString& loggedIn);

} // namespace tarvino
