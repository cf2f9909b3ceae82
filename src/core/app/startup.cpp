// Start-up before the login window: the single-copy rule and opening (or creating) bd1.
#include "app/startup.h"

#include "app/server_setting.h"
#include "app/single_copy.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/backup.h"
#include "data/cipher_format.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server_copy.h"
#include "data/server_engine.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace tarvino {

namespace {

// The words for going back to the newest copy, or for having none.
QString backupAdvice(const QString& path)
{
    const QString newest = newestBackup(path);
    if (newest.isEmpty())
        return QStringLiteral(
                   "No hay copias de respaldo en «%1». No borre ese archivo y pida "
                   "ayuda técnica antes de volver a usar el programa.")
            .arg(backupFolder(path));
    return QStringLiteral(
               "La copia de respaldo más reciente es «%1». Para volver a ella, con el programa "
               "cerrado, copie ese archivo sobre «%2» y borre «%2-wal» y «%2-shm» si están. "
               "Las ventas registradas después de esa copia no están en ella.")
        .arg(QDir::toNativeSeparators(newest), QDir::toNativeSeparators(path));
}

// "«/…/respaldos/bd1-000012-2026-03-09_09-05-07», del día de ventas abierto el 09/03/2026 a las
// 9:05:07": which copy, and which day it ends with, for the cashier to judge.
QString copyWords(const QString& path, const QString& name)
{
    QString words = QStringLiteral("«%1»").arg(
        QDir::toNativeSeparators(QDir(backupFolder(path)).filePath(name)));
    const QDateTime opened =
        QDateTime::fromString(name.right(19), QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (opened.isValid())
        words += QStringLiteral(", del día de ventas abierto el %1 a las %2")
                     .arg(dateText(opened), longTimeText(opened));
    return words;
}

enum class Offer { PutBack, Declined, NoneUsable, Stop };

// Offers the copies not yet tried, newest first, to take the place of bd1, which is missing or
// refused for problem; while the one accepted proves unusable, the next older is offered. On
// NoneUsable, problem says why the last copy could not be used.
Offer offerCopies(const QString& path, QString& problem, bool missing, QStringList& tried,
                  Messages& messages)
{
    const QStringList copies = backupsNewestFirst(path);
    for (const QString& name : copies) {
        if (tried.contains(name))
            continue;
        const QString which = tried.isEmpty()
                                  ? QStringLiteral("La copia de respaldo más reciente es %1.")
                                  : QStringLiteral("La copia de respaldo anterior es %1.");
        const QString aside = asideName(path);
        const QString keep =
            missing ? QStringLiteral("La copia se pondrá como «%1» (también queda en la carpeta de "
                                     "copias) y el programa seguirá con ella.")
                          .arg(QDir::toNativeSeparators(path))
                    : QStringLiteral("El archivo «%1» actual no se borra: se guardará aparte, con "
                                     "sus archivos de cambios en curso, como «%2». La copia se "
                                     "pondrá en su lugar (también queda en la carpeta de copias) "
                                     "y el programa seguirá con ella.")
                          .arg(QDir::toNativeSeparators(path), aside);
        const QString ifNot = missing ? QStringLiteral("Con «No» se le preguntará si desea crear una "
                                                       "base de datos nueva, vacía.")
                                      : QStringLiteral("Con «No» el programa se cerrará sin cambiar "
                                                       "nada.");
        const QString question =
            QStringLiteral("%1\n\n%2\n\n¿Desea volver a esa copia? %3 Las ventas registradas "
                           "después de esa copia no están en ella.\n\n%4")
                .arg(problem, which.arg(copyWords(path, name)), keep, ifNot);
        if (!messages.ask(question, kAppTitle))
            return Offer::Declined;
        tried << name;
        try {
            putBackCopy(path, QDir(backupFolder(path)).filePath(name));
            return Offer::PutBack;
        } catch (const DbError& e) {
            if (e.cause() != DbError::Cause::Contents) {
                messages.inform(e.message() + QStringLiteral("\n\nNo se cambió nada. El programa se "
                                                             "cerrará."),
                                kAppTitle, Messages::Icon::Critical);
                return Offer::Stop;
            }
            problem = e.message() + QStringLiteral(" No se cambió nada.");
        }
    }
    return Offer::NoneUsable;
}

// A missing bd1: put a copy back, or make a new empty file after the cashier agrees; the copies of
// the old file are then kept apart, where the new file's closings never remove them. True when
// bd1 is there to open.
bool replaceMissingFile(const QString& path, QStringList& tried, Messages& messages)
{
    const QString missing =
        QStringLiteral("No se encontró la base de datos «%1».").arg(QDir::toNativeSeparators(path));
    QString problem = missing;
    const bool copies = !backupsNewestFirst(path).isEmpty();
    if (copies) {
        switch (offerCopies(path, problem, true, tried, messages)) {
        case Offer::PutBack:
            return true;
        case Offer::Stop:
            return false;
        case Offer::NoneUsable:
            problem = missing + QStringLiteral("\n\n") + problem +
                      QStringLiteral(" Ninguna de las copias de respaldo se puede usar.");
            break;
        case Offer::Declined:
            problem = missing;
            break;
        }
    }
    QString question = problem + QStringLiteral("\n\n¿Desea crear una base de datos nueva, con el "
                                                "usuario administrador «admin» y la contraseña «admin»?");
    if (copies)
        question += QStringLiteral("\n\nLa base de datos nueva estará vacía. Las copias de respaldo "
                                   "de la carpeta «%1» no se borran: se guardarán aparte, en la "
                                   "carpeta «%2», para que las copias de la base nueva nunca las "
                                   "reemplacen.")
                        .arg(QDir::toNativeSeparators(backupFolder(path)),
                             QDir::toNativeSeparators(copiesAsideFolder(path)));
    if (!messages.ask(question, kAppTitle))
        return false;
    // Journal files left by the old file would be read into the new one as if they were its own.
    setAside(path);
    const QString copiesApart = setCopiesAside(path);
    try {
        createDatabase(path, kDatabaseKey);
    } catch (const DbError&) {
        // No new file: the copies go back where the next start looks for them.
        if (!copiesApart.isEmpty())
            QDir().rename(copiesApart, backupFolder(path));
        throw;
    }
    return true;
}

// Opens bd1 and prepares it; nullopt when it is ready, else why it was refused.
std::optional<DbError> openOnce(Database& db, const QString& path, Messages& messages)
{
    try {
        const FormatConversion conversion = convertOldFormat(path, kDatabaseKey);
        db.open(path, kDatabaseKey);
        checkSchema(db);
        // Every page is read before the login (about 0.2 s at 100,000 products, 1.3 s with a
        // million lines of history): a damaged page met later, at the login or in a sale, could
        // only end the program, while here the copies can still be offered, and nothing has been
        // written into the file yet.
        BackgroundStructureCheck check(path, kDatabaseKey, {});
        StructureVerdict verdict = check.wait();
        // No second connection could be had: the program's own reads the file instead.
        if (verdict.outcome == StructureVerdict::Outcome::NotChecked)
            verdict = checkStructure(db);
        if (verdict.outcome == StructureVerdict::Outcome::Damaged) {
            // Closed while the check's read-only connection still holds the file, and without
            // folding: the engine folds a journal into the file when its last connection closes,
            // and nothing goes into a damaged file.
            db.closeUntilRestart({});
            throw DbError(QStringLiteral("La base de datos «%1» está dañada.")
                              .arg(QDir::toNativeSeparators(path)),
                          DbError::Cause::Contents);
        }
        prepareDatabase(db);
        if (conversion.converted)
            messages.inform(
                QStringLiteral("La base de datos «%1» se convirtió al cifrado de SQLCipher %2, el de "
                               "este sistema. El archivo tal como estaba quedó guardado en «%3»; "
                               "las versiones del programa que usan SQLCipher 3 ya no pueden abrir "
                               "«%1».")
                    .arg(QDir::toNativeSeparators(path), cipherVersion(),
                         QDir::toNativeSeparators(conversion.keptCopy)),
                kAppTitle, Messages::Icon::Information);
        return std::nullopt;
    } catch (const DbError& e) {
        db.close();
        return e;
    }
}

} // namespace

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
    // Copies put back during this start that proved unusable are not offered again.
    QStringList tried;
    try {
        if (!QFileInfo::exists(path) && !replaceMissingFile(path, tried, messages))
            return false;
    } catch (const DbError& e) {
        messages.inform(e.message() + QStringLiteral("\n\nEl programa se cerrará."), kAppTitle,
                        Messages::Icon::Critical);
        return false;
    }
    for (;;) {
        const std::optional<DbError> refusal = openOnce(db, path, messages);
        if (!refusal)
            return true;
        QString problem = refusal->message();
        // A file converted by a program on a newer SQLCipher is not damaged, and its newest
        // copies are in the newer settings too: the copy from before the conversion is the way.
        if (const QString newer = newerFormatAdvice(path); !newer.isEmpty()) {
            messages.inform(problem + QStringLiteral("\n\n") + newer +
                                QStringLiteral("\n\nEl programa se cerrará."),
                            kAppTitle, Messages::Icon::Critical);
            return false;
        }
        const bool contents = refusal->cause() == DbError::Cause::Contents;
        // When the file itself is at fault, a copy can take its place.
        if (contents) {
            switch (offerCopies(path, problem, false, tried, messages)) {
            case Offer::PutBack:
                continue;
            case Offer::Declined:
            case Offer::Stop:
                return false;
            case Offer::NoneUsable:
                if (!tried.isEmpty()) {
                    messages.inform(problem + QStringLiteral("\n\nNinguna copia de respaldo de «%1» "
                                                             "se puede usar. No borre nada y pida "
                                                             "ayuda técnica.\n\nEl programa se "
                                                             "cerrará.")
                                                  .arg(backupFolder(path)),
                                    kAppTitle, Messages::Icon::Critical);
                    return false;
                }
                break;
            }
        }
        if (contents)
            problem += QStringLiteral("\n\n") + backupAdvice(path);
        messages.inform(problem + QStringLiteral("\n\nEl programa se cerrará."), kAppTitle,
                        Messages::Icon::Critical);
        return false;
    }
}

