// Built against SQLCipher 4: a bd1 made under SQLCipher 3 is converted once to the new settings,
// keeping the old file whole beside it, and nothing else is ever converted or touched.
#include "app/startup.h"
#include "data/backup.h"
#include "data/cipher_format.h"
#include "data/database.h"
#include "sales/sales_day.h"
#include "support/temp_shop.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>

using namespace tarvino;
using namespace tarvino::test;

namespace {

int run(sqlite3* db, const QString& sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

// SQLITE_OK when path opens with the key and, when given, SQLCipher 3's settings.
int opensWith(const QString& path, bool oldSettings)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK)
        rc = run(db, QStringLiteral("PRAGMA key = '%1';").arg(kDatabaseKey));
    if (rc == SQLITE_OK && oldSettings)
        rc = run(db, QStringLiteral("PRAGMA cipher_compatibility = 3;"));
    if (rc == SQLITE_OK)
        rc = run(db, QStringLiteral("SELECT count(*) FROM sqlite_master;"));
    sqlite3_close(db);
    return rc;
}

// A shop with a product, a user and a schema number, written out with SQLCipher 3's settings to
// path as a program on SQLCipher 3 leaves it: in journal mode, with its last sale still in the
// journal.
void makeOldFile(TempShop& shop, const QString& path)
{
    shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche")});
    shop.addUser(QStringLiteral("ana"), QStringLiteral("clave"), 58);
    shop.db.execute(QStringLiteral("PRAGMA user_version = 7"));
    sqlite3* export_ = nullptr;
    QCOMPARE(sqlite3_open_v2(shop.dbPath().toUtf8().constData(), &export_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
             SQLITE_OK);
    QCOMPARE(run(export_, QStringLiteral("PRAGMA key = '%1';"
                                         "ATTACH DATABASE '%2' AS viejo KEY '%1';"
                                         "PRAGMA viejo.cipher_compatibility = 3;"
                                         "SELECT sqlcipher_export('viejo');"
                                         "PRAGMA viejo.user_version = 7;"
                                         "DETACH DATABASE viejo;")
                              .arg(kDatabaseKey, path)),
             SQLITE_OK);
    sqlite3_close(export_);

    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(run(db, QStringLiteral("PRAGMA key = '%1'; PRAGMA cipher_compatibility = 3;"
                                    "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;")
                         .arg(kDatabaseKey)),
             SQLITE_OK);
    QCOMPARE(run(db, QStringLiteral("INSERT INTO Temporal (CodigoProducto, Cantidad) VALUES ('100', 2)")),
             SQLITE_OK);
    QCOMPARE(run(db, QStringLiteral("INSERT INTO Productos (CodigoProducto, NombreProducto) "
                                    "VALUES ('200', 'Pan')")),
             SQLITE_OK);
    shop.db.execute(QStringLiteral("INSERT INTO Temporal (CodigoProducto, Cantidad) VALUES ('100', 2)"));
    shop.db.execute(QStringLiteral("INSERT INTO Productos (CodigoProducto, NombreProducto) "
                                   "VALUES ('200', 'Pan')"));
    // The process ends without closing: the last changes stay in the journal beside the file.
    QVERIFY(QFileInfo::exists(path + QStringLiteral("-wal")));
    QFile::copy(path, path + QStringLiteral(".tmp"));
    QFile::copy(path + QStringLiteral("-wal"), path + QStringLiteral(".tmp-wal"));
    sqlite3_close(db);
    QFile::remove(path);
    QFile::rename(path + QStringLiteral(".tmp"), path);
    QFile::rename(path + QStringLiteral(".tmp-wal"), path + QStringLiteral("-wal"));
    QCOMPARE(opensWith(path, false), SQLITE_NOTADB);
}

QString dumpOf(TempShop& shop, const QString& path)
{
    shop.db.open(path);
    const QString dump =
        shop.dump() + shop.scalar(QStringLiteral("PRAGMA user_version")).toString() +
        QString::number(shop.column(QStringLiteral("select name from sqlite_master")).size());
    shop.db.close();
    return dump;
}

} // namespace

class TestCipherFormat : public QObject {
    Q_OBJECT

private slots:
    void runsOnSqlcipher4() { QVERIFY2(cipherDefaultsAreNewer(), qPrintable(cipherVersion())); }

    // The converted file holds what the old one held, its journal included, and opens with the
    // key alone; the old file stays as it was under its new name; a second start converts nothing.
    void convertsOnceKeepingTheOldFile()
    {
        TempShop shop;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        makeOldFile(shop, path);
        const QString expected = dumpOf(shop, shop.dbPath());

        const FormatConversion conversion = convertOldFormat(path, kDatabaseKey);
        QVERIFY(conversion.converted);
        QCOMPARE(conversion.keptCopy, path + QStringLiteral("-sqlcipher3"));
        // Nothing of the old file's journal is left to be taken for the new file's.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("bd1"), QStringLiteral("bd1-sqlcipher3")}));
        QCOMPARE(opensWith(path, false), SQLITE_OK);
        QCOMPARE(opensWith(conversion.keptCopy, false), SQLITE_NOTADB);
        QCOMPARE(opensWith(conversion.keptCopy, true), SQLITE_OK);
        QCOMPARE(dumpOf(shop, path), expected);

        const QByteArray converted = fileHash(path);
        QVERIFY(!convertOldFormat(path, kDatabaseKey).converted);
        QCOMPARE(fileHash(path), converted);

        // The same old file put back (a copy from before) is converted again; the first old copy
        // is never overwritten.
        const QByteArray firstOld = fileHash(conversion.keptCopy);
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(conversion.keptCopy, path));
        const FormatConversion again = convertOldFormat(path, kDatabaseKey);
        QCOMPARE(again.keptCopy, path + QStringLiteral("-sqlcipher3-2"));
        QCOMPARE(fileHash(conversion.keptCopy), firstOld);
        QCOMPARE(dumpOf(shop, path), expected);
    }

    // A file the key does not open is left alone, byte for byte, for the opening to report.
    void wrongKeyTouchesNothing()
    {
        TempShop shop;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        makeOldFile(shop, path);
        const QByteArray before = fileHash(path);
        QVERIFY(!convertOldFormat(path, QStringLiteral("otra")).converted);
        QCOMPARE(fileHash(path), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-sqlcipher3")));
    }

    // Start-up converts, says so once naming the old copy, and the day's work and its copy go on
    // in the new settings.
    void startUpConvertsAndWorks()
    {
        TempShop shop;
        QTemporaryDir dir;
        makeOldFile(shop, dir.filePath(QStringLiteral("bd1")));
        Database db;
        FakeMessages messages;
        QVERIFY(openShopDatabase(db, dir.path(), messages));
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY2(messages.lastText().contains(dir.filePath(QStringLiteral("bd1-sqlcipher3"))),
                 qPrintable(messages.lastText()));
        FakeClock clock;
        clock.current = QDateTime(QDate(2026, 3, 9), QTime(20, 0));
        QCOMPARE(cierreDelDia(db, clock, QStringLiteral("09/03/2026 9:05:07")), 1);
        QCOMPARE(backUpClosedDay(db, clock, QStringLiteral("09/03/2026 9:05:07")), QString());
        const QString copy = newestBackup(db.path());
        db.close();
        QCOMPARE(opensWith(copy, false), SQLITE_OK);
        QCOMPARE(opensWith(dir.filePath(QStringLiteral("bd1")), false), SQLITE_OK);
    }
};

QTEST_GUILESS_MAIN(TestCipherFormat)
#include "test_cipher_format.moc"
