// Copies of bd1 in "respaldos": whole and encrypted, the fourteen made last kept, a failure that
// leaves the folder as it was, and the copy made when the day closes at exit.
#include "data/backup.h"
#include "data/database.h"
#include "data/schema.h"
#include "support/sales_driver.h"
#include "support/small_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "data/query.h"

#include <sqlite3.h>

using namespace tarvino;
using namespace tarvino::test;

namespace {

const QDateTime kOpened(QDate(2026, 3, 9), QTime(9, 5, 7));

// The first value a query gives on the copy at path, opened as the program opens bd1.
QString valueIn(const QString& path, const char* sql)
{
    Database copy;
    copy.open(path);
    Query rows(copy, QLatin1String(sql));
    return rows.next() ? rows.cell(0).utf8().toString() : QString();
}

QString newestName(const QString& dbPath)
{
    return QFileInfo(newestBackup(dbPath)).fileName();
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    // A change still in the journal is in the copy, whether the journal can be folded into the
    // file first or another reader keeps it there.
    void copyHoldsEveryStoredChange_data()
    {
        QTest::addColumn<bool>("readerHoldsJournal");
        QTest::newRow("journal folded in") << false;
        QTest::newRow("a reader keeps the journal") << true;
    }
    void copyHoldsEveryStoredChange()
    {
        QFETCH(bool, readerHoldsJournal);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche")});
        sqlite3* reader = nullptr;
        if (readerHoldsJournal) {
            QCOMPARE(sqlite3_open(shop.dbPath().toUtf8().constData(), &reader), SQLITE_OK);
            QCOMPARE(sqlite3_exec(reader,
                                  "PRAGMA key='QmK482'; BEGIN; SELECT count(*) FROM Productos;",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
        }
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan")});
        QVERIFY(QFileInfo(shop.dbPath() + QStringLiteral("-wal")).size() > 0);

        const BackupResult made = backUpDatabase(shop.db, kOpened);
        sqlite3_close(reader);
        QCOMPARE(made.path,
                 QDir(shop.folder()).filePath(QStringLiteral("respaldos/bd1-000001-2026-03-09_09-05-07")));
        QCOMPARE(made.warning, QString());
        QCOMPARE(valueIn(made.path, "select group_concat(NombreProducto) from Productos"),
                 QStringLiteral("Leche,Pan"));
        QFile raw(made.path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.read(16).startsWith("SQLite format 3")); // encrypted
        QCOMPARE(QDir(shop.folder())
                     .entryList({QStringLiteral("*.parcial")}, QDir::Files | QDir::Hidden),
                 QStringList());

        if (QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty())
            QSKIP("sqlcipher shell not installed");
        QProcess shell;
        shell.start(QStringLiteral("sqlcipher"),
                    {made.path, QStringLiteral("PRAGMA key='QmK482'; "
                                               "select group_concat(NombreProducto) "
                                               "from Productos;")});
        QVERIFY(shell.waitForFinished());
        QCOMPARE(shell.readAllStandardOutput().trimmed(), QByteArray("Leche,Pan"));
    }

    // The copies kept and the one named newest follow the order in which they were made, whatever
    // the clock gave as the opening of each day; copies named by older versions, by the opening
    // alone, count as older than any numbered one. Other files are not the program's to touch.
    void keepsTheNewestMade_data()
    {
        QTest::addColumn<QList<int>>("days"); // the opening of each closed day, in closing order
        QTest::addColumn<int>("keep");
        QTest::addColumn<QStringList>("oldNames");
        QTest::addColumn<QStringList>("oldKept"); // of oldNames, newest first
        QTest::newRow("sixteen closings, out of order")
            << QList<int>{5, 1, 16, 2, 9, 3, 12, 4, 6, 7, 8, 10, 11, 13, 14, 15} << kBackupsKept
            << QStringList() << QStringList();
        QTest::newRow("clock set back") << QList<int>{10, 11, 12, 1, 2} << 3 << QStringList()
                                        << QStringList();
        QTest::newRow("clock ahead, then put right")
            << QList<int>{400, 1, 2, 3} << 3 << QStringList() << QStringList();
        QTest::newRow("copies named by an older version")
            << QList<int>{1, 2} << 4
            << QStringList{"bd1-2026-03-08_09-00-00", "bd1-2026-12-31_23-59-59",
                           "bd1-2026-02-28_21-30-05"}
            << QStringList{"bd1-2026-12-31_23-59-59", "bd1-2026-03-08_09-00-00"};
    }
    void keepsTheNewestMade()
    {
        QFETCH(QList<int>, days);
        QFETCH(int, keep);
        QFETCH(QStringList, oldNames);
        QFETCH(QStringList, oldKept);
        TempShop shop;
        const QDir folder(backupFolder(shop.dbPath()));
        QVERIFY(QDir().mkpath(folder.path()));
        for (const QString& name : oldNames + QStringList{"notas.txt", "bd1-copia"})
            QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));

        QStringList made;
        for (int day : days)
            made.prepend(QFileInfo(backUpDatabase(shop.db, kOpened.addDays(day), keep).path).fileName());
        const QStringList expected = (made + oldKept).mid(0, keep);
        QCOMPARE(backupsNewestFirst(shop.dbPath()), expected);
        QCOMPARE(newestName(shop.dbPath()), made.first());
        QVERIFY(folder.exists(QStringLiteral("notas.txt")) && folder.exists(QStringLiteral("bd1-copia")));
        QCOMPARE(folder.entryList(QDir::Files).size(), expected.size() + 2);
    }

    // A copy put back takes bd1's name only once it has been checked whole; what was there, its
    // journal files included, keeps its bytes under a free name; the copy stays in its folder.
    // A copy that cannot be used changes nothing.
    void putBackChecksFirst_data()
    {
        QTest::addColumn<QStringList>("present"); // files at the place of bd1 before
        QTest::addColumn<QString>("copy");        // "good", "garbage" or "damaged"
        QTest::addColumn<QString>("aside");       // the name bd1 is set aside under, if any
        QTest::newRow("bd1 and its journal")
            << QStringList{"bd1", "bd1-wal", "bd1-shm"} << "good" << "bd1-apartado-1";
        QTest::newRow("a name already taken")
            << QStringList{"bd1", "bd1-apartado-1", "bd1-apartado-2-shm"} << "good"
            << "bd1-apartado-3";
        QTest::newRow("bd1 missing, its old journal left")
            << QStringList{"bd1-wal"} << "good" << "bd1-apartado-1";
        QTest::newRow("nothing there") << QStringList() << "good" << "";
        QTest::newRow("copy that is not a database") << QStringList{"bd1", "bd1-wal"} << "garbage"
                                                     << "";
        QTest::newRow("copy damaged inside") << QStringList{"bd1"} << "damaged" << "";
    }
    void putBackChecksFirst()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, copy);
        QFETCH(QString, aside);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        QString made;
        {
            createDatabase(path, kDatabaseKey);
            Database source;
            source.open(path);
            prepareDatabase(source);
            Transaction tx(source);
            for (int i = 0; i < 400; ++i)
                source.execute(QStringLiteral("INSERT INTO Productos (CodigoProducto, NombreProducto) "
                                              "VALUES ('%1', 'Producto de nombre largo %1')")
                                   .arg(i));
            tx.commit();
            made = backUpDatabase(source, kOpened).path;
        }
        QVERIFY(QFile::remove(path));
        if (copy != QLatin1String("good")) {
            QFile file(made);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(copy == QLatin1String("garbage") ? 0 : file.size() / 2 + 300));
            file.write(QByteArray(copy == QLatin1String("garbage") ? 4096 : 64, '\x5a'));
        }
        QMap<QString, QByteArray> before;
        for (const QString& name : present) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8() + " de antes");
            file.close();
            before[name] = fileHash(file.fileName());
        }
        const QByteArray copyBefore = fileHash(made);
        const QStringList folderBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

        DbError::Cause cause = DbError::Cause::Other;
        QString result;
        QString failure;
        try {
            result = putBackCopy(path, made);
        } catch (const DbError& e) {
            failure = e.message();
            cause = e.cause();
        }
        QCOMPARE(fileHash(made), copyBefore);
        if (copy != QLatin1String("good")) {
            QVERIFY2(failure.contains(made), qPrintable(failure));
            QCOMPARE(cause, DbError::Cause::Contents);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), folderBefore);
            for (const QString& name : present)
                QCOMPARE(fileHash(dir.filePath(name)), before[name]);
            return;
        }
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(result, aside);
        QCOMPARE(fileHash(path), copyBefore);
        for (const QString& name : present) {
            const QString now = name.startsWith(QLatin1String("bd1-apartado"))
                                    ? name
                                    : aside + name.mid(3); // bd1-wal -> <aside>-wal
            QCOMPARE(fileHash(dir.filePath(now)), before[name]);
        }
        QStringList expected = present;
        for (QString& name : expected)
            if (!name.startsWith(QLatin1String("bd1-apartado")))
                name = aside + name.mid(3);
        expected << QStringLiteral("bd1");
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);
        QCOMPARE(valueIn(path, "select count(*) from Productos"), QStringLiteral("400"));
    }

    void failureLeavesTheFolderAsItWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("folder name taken by a file") << "file"
                                                     << "hay un archivo, no una carpeta";
        QTest::newRow("full disk") << "full"
                                   << "el disco está lleno";
    }
    void failureLeavesTheFolderAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        TempShop shop;
        SmallDisk disk("1m");
        if (kind == QLatin1String("full")) {
            if (!disk.mounted())
                QSKIP("cannot mount a small disk here (needs root)");
            shop.db.close();
            QVERIFY(QFile::copy(shop.dbPath(), disk.filePath(QStringLiteral("bd1"))));
            shop.db.open(disk.filePath(QStringLiteral("bd1")));
            prepareDatabase(shop.db);
            backUpDatabase(shop.db, kOpened.addDays(-1));
            QVERIFY(disk.fill());
        } else {
            QFile taken(backupFolder(shop.dbPath()));
            QVERIFY(taken.open(QIODevice::WriteOnly));
        }
        const QStringList before =
            QDir(backupFolder(shop.db.path())).entryList(QDir::Files | QDir::Hidden);
        QString message;
        try {
            backUpDatabase(shop.db, kOpened);
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(backupFolder(shop.db.path()) + QStringLiteral("/bd1-")) &&
                     message.contains(QStringLiteral("-2026-03-09_09-05-07")) &&
                     message.contains(cause),
                 qPrintable(message));
        QCOMPARE(QDir(backupFolder(shop.db.path())).entryList(QDir::Files | QDir::Hidden), before);
        if (kind == QLatin1String("full")) {
            QVERIFY(disk.release());
            backUpDatabase(shop.db, kOpened);
            QCOMPARE(newestName(shop.db.path()), QStringLiteral("bd1-000002-2026-03-09_09-05-07"));
            shop.db.close();
        }
    }

    // The exit closes the day, then copies the file; a copy that fails is told once and the day
    // stays closed.
    void exitClosesThenCopies_data()
    {
        QTest::addColumn<bool>("copyFails");
        QTest::newRow("copy made") << false;
        QTest::newRow("copy fails") << true;
    }
    void exitClosesThenCopies()
    {
        QFETCH(bool, copyFails);
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        if (copyFails)
            QVERIFY(QFile(backupFolder(d.shop.dbPath())).open(QIODevice::WriteOnly));
        d.shop.messages.answer(true);
        QVERIFY(f.close());
        QCOMPARE(d.shop.count(QStringLiteral("Temporal")), 0);
        QCOMPARE(d.shop.count(QStringLiteral("Recaudacion")), 1);
        QCOMPARE(d.shop.messages.unexpectedQuestions, 0);
        if (copyFails) {
            QCOMPARE(d.shop.messages.boxes.size(), 2);
            QCOMPARE(d.shop.messages.boxes[1].icon, Messages::Icon::Exclamation);
            QVERIFY2(d.shop.messages.lastText().contains(QStringLiteral("quedó cerrado")) &&
                         d.shop.messages.lastText().contains(
                             QStringLiteral("No se pudo hacer la copia de respaldo")),
                     qPrintable(d.shop.messages.lastText()));
            return;
        }
        QCOMPARE(d.shop.messages.boxes.size(), 1); // the exit question only
        QCOMPARE(newestName(d.shop.dbPath()), QStringLiteral("bd1-000001-2026-03-09_09-05-07"));
        QCOMPARE(valueIn(newestBackup(d.shop.dbPath()), "select count(*) from Recaudacion"),
                 QStringLiteral("1"));
    }
};

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