bool openShopServer(Database& db, const ServerSetting& setting, Messages& messages)
{
    // A question the cashier answers «No» to leaves the server as it was, and the program ends.
    const auto agreed = [&](const QString& question) {
        if (messages.ask(question, kAppTitle))
            return true;
        db.close();
        return false;
    };
    try {
        try {
            db.openServer(setting.connection, setting.till);
        } catch (const TillInUse& e) {
            // The server still keeps this machine's own earlier session of the till (a power cut,
            // a network that went away): only the cashier can tell it from a second copy really
            // at work here.
            if (!e.onThisMachine())
                throw;
            const QString question =
                QStringLiteral("%1\n\nSi esta caja se apagó o perdió la red sin cerrar el programa, "
                               "el servidor todavía guarda aquella sesión. ¿Desea cerrarla y abrir "
                               "la caja aquí?\n\nResponda «No» si el programa está abierto con esta "
                               "caja en otra ventana o en otra cuenta de este equipo.")
                    .arg(e.message());
            if (!agreed(question))
                return false;
            db.openServer(setting.connection, setting.till, true);
        }
        if (serverDatabaseEmpty(db)) {
            const QString question =
                QStringLiteral("La base de datos %1 está vacía.\n\n¿Desea crear en ella las "
                               "tablas de la tienda, con el usuario administrador «admin» y la "
                               "contraseña «admin»?")
                    .arg(db.place());
            if (!agreed(question))
                return false;
            createServerSchema(db);
        }
        return true;
    } catch (const DbError& e) {
        db.close();
        messages.inform(e.message() + QStringLiteral("\n\nEl programa se cerrará."), kAppTitle,
                        Messages::Icon::Critical);
        return false;
    }
}

QString copyToServer(const QString& folder, const QString& filePath, const QString& machineName,
                     bool& copied)
{
    copied = false;
    const ServerSettingRead read = readServerSetting(folder, machineName);
    if (!read.error.isEmpty())
        return read.error;
    if (!read.setting)
        return QStringLiteral("En la carpeta «%1» no hay un archivo %2 con la sección [servidor] y "
                              "su conexion=: no hay a qué servidor copiar.")
            .arg(QDir::toNativeSeparators(folder), kServerSettingFileName);
    try {
        Database server;
        server.openServer(read.setting->connection, read.setting->till);
        const QString report = copyShopToServer(filePath, server);
        const QString place = server.place();
        server.close();
        copied = true;
        return QStringLiteral("Se copió «%1» en %2.\n%3")
            .arg(QDir::toNativeSeparators(filePath), place, report);
    } catch (const DbError& e) {
        return QStringLiteral("No se copió «%1» al servidor: %2")
            .arg(QDir::toNativeSeparators(filePath), e.message());
    }
}

} // namespace tarvino
