// The one home of the Usuarios table: the login check, the receipt setting of a user, and the user
// window's look-up, saving and deleting of accounts.
#pragma once

#include <QString>
#include <QStringList>

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
} // namespace userMessages

// The administrator's account, which can never be deleted.
inline const QString kAdminName = QStringLiteral("admin");

// ---- Login -------------------------------------------------------------------------------------

enum class LoginOutcome { NoUsers, UnknownName, WrongPassword, Success };

struct LoginResult {
    LoginOutcome outcome;
    QString userName; // as stored, on success
};

// Walks the users in name order; the first whose name equals name exactly decides.
LoginResult checkLogin(Database& db, const QString& name, const QString& password);

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

// A name looked up: whether it is stored and, if so, its password and receipt setting.
struct UserFound {
    bool exists = false;
    QString password;
    QString setting; // the stored PermisoCruce as plain number text
    int choice = -1; // its entry in receiptChoices(), -1 when it is none of them
};

// The first user in name order whose name equals name exactly.
UserFound lookUpUser(Database& db, const QString& name);

struct UserSaveResult {
    enum class Outcome { Added, Changed, MissingData, BadCharacters, AlreadyExists, Vanished, BadSetting };
    Outcome outcome;
    QString message; // empty when saved
    bool saved() const { return outcome == Outcome::Added || outcome == Outcome::Changed; }
};

// Guardar: adds the user name with password and setting (existing false) or changes the password
// and setting of the stored user name (existing true); the name itself is never changed. setting
// is the receipt setting as text, written as a number. One transaction; a refusal writes nothing.
UserSaveResult saveUser(Database& db, const QString& name, const QString& password,
                        const QString& setting, bool existing);

struct UserDeletion {
    enum class Outcome { Allowed, Administrator, LoggedIn, LastUser, Vanished };
    Outcome outcome;
    QString message; // empty when allowed
    bool allowed() const { return outcome == Outcome::Allowed; }
};

// Whether the user name may be deleted while loggedIn has the session: never the administrator,
// never the user at the till, never the only user left.
UserDeletion checkUserDeletion(Database& db, const QString& name, const QString& loggedIn);
// Checks again and deletes every row of the user name, in one transaction.
UserDeletion deleteUser(Database& db, const QString& name, const QString& loggedIn);

} // namespace tarvino
