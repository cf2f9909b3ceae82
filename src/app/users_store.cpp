// Checking a login against Usuarios.
#include "app/users_store.h"

#include "data/window_data.h"

namespace tarvino {

LoginResult checkLogin(Database& db, const QString& name, const QString& password)
{
    WindowData data(db);
    data.OpenUsuarios();
    RecordSet& rs = data.rs;
    if (rs.eof())
        return {LoginOutcome::NoUsers, {}};
    for (; !rs.eof(); rs.moveNext()) {
        const QString stored = rs.text(QStringLiteral("NombreUsuario"));
        if (stored != name)
            continue;
        if (rs.text(QStringLiteral("Contraseña")) == password)
            return {LoginOutcome::Success, stored};
        return {LoginOutcome::WrongPassword, {}};
    }
    return {LoginOutcome::UnknownName, {}};
}

} // namespace tarvino
