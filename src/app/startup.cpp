// Start-up before the login window: the single-copy rule and opening (or creating) bd1.
#include "app/startup.h"

#include "app/single_copy.h"
#include "common/services.h"
#include "data/backup.h"
#include "data/cipher_format.h"
#include "data/database.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>

namespace tarvino {

namespace {

// A write refused because the file is damaged; its message is the whole story for the cashier.
class DamagedFileError : public DbError {
public:
    using DbError::DbError;
};

// Watches the whole-file check of one run: holds every write until the verdict is known and
// reports a damaged file once, whichever meets it first, a write or the end of the check.
class FileWatch final {
public:
    FileWatch(Database& db, Messages& messages, std::function<void()> endProgram)
        : m_db(db), m_messages(messages), m_endProgram(std::move(endProgram)),
          m_check(db.path(), kDatabaseKey, [this] {
              QMetaObject::invokeMethod(
                  &m_notifier, [this] { verdictArrived(); }, Qt::QueuedConnection);
          })
    {
    }

    // Runs before every write of the run.
    void guard()
    {
        if (verdict().outcome == StructureVerdict::Outcome::Damaged) {
            m_reported = true;
            throw DamagedFileError(damagedFileMessage(m_db.path()));
        }
    }

private:
    StructureVerdict verdict()
    {
        StructureVerdict found = m_check.wait();
        // The check could not run beside the program (no second connection): the program's own
        // connection runs it, once.
        if (found.outcome == StructureVerdict::Outcome::NotChecked) {
            if (!m_checkedHere)
                m_checkedHere = checkStructure(m_db.handle());
            found = *m_checkedHere;
        }
        return found;
    }

    void verdictArrived()
    {
        if (m_check.wait().outcome != StructureVerdict::Outcome::Damaged)
            return;
        if (!m_reported) {
            m_reported = true;
            m_messages.inform(damagedFileMessage(m_db.path()), kAppTitle, Messages::Icon::Critical);
        }
        m_endProgram();
    }

    // Lives on the window thread; a verdict still on its way when the watch goes is dropped with
    // it.
    QObject m_notifier;
    Database& m_db;
    Messages& m_messages;
    std::function<void()> m_endProgram;
    bool m_reported = false;
    std::optional<StructureVerdict> m_checkedHere;
    // Last, so that it is stopped before the rest goes.
    BackgroundStructureCheck m_check;
};

// The words for going back to the newest copy, or for having none.
QString backupAdvice(const QString& path)
{
    const QString newest = newestBackup(path);
    if (newest.isEmpty())
        return QStringLiteral(
                   "No hay copias de respaldo en «%1». No borre el archivo dañado y pida "
                   "ayuda técnica antes de volver a usar el programa.")
            .arg(backupFolder(path));
    return QStringLiteral(
               "La copia de respaldo más reciente es «%1». Para volver a ella, con el programa "
               "cerrado, copie ese archivo sobre «%2» y borre «%2-wal» y «%2-shm» si están. "
               "Las ventas registradas después de esa copia no están en ella.")
        .arg(QDir::toNativeSeparators(newest), QDir::toNativeSeparators(path));
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

void endProgramWhenIdle()
{
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(200, QCoreApplication::instance(), endProgramWhenIdle);
        return;
    }
    QCoreApplication::exit(1);
}

QString damagedFileMessage(const QString& path)
{
    return QStringLiteral(
               "La base de datos «%1» está dañada. El programa no escribirá nada en ella y se "
               "cerrará.\n\n%2")
        .arg(QDir::toNativeSeparators(path), backupAdvice(path));
}

bool openShopDatabase(Database& db, const QString& folder, Messages& messages,
                      std::function<void()> endProgram)
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
        const FormatConversion conversion = convertOldFormat(path, kDatabaseKey);
        db.open(path, kDatabaseKey);
        checkSchema(db);
        // Reading every page takes about a second on a large file: the check runs beside the
        // login, and the first write of the run (here, when the file still needs its journal or
        // indexes) waits for it.
        auto watch = std::make_shared<FileWatch>(db, messages, std::move(endProgram));
        db.setWriteGuard([watch] { watch->guard(); });
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
        return true;
    } catch (const DamagedFileError& e) {
        db.close();
        db.setWriteGuard({});
        messages.inform(e.message(), kAppTitle, Messages::Icon::Critical);
        return false;
    } catch (const DbError& e) {
        db.close();
        db.setWriteGuard({});
        QString text = e.message();
        // A damaged first page or list of tables is met on opening, before any check.
        // A file converted by a program on a newer SQLCipher is not damaged, and its newest
        // copies are in the newer settings too: the copy from before the conversion is the way.
        if (const QString newer = newerFormatAdvice(path); !newer.isEmpty())
            text += QStringLiteral("\n\n") + newer;
        else if (text.contains(QStringLiteral("dañad")))
            text += QStringLiteral("\n\n") + backupAdvice(path);
        messages.inform(text + QStringLiteral("\n\nEl programa se cerrará."), kAppTitle,
                        Messages::Icon::Critical);
        return false;
    }
}

} // namespace tarvino
