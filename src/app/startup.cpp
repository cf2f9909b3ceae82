// Start-up before the login window: the single-copy rule and opening (or creating) bd1.
#include "app/startup.h"

#include "app/single_copy.h"
#include "common/services.h"
#include "data/database.h"
#include "data/schema.h"

#include <QDir>
#include <QFileInfo>

namespace tarvino {

bool singleCopyCheck(SingleCopy& lock, Messages& messages)
{
    switch (lock.acquire()) {
    case SingleCopy::Result::Acquired:
        return true;
    case SingleCopy::Result::Failed:
        messages.inform(QStringLiteral("No se pudo preparar el archivo «%1», que impide abrir el programa "
                                       "dos veces a la vez: %2.\n\nEl programa se cerrará.")
                            .arg(lock.fileName(), lock.failureCause()),
                        kAppTitle, Messages::Icon::Critical);
        return false;
    case SingleCopy::Result::OtherCopyRunning:
        break;
    }
    messages.inform(QStringLiteral("ERROR : \rEl programa ya está en ejecución"),
                    kAppTitle + QStringLiteral(" - Error de ingreso"), Messages::Icon::Exclamation);
    return false;
}

bool openShopDatabase(Database& db, const QString& folder, Messages& messages)
{
    const QString path = QDir(folder).filePath(kDatabaseFileName);
    try {
        if (!QFileInfo::exists(path)) {
            const bool create = messages.ask(
                QStringLiteral("No se encontró la base de datos «%1».\n\n¿Desea crear una base de "
                               "datos nueva, con el usuario administrador «admin» y la contraseña «admin»?")
                    .arg(path),
                kAppTitle);
            if (!create)
                return false;
            createDatabase(path, kDatabaseKey);
        }
        db.open(path, kDatabaseKey);
        checkSchema(db);
        prepareDatabase(db);
        return true;
    } catch (const DbError& e) {
        db.close();
        messages.inform(e.message() + QStringLiteral("\n\nEl programa se cerrará."), kAppTitle,
                        Messages::Icon::Critical);
        return false;
    }
}

} // namespace tarvino
