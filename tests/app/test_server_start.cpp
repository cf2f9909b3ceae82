// A till started on a server, and a shop file moved into one.
#include "app/server_setting.h"
#include "app/startup.h"
#include "data/database.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/server_copy.h"
#include "data/engine.h"
#include "data/server_engine.h"
#include "support/fakes.h"
#include "support/test_server.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {

void writeSetting(const QString& folder, const QString& connection, const QString& till)
{
    QFile file(QDir(folder).filePath(kServerSettingFileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[servidor]\nconexion=%1\ncaja=%2\n").arg(connection, till).toUtf8());
}

// A shop file with two products, an open day of one line and a closed day of two.
QString makeShopFile(const QString& folder)
{
    const QString path = QDir(folder).filePath(kDatabaseFileName);
    createDatabase(path, kDatabaseKey);
    Database file;
    file.open(path);
    for (const QString& sql :
         {QStringLiteral("insert into Productos (CodigoProducto, NombreProducto, Cantidad, PrecioVenta) "
                         "values ('100', 'Pan', 10, 990), ('200', 'Leche', 5.5, 1200)"),
          QStringLiteral("insert into Temporal (CodigoProducto, Cantidad, TotalVenta, FechaInicio) "
                         "values ('100', 1, 990, '2026-03-10 09:05:07')"),
          QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta) values "
                         "('2026-03-09 09:05:07', 2190, 0), ('2026-03-10 09:05:07', 990, 0)"),
          QStringLiteral("insert into Recaudacion (CodigoProducto, Cantidad, TotalVenta, FechaInicio) "
                         "values ('100', 1, 990, '2026-03-09 09:05:07'), "
                         "('200', 1, 1200, '2026-03-09 09:05:07')")})
        Query(file, sql).execute();
    file.close();
    return path;
}

// The rows of a read, cells as stored bytes joined by "|", NULL as "NULL", rows by "\n".
QByteArray storedRows(Database& db, const QString& sql)
{
    QByteArrayList rows;
    Query read(db, sql);
    while (read.next()) {
        QByteArrayList cells;
        for (int i = 0; i < read.columnCount(); ++i) {
            const auto cell = read.cell(i);
            const QUtf8StringView bytes = cell.utf8();
            cells << (read.isNull(i) ? QByteArray("NULL") : QByteArray(bytes.data(), bytes.size()));
        }
        rows << cells.join('|');
    }
    return rows.join('\n');
}

} // namespace

