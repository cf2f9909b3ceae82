// The PostgreSQL engine: the server's dialect, the kinds of its cells, each till's own day, one
// till per name, shared stock without lost updates, and the servers that are refused.
#include "catalogue/products.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/query.h"
#include "data/engine.h"
#include "data/server_engine.h"
#include "reports/history.h"
#include "support/temp_shop.h"
#include "support/test_server.h"
#include "support/test_support.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QRegularExpression>
#include <QTest>

#include <arpa/inet.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <future>
#include <thread>

using namespace tarvino;
using namespace tarvino::test;

namespace {

void addDayLine(Database& db, const QString& code, const QString& opened)
{
    Query(db,
          QStringLiteral("insert into Temporal (CodigoProducto, Cantidad, TotalVenta, TipoPago, "
                         "FechaInicio, FechaVenta) values (?, 1, 100, 'EFECTIVO', ?, ?)"),
          {code, opened, opened})
        .execute();
    Query(db, QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial) "
                             "values (?, 100, 0, 0)"),
          {opened})
        .execute();
}

} // namespace

class TestServerEngine : public QObject {
    Q_OBJECT

private slots:
    void placeholders_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("count");
        QTest::newRow("several") << "select a from t where b = ? and c = ?"
                                 << "select a from t where b = $1 and c = $2" << 2;
        QTest::newRow("in a literal") << "select '?', ? from t" << "select '?', $1 from t" << 1;
        QTest::newRow("doubled quote") << "select 'it''s ?' || ? from t"
                                       << "select 'it''s ?' || $1 from t" << 1;
        QTest::newRow("quoted identifier") << "select \"a?b\" from t where x = ?"
                                           << "select \"a?b\" from t where x = $1" << 1;
        QTest::newRow("comment") << "select 1 -- ¿y?\nwhere x = ?" << "select 1 -- ¿y?\nwhere x = $1"
                                 << 1;
        QTest::newRow("is") << "from Temporal where FechaVenta is ? order by rowid"
                            << "from Temporal where FechaVenta is not distinct from $1 order by rowid"
                            << 1;
        QTest::newRow("a name ending in is") << "where this = ?" << "where this = $1" << 1;
        QTest::newRow("like") << "where n LIKE ? escape '\\'" << "where n ilike $1 escape '\\'" << 1;
        QTest::newRow("a name with like") << "select likely, unlike from t" << "select likely, unlike from t"
                                          << 0;
    }
    void placeholders()
    {
        QFETCH(QString, sql);
        QFETCH(QString, server);
        QFETCH(int, count);
        int found = -1;
        QCOMPARE(serverStatementText(sql, &found), server);
        QCOMPARE(found, count);
    }

    void cellKinds_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const int integer = int(Cell::Kind::Integer);
        const int real = int(Cell::Kind::Real);
        const int text = int(Cell::Kind::Text);
        QTest::newRow("int4") << "7::int4" << integer << "7";
        QTest::newRow("int8") << "-9007199254740993::bigint" << integer << "-9007199254740993";
        QTest::newRow("bool") << "exists (select 1)" << integer << "1";
        QTest::newRow("float8") << "2.5::float8" << real << "2.5";
        QTest::newRow("numeric") << "sum(x) from (values (1.25), (1)) v(x)" << real << "2.25";
        QTest::newRow("text") << "'Leche'::text" << text << "Leche";
        QTest::newRow("timestamp") << "timestamp '2026-03-09 09:05:07'" << text << "2026-03-09 09:05:07";
        QTest::newRow("null") << "null::text" << int(Cell::Kind::Null) << "";
    }
    void cellKinds()
    {
        QFETCH(QString, expression);
        QFETCH(int, kind);
        QFETCH(QString, text);
        TempShop shop;
        Query row(shop.db, QStringLiteral("select ") + expression);
        QVERIFY(row.next());
        QCOMPARE(int(row.cell(0).kind()), kind);
        QCOMPARE(row.cell(0).text(QLocale::c()), text);
    }

    // A double goes to the server as text and comes back the same double.
    void valuesComeBackWhole()
    {
        TempShop shop;
        const double amount = 0.1 + 0.2;
        shop.addProduct({QStringLiteral("0012"), QStringLiteral("Pan"), amount});
        Query row(shop.db, QStringLiteral("select Cantidad, CodigoProducto from Productos where "
                                          "CodigoProducto = ?"),
                  {QStringLiteral("0012")});
        QVERIFY(row.next());
        QCOMPARE(row.cell(0).real(), amount);
        QCOMPARE(row.text(1), QStringLiteral("0012"));
    }

    // As the shop's own role, and as a superuser, whom the server's rules would let see every
    // till's rows.
    void tillsKeepTheirOwnDay_data()
    {
        QTest::addColumn<bool>("superuser");
        QTest::newRow("shop's role") << false;
        QTest::newRow("superuser") << true;
    }
    void tillsKeepTheirOwnDay()
    {
        QFETCH(bool, superuser);
        TempShop shop;
        shop.db.close();
        static const QRegularExpression database(QStringLiteral("dbname=\\S+"));
        const QString connection =
            superuser ? testServer() + QLatin1Char(' ') + database.match(shop.connection()).captured(0)
                      : shop.connection();
        Database first, second;
        first.openServer(connection, QStringLiteral("Caja 1"));
        second.openServer(connection, QStringLiteral("Caja 2"));
        addDayLine(first, QStringLiteral("100"), QStringLiteral("2026-03-09 09:00:00"));
        addDayLine(second, QStringLiteral("200"), QStringLiteral("2026-03-09 09:30:00"));

        for (Database* db : {&first, &second}) {
            QCOMPARE(countOf(*db, QStringLiteral("select count(*) from Temporal")), 1);
            QCOMPARE(countOf(*db, QStringLiteral("select count(*) from TipoPago")), 1);
        }
        QCOMPARE(Query(second, QStringLiteral("delete from Temporal")).execute(), 1);
        QCOMPARE(countOf(first, QStringLiteral("select count(*) from Temporal")), 1);

        // The history is the whole shop's, and the till's own day comes back after it.
        QCOMPARE(historyChoices(first, QDate(2026, 3, 9)).days,
                 (QStringList{QStringLiteral("09/03/2026 9:00:00"), QStringLiteral("09/03/2026 9:30:00")}));
        {
            ShopWideReads everyTill(first);
            QCOMPARE(countOf(first, QStringLiteral("select count(*) from TipoPago")), 2);
        }
        QCOMPARE(countOf(first, QStringLiteral("select count(*) from TipoPago")), 1);
    }

    // Two tills that open their days in the same second: each day is its own, lines and takings,
    // whichever till looks; the month is both.
    void sameSecondDaysKeptApart_data()
    {
        QTest::addColumn<QString>("till");
        QTest::addColumn<QStringList>("labels"); // sale, cash, card
        QTest::newRow("first") << "Caja 1"
                               << QStringList{"Venta Total $ 100,", "Efectivo $ 100,", "Tarjeta $ ,"};
        QTest::newRow("second") << "Caja 2"
                                << QStringList{"Venta Total $ 50,", "Efectivo $ ,", "Tarjeta $ 50,"};
        QTest::newRow("the month")
            << "" << QStringList{"Venta Total $ 150,", "Efectivo $ 100,", "Tarjeta $ 50,"};
    }
    void sameSecondDaysKeptApart()
    {
        QFETCH(QString, till);
        QFETCH(QStringList, labels);
        TempShop shop;
        shop.db.close();
        Database first, second;
        first.openServer(shop.connection(), QStringLiteral("Caja 1"));
        second.openServer(shop.connection(), QStringLiteral("Caja 2"));
        const QString opened = QStringLiteral("2026-03-09 09:00:00");
        for (auto [db, amount, kind] :
             {std::tuple{&first, 100, "EFECTIVO"}, std::tuple{&second, 50, "TARJETA"}}) {
            const bool cash = kind == QLatin1String("EFECTIVO");
            Query(*db, QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, "
                                      "FechaCierre) values (?, ?, ?, ?)"),
                  {opened, cash ? amount : 0, cash ? 0 : amount, opened})
                .execute();
            Query(*db, QStringLiteral("insert into Recaudacion (CodigoProducto, Cantidad, "
                                      "TotalVenta, TipoPago, FechaInicio) values (?, 1, ?, ?, ?)"),
                  {QString::number(amount), amount, QString::fromLatin1(kind), opened})
                .execute();
        }
        const HistoryChoices choices = historyChoices(second, QDate(2026, 3, 9));
        QCOMPARE(choices.dayItems(), (QStringList{QStringLiteral("09/03/2026 9:00:00 (Caja 1)"),
                                                   QStringLiteral("09/03/2026 9:00:00 (Caja 2)")}));
        const QString day = QStringLiteral("09/03/2026 9:00:00");
        const HistoryResult found =
            till.isEmpty() ? monthlySearch(second, QStringLiteral("Marzo"), QStringLiteral("2026"), {}, kChile)
                           : dailySearch(second, day, till, {}, kChile);
        QCOMPARE((QStringList{found.label7, found.label9, found.label11}), labels);
        QCOMPARE(found.lines.size(), size_t(till.isEmpty() ? 2 : 1));
    }

    void sameTillRefused()
    {
        TempShop shop;
        Database again;
        const QString refusal = errorOf([&] { again.openServer(shop.connection(), kTestTill); });
        QVERIFY2(refusal.contains(QStringLiteral("La caja «%1» ya está abierta").arg(kTestTill)),
                 qPrintable(refusal));
        QVERIFY2(refusal.contains(QSysInfo::machineHostName()), qPrintable(refusal));
        QVERIFY(!again.isOpen());
        // The lock goes with the session that held it.
        shop.db.close();
        again.openServer(shop.connection(), kTestTill);
        QVERIFY(again.isOpen());
        // A fresh look as the same till, at once and again, never finds the till still held by
        // the session it has just let go of.
        for (int look = 0; look < 200; ++look)
            again.reopen();
    }

    // Two tills sell the same product at once: the second waits for the first's quantity.
    void stockWithoutLostUpdate()
    {
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10});
        Database second;
        second.openServer(shop.connection(), QStringLiteral("Caja 2"));

        Transaction first(shop.db);
        reduceStock(shop.db, QStringLiteral("100"), 1);
        QString failure;
        std::thread other([&] {
            try {
                Transaction tx(second);
                reduceStock(second, QStringLiteral("100"), 2.5);
                tx.commit();
            } catch (const DbError& e) {
                failure = e.message();
            }
        });
        QTest::qWait(300);
        first.commit();
        other.join();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(shop.scalar(QStringLiteral("select Cantidad from Productos")).toDouble(), 6.5);
    }

    void serversRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("unreachable") << "unreachable";
        QTest::newRow("a password libpq repeats") << "secret";
        QTest::newRow("another program's database") << "foreign";
    }
    void serversRefused()
    {
        QFETCH(QString, kind);
        TempShop shop;
        QString connection = shop.connection();
        // libpq speaking the shop's language, which the program does not read.
        QVERIFY(std::setlocale(LC_MESSAGES, "es_CL.UTF-8"));
        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        const auto restore =
            qScopeGuard([&] { std::setlocale(LC_MESSAGES, "C"), qInstallMessageHandler(previous); });
        if (kind == QLatin1String("unreachable"))
            connection = QStringLiteral("host=/nonexistent/tarvino port=5999 dbname=tienda "
                                        "connect_timeout=2");
        else if (kind == QLatin1String("secret"))
            connection = QStringLiteral("postgresql://tarvino:SECRETO@[::1/tienda");
        else
            shop.execute(QStringLiteral("create table clientes (nombre text)"));
        Database db;
        const QString refusal = errorOf([&] { db.openServer(connection, QStringLiteral("Caja 9")); });
        QVERIFY(!db.isOpen());
        // What libpq said goes to the log, in full but for a password; the cashier reads what to do.
        const QString log = logged.join(QLatin1Char('\n'));
        QVERIFY(!refusal.contains(QLatin1String("..")) && !refusal.contains(QLatin1String("SECRETO")));
        QVERIFY2(!log.contains(QLatin1String("SECRETO")), qPrintable(log));
        if (kind == QLatin1String("secret")) {
            QVERIFY2(log.contains(QLatin1String("IPv6")), qPrintable(log));
        } else if (kind == QLatin1String("unreachable")) {
            QVERIFY2(refusal.contains(QStringLiteral("«/nonexistent/tarvino:5999»")) &&
                         refusal.contains(QStringLiteral("«tienda»")) &&
                         refusal.contains(QStringLiteral("no responde")) &&
                         refusal.contains(QStringLiteral("esté encendida")) &&
                         !refusal.contains(QStringLiteral("/.s.PGSQL")),
                     qPrintable(refusal));
            QVERIFY(log.contains(QStringLiteral("/.s.PGSQL")));
        } else {
            QVERIFY2(refusal.contains(QStringLiteral("no es de Tarvino")) &&
                         refusal.contains(QStringLiteral("clientes")),
                     qPrintable(refusal));
            // Refused before anything was written: the till is not noted as running.
            QCOMPARE(shop.scalar(QStringLiteral("select count(*) from tarvino_cajas where caja = "
                                                "'Caja 9'"))
                         .toInt(),
                     0);
        }
    }

    // A server machine that hangs while a till starts: its port takes the connection and nothing
    // ever answers. (Pausing the shared test server would stall the other tests.)
    void silentServerAtStart()
    {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const auto closed = qScopeGuard([&] { ::close(listener); });
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                ::listen(listener, 4) == 0 &&
                ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        const QString connection = QStringLiteral("host=127.0.0.1 port=%1 dbname=tienda user=caja")
                                       .arg(ntohs(address.sin_port));
        auto failure = std::async(std::launch::async, [&] {
            return errorOf([&] { Database().openServer(connection, QStringLiteral("Caja 3")); });
        });
        QVERIFY(failure.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        QVERIFY(failure.get().contains(QStringLiteral("no responde")));
    }

    void silentServer_data()
    {
        QTest::addColumn<bool>("paused");  // this till's session, else a row another till holds
        QTest::addColumn<QString>("told"); // a part of the message
        QTest::newRow("this till's session") << true << "no responde";
        QTest::newRow("a row another till holds") << false << "tardó demasiado";
    }
    // A server that stops answering, without closing anything, is told within seconds; the till
    // goes on once it answers again.
    void silentServer()
    {
        QFETCH(bool, paused);
        QFETCH(QString, told);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10});
        Database holder;
        holder.openServer(shop.connection(), QStringLiteral("Caja 2"));
        const auto operation = [&] {
            Transaction tx(shop.db);
            reduceStock(shop.db, QStringLiteral("100"), 1);
            tx.commit();
        };
        // Paused as a hung machine leaves it; resumed at the end, or by a shell should this program die.
        const auto session = pid_t(engineOf(shop.db)->session());
        const auto release = [&] { paused ? void(::kill(session, SIGCONT)) : holder.rollback(); };
        if (paused) {
            QProcess::startDetached(QStringLiteral("sh"),
                                    {QStringLiteral("-c"), QStringLiteral("sleep 40; kill -CONT %1").arg(session)});
            QVERIFY(::kill(session, SIGSTOP) == 0);
        } else {
            holder.begin();
            Query(holder, QStringLiteral("update Productos set Cantidad = Cantidad")).execute();
        }
        auto failure = std::async(std::launch::async, [&] { return errorOf(operation); });
        const auto releasedAnyway = qScopeGuard(release); // before the wait for the operation ends
        QVERIFY(failure.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        release();
        const QString said = failure.get();
        QVERIFY2(said.contains(told), qPrintable(said));
        // Answering again, the server serves the same till, which takes nothing twice.
        QString again;
        for (int tries = 0; tries < 10 && !(again = errorOf(operation)).isEmpty(); ++tries)
            QTest::qWait(500);
        QVERIFY2(again.isEmpty(), qPrintable(again));
        QCOMPARE(shop.scalar(QStringLiteral("select Cantidad from Productos")).toDouble(), 9.0);
    }

    void rowRulesCompareNamesExactly_data()
    {
        QTest::addColumn<bool>("earlierVersion");
        QTest::newRow("tables made now") << false;
        QTest::newRow("tables of the earlier version, at the next start") << true;
    }
    // A till named "*" is a till like any other: it sees no other till's day.
    void rowRulesCompareNamesExactly()
    {
        QFETCH(bool, earlierVersion);
        TempShop shop;
        addDayLine(shop.db, QStringLiteral("100"), QStringLiteral("2026-03-09 09:00:00"));
        for (const char* table : {"Temporal", "TipoPago"})
            if (earlierVersion)
                shop.db.execute(QStringLiteral("DROP POLICY caja_propia ON %1; CREATE POLICY caja_propia ON "
                                               "%1 USING (caja = current_setting('tarvino.caja', true) or "
                                               "current_setting('tarvino.caja', true) = '*'); "
                                               "UPDATE tarvino_version SET version = 1")
                                    .arg(QLatin1String(table)));
        Database star;
        star.openServer(shop.connection(), QStringLiteral("*"));
        QCOMPARE(countOf(star, QStringLiteral("select (select count(*) from Temporal) + count(*) "
                                              "from TipoPago")),
                 0);
    }

    // A connection the server ends is replaced by a new one at the next read.
    void lostConnection()
    {
        TempShop shop;
        const qint64 pid = countOf(shop.db, QStringLiteral("select pg_backend_pid()"));
        Database admin;
        admin.openServer(shop.connection(), QStringLiteral("Caja 2"));
        // Back to the test server's own superuser, who may end another session.
        admin.execute(QStringLiteral("SET ROLE NONE"));
        Query(admin, QStringLiteral("select pg_terminate_backend(?, 5000)"), {pid}).next();
        QCOMPARE(countOf(shop.db, QStringLiteral("select count(*) from Usuarios")), 1);
        QVERIFY(countOf(shop.db, QStringLiteral("select pg_backend_pid()")) != pid);
    }
};

int main(int argc, char** argv)
{
    // Every case but the dialect's needs the server: this program runs only on it.
    if (!onServer()) {
        std::fprintf(stderr, "test_server_engine corre solo con TARVINO_ENGINE=servidor\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    TestServerEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_engine.moc"