class TestServerStart : public QObject {
    Q_OBJECT

private slots:
    void emptyDatabaseBecomesTheShopOnlyWhenAgreed_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("agreed") << true;
        QTest::newRow("declined") << false;
    }
    void emptyDatabaseBecomesTheShopOnlyWhenAgreed()
    {
        QFETCH(bool, agree);
        ServerDatabase server;
        FakeMessages messages;
        messages.answer(agree);
        Database db;
        QCOMPARE(openShopServer(db, {server.connection(), QStringLiteral("Caja 1")}, messages), agree);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.lastText().contains(server.name()));

        Database look;
        look.openServer(server.connection(), QStringLiteral("Mirada"));
        QCOMPARE(serverDatabaseEmpty(look), !agree);
        if (agree)
            QCOMPARE(countOf(look, QStringLiteral("select count(*) from Usuarios")), 1);
    }

    // Two tills that both found the database empty: the second finds it made and goes on.
    void databaseMadeOnceByTwoTills()
    {
        ServerDatabase server;
        Database first;
        Database second;
        first.openServer(server.connection(), QStringLiteral("Caja 1"));
        second.openServer(server.connection(), QStringLiteral("Caja 2"));
        QVERIFY(serverDatabaseEmpty(first) && serverDatabaseEmpty(second));
        createServerSchema(first);
        createServerSchema(second);
        QCOMPARE(countOf(second, QStringLiteral("select count(*) from Usuarios")), 1);
    }

    void startRefusedWithTheServerNamed()
    {
        ServerDatabase server;
        FakeMessages messages;
        messages.answer(true);
        Database first;
        QVERIFY(openShopServer(first, {server.connection(), QStringLiteral("Caja 1")}, messages));

        // The same till twice, held from another machine (never ended, nor asked about), and a
        // database that is not there.
        Query(first, QStringLiteral("update tarvino_cajas set equipo = 'otro-equipo'")).execute();
        Database second;
        QVERIFY(!openShopServer(second, {server.connection(), QStringLiteral("Caja 1")}, messages));
        QVERIFY(messages.lastText().contains(QStringLiteral("Caja 1")));
        QVERIFY(!second.isOpen() && !engineOf(first)->lost());
        Database missing;
        const QString nowhere = server.connection().replace(server.name(), QStringLiteral("no_hay_tal"));
        QVERIFY(!openShopServer(missing, {nowhere, QStringLiteral("Caja 2")}, messages));
        QVERIFY(messages.lastText().contains(QStringLiteral("no_hay_tal")));
        QCOMPARE(messages.unexpectedQuestions, 0);
    }

    void tillLeftOnThisMachine_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("taken over") << true;
        QTest::newRow("left as it is") << false;
    }
    // A till whose machine lost its power finds its old session still holding it: it may end that
    // session once the cashier says so.
    void tillLeftOnThisMachine()
    {
        QFETCH(bool, agree);
        ServerDatabase server;
        // As the server's superuser, who may end any session (a shop's role may end its own).
        const ServerSetting setting{testServer() + QStringLiteral(" dbname=") + server.name(),
                                    QStringLiteral("Caja 1")};
        FakeMessages messages;
        messages.answer(true); // the tables made
        messages.answer(agree);
        Database left, again;
        QVERIFY(openShopServer(left, setting, messages));
        QCOMPARE(openShopServer(again, setting, messages), agree);
        QCOMPARE(engineOf(left)->lost(), agree);
        QCOMPARE(messages.boxes.at(1).kind, FakeMessages::Box::Ask);
        QVERIFY2(messages.boxes.at(1).text.contains(QStringLiteral("ya está abierta")),
                 qPrintable(messages.boxes.at(1).text));
    }

    void shopFileCopiedWholeOnce()
    {
        ServerDatabase server;
        QTemporaryDir folder;
        const QString path = makeShopFile(folder.path());
        writeSetting(folder.path(), server.connection(), QStringLiteral("Caja 1"));

        bool copied = false;
        const QString said = copyToServer(folder.path(), path, QStringLiteral("equipo"), copied);
        QVERIFY2(copied, qPrintable(said));

        Database db;
        db.openServer(server.connection(), QStringLiteral("Caja 1"));
        QCOMPARE(countOf(db, QStringLiteral("select count(*) from Productos")), 2);
        QCOMPARE(countOf(db, QStringLiteral("select count(*) from Usuarios")), 1);
        // The file's open day is this till's open day; the history is the whole shop's.
        QCOMPARE(countOf(db, QStringLiteral("select count(*) from Temporal")), 1);
        QCOMPARE(countOf(db, QStringLiteral("select count(*) from Recaudacion")), 2);
        {
            Query stock(db, QStringLiteral("select Cantidad from Productos where CodigoProducto = '200'"));
            QVERIFY(stock.next());
            QCOMPARE(stock.number(0), 5.5);
        }
        db.close();
        Database other;
        other.openServer(server.connection(), QStringLiteral("Caja 2"));
        QCOMPARE(countOf(other, QStringLiteral("select count(*) from Temporal")), 0);
        other.close();

        // A second copy finds a shop there and changes nothing.
        QVERIFY(!copyToServer(folder.path(), path, QStringLiteral("equipo"), copied).isEmpty());
        QVERIFY(!copied);
        Database again;
        again.openServer(server.connection(), QStringLiteral("Caja 1"));
        QCOMPARE(countOf(again, QStringLiteral("select count(*) from Productos")), 2);
    }

    // A cell reaches the server exactly as the program reads it in the file, or the copy is
    // refused naming it, with nothing left on the server; the file itself is only read.
    void copyKeepsEveryCell_data()
    {
        QTest::addColumn<QString>("change"); // made to the file before the copy
        QTest::addColumn<QString>("look");   // read on the server after a copy
        QTest::addColumn<QByteArray>("expected"); // what it reads, or the words of the refusal
        const QString names = QStringLiteral("select NombreProducto from Productos order by rowid");
        QTest::newRow("bytes that are no UTF-8")
            << "update Productos set NombreProducto = cast(x'50616EE9' as text) where rowid = 1"
            << QString() << QByteArray("Productos|rowid 1|NombreProducto|Pan\\xE9");
        QTest::newRow("a NUL byte")
            << "update Productos set NombreProducto = cast(x'500061' as text) where rowid = 2"
            << QString() << QByteArray("Productos|rowid 2|NombreProducto|P\\x00a");
        QTest::newRow("text byte for byte")
            << "update Productos set NombreProducto = cast(x'EFBBBF50616E20C3B1E298830D0A20' as text) "
               "where rowid = 1"
            << names << QByteArray("\xEF\xBB\xBFPan \xC3\xB1\xE2\x98\x83\r\n \nLeche");
        QTest::newRow("a stamp the server would round")
            << "update Recaudacion set FechaVenta = '2026-03-09 10:00:00.6' where rowid = 2"
            << QString() << QByteArray("Recaudacion|rowid 2|FechaVenta|10:00:00.6");
        QTest::newRow("text in an amount")
            << "update Productos set Cantidad = 'mucho' where rowid = 2" << QString()
            << QByteArray("Productos|rowid 2|Cantidad|mucho");
        QTest::newRow("rights of an earlier version")
            << "pragma user_version = 0; insert into Usuarios (NombreUsuario, Nivel, "
               "permisoproductos, permisorecaudacion) values ('ana', null, null, null), "
               "('beto', '', '', ''), ('carla', null, 1, ''), ('dora', 0, 0, 0)"
            << "select NombreUsuario, Nivel, permisoproductos, permisorecaudacion from Usuarios "
               "order by rowid"
            << QByteArray("admin|1|1|1\nana|1|1|1\nbeto|1|1|1\ncarla|NULL|1|NULL\ndora|0|0|0");
        QTest::newRow("rights given already")
            << "insert into Usuarios (NombreUsuario) values ('ana')"
            << "select NombreUsuario, Nivel from Usuarios order by rowid"
            << QByteArray("admin|1\nana|NULL");
    }
    void copyKeepsEveryCell()
    {
        QFETCH(QString, change);
        QFETCH(QString, look);
        QFETCH(QByteArray, expected);
        ServerDatabase server;
        QTemporaryDir folder;
        const QString path = makeShopFile(folder.path());
        writeSetting(folder.path(), server.connection(), QStringLiteral("Caja 1"));
        Database file;
        file.open(path);
        file.execute(change);
        file.close();
        const QByteArray before = fileHash(path);

        bool copied = false;
        const QString said = copyToServer(folder.path(), path, QStringLiteral("equipo"), copied);
        QVERIFY2(copied == !look.isEmpty(), qPrintable(said));
        QCOMPARE(fileHash(path), before);
        Database db;
        db.openServer(server.connection(), QStringLiteral("Caja 1"));
        if (copied) {
            QCOMPARE(storedRows(db, look), expected);
            return;
        }
        for (const QByteArray& word : expected.split('|'))
            QVERIFY2(said.contains(QString::fromUtf8(word)), qPrintable(said));
        QVERIFY(!serverHoldsShop(db));
    }

    void copyWithoutServerSettingRefused()
    {
        QTemporaryDir folder;
        const QString path = makeShopFile(folder.path());
        bool copied = true;
        const QString said = copyToServer(folder.path(), path, QStringLiteral("equipo"), copied);
        QVERIFY(!copied);
        QVERIFY(said.contains(kServerSettingFileName));
    }
};

QTEST_GUILESS_MAIN(TestServerStart)
#include "test_server_start.moc"
