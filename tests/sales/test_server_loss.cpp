// A till whose server goes away: it connects again at the next operation, a sale cut before its
// commit is not stored and is stored once when charged again, and one whose commit got no answer
// is told as the server shows it.
#include "catalogue/products.h"
#include "data/engine.h"
#include "data/query.h"
#include "data/server_engine.h"
#include "sales/recording.h"
#include "support/temp_shop.h"
#include "support/test_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace tarvino;
using namespace tarvino::test;

using Operation = std::function<void(Database&)>;
Q_DECLARE_METATYPE(Operation)

namespace {

// Milk 2 × 990 and bread 1 × 500, paid in cash.
constexpr double kTotal = 2480;

// A shop on the test server with its two products, a second session of the server's superuser
// that can end the till's session, and a door to the server that can be shut: the till connects
// through a link to the server's socket in a folder of its own, so that removing the link is, for
// this till alone, a server that no longer answers.
struct LosingShop {
    TempShop shop;
    Database admin;
    QTemporaryDir door;
    QString socket;
    QString link;
    SaleLines lines;

    LosingShop()
    {
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10, 700, 990});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan"), 10, 300, 500});
        admin.openServer(shop.connection(), QStringLiteral("Caja 9"));
        admin.execute(QStringLiteral("SET ROLE NONE"));
        Query where(admin, QStringLiteral("select current_setting('unix_socket_directories'), "
                                          "current_setting('port')"));
        where.next();
        socket = QDir(where.text(0).section(QLatin1Char(','), 0, 0).trimmed())
                     .filePath(QStringLiteral(".s.PGSQL.") + where.text(1));
        link = QDir(door.path()).filePath(QFileInfo(socket).fileName());
        open();
        shop.db.close();
        shop.db.openServer(shop.connection() + QStringLiteral(" host='%1'").arg(door.path()), kTestTill);

        for (const auto& [code, quantity] : {std::pair{"100", 2}, std::pair{"200", 1}}) {
            const Product product = *findProductByCode(shop.db, QLatin1String(code));
            mergeDetailLine(lines, product, product.code, quantity, QString::number(quantity));
        }
    }
    ~LosingShop() { open(); }

    void open() { QFile::link(socket, link); }
    void shut() { QFile::remove(link); }
    int session() { return engineOf(shop.db)->session(); }
    // Ends the till's session as an administrator or a restart of the server would, and waits
    // until it is gone.
    void endSession()
    {
        Query ended(admin, QStringLiteral("select pg_terminate_backend(?, 5000)"), {session()});
        QVERIFY(ended.next() && ended.integer(0) == 1);
    }

    SaleToRecord sale() const
    {
        return {lines, QStringLiteral("09/03/2026 9:05:07"), QStringLiteral("admin"),
                QStringLiteral("2480"), QStringLiteral("EFECTIVO")};
    }
    // The writes a sale makes, the commit last, measured on a first sale already stored.
    int writesOfASale()
    {
        shop.faults->failAtWrite(1000);
        recordSale(shop.db, shop.clock, sale());
        const int writes = shop.faults->writesSinceArmed();
        shop.faults->failAtWrite(0);
        return writes;
    }

    // What the server holds: sales stored, stock left of milk and bread, the day's cash.
    void compareStored(int sales, int storedBefore = 0)
    {
        const int all = sales + storedBefore;
        QCOMPARE(shop.count(QStringLiteral("Temporal")), 2 * all);
        QCOMPARE(shop.count(QStringLiteral("TipoPago")), all > 0 ? 1 : 0);
        if (all > 0)
            QCOMPARE(shop.scalar(QStringLiteral("select efectivo from TipoPago")).toDouble(), all * kTotal);
        QCOMPARE(shop.column(QStringLiteral("select Cantidad from Productos order by CodigoProducto")),
                 (QVariantList{10.0 - 2 * all, 10.0 - all}));
    }
};

// The message of a recording refused: empty when it was stored. Fails the test when the outcome is
// unknown.
QString notStoredOf(LosingShop& s)
{
    try {
        recordSale(s.shop.db, s.shop.clock, s.sale());
    } catch (const SaleOutcomeUnknown& e) {
        return QStringLiteral("UNKNOWN: ") + e.message();
    } catch (const DbError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestServerLoss : public QObject {
    Q_OBJECT

private slots:
    void operationAfterTheSessionEnded_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("a look-up") << Operation([](Database& db) {
            QVERIFY(findProductByCode(db, QStringLiteral("200")).has_value());
        });
        QTest::newRow("a change on its own") << Operation([](Database& db) {
            QCOMPARE(Query(db, QStringLiteral("update Productos set StockCritico = 1")).execute(), 2);
        });
        QTest::newRow("a transaction") << Operation([](Database& db) {
            Transaction tx(db);
            reduceStock(db, QStringLiteral("100"), 1);
            tx.commit();
        });
    }
    // The next operation connects again, as the same till, and goes on as if nothing happened.
    void operationAfterTheSessionEnded()
    {
        QFETCH(Operation, operation);
        LosingShop s;
        const int before = s.session();
        s.endSession();
        operation(s.shop.db);
        QVERIFY(s.session() != before);
        Database sameTill;
        const QString refusal = errorOf([&] { sameTill.openServer(s.shop.connection(), kTestTill); });
        QVERIFY2(refusal.contains(QStringLiteral("ya está abierta")), qPrintable(refusal));
    }

    void saleCutBeforeItsCommit_data()
    {
        QTest::addColumn<int>("cut"); // the write that finds the session gone; 0 the commit, -1 the one before
        QTest::newRow("first stock reduction") << 1;
        QTest::newRow("day's takings") << -1;
        QTest::newRow("the commit") << 0;
    }
    void saleCutBeforeItsCommit()
    {
        QFETCH(int, cut);
        LosingShop s;
        const int commit = s.writesOfASale();
        int writes = 0;
        s.shop.db.setWriteGuard([&] {
            if (++writes == (cut > 0 ? cut : commit + cut))
                s.endSession();
        });
        const QString refusal = notStoredOf(s);
        QVERIFY2(refusal.startsWith(QStringLiteral("El servidor de la tienda no responde")),
                 qPrintable(refusal));
        s.shop.db.setWriteGuard({});
        s.compareStored(0, 1);
        QCOMPARE(notStoredOf(s), QString());
        s.compareStored(1, 1);
    }

    // While the server does not answer, every operation says so, naming it; the first one after it
    // is back works.
    void serverDownAndBack()
    {
        LosingShop s;
        s.shut();
        s.endSession();
        for (int attempt = 0; attempt < 2; ++attempt) {
            const QString refusal = notStoredOf(s);
            QVERIFY2(refusal.contains(QStringLiteral("volverá a conectarse solo")) &&
                         refusal.contains(QStringLiteral("«%1:").arg(s.door.path())) &&
                         refusal.contains(QStringLiteral("no responde")) &&
                         !refusal.startsWith(QStringLiteral("UNKNOWN")),
                     qPrintable(refusal));
        }
        s.open();
        QCOMPARE(notStoredOf(s), QString());
        s.compareStored(1);
    }

    void commitWithoutAnswer_data()
    {
        QTest::addColumn<bool>("serverAnswersAfter");
        QTest::newRow("server answers the look") << true;
        QTest::newRow("server gone before the look") << false;
    }
    // The commit reached the server but its answer was lost: the sale is stored, and the till says
    // so once it can ask the server; it never stores it twice, nor calls it absent.
    void commitWithoutAnswer()
    {
        QFETCH(bool, serverAnswersAfter);
        LosingShop s;
        const int commit = s.writesOfASale();
        s.shop.faults->failAtWrite(commit, FaultTiming::AfterWriting);
        int writes = 0;
        if (!serverAnswersAfter) {
            s.shop.db.setWriteGuard([&] {
                if (++writes == commit)
                    s.shut();
            });
        }
        bool unknown = false;
        try {
            const RecordedSale recorded = recordSale(s.shop.db, s.shop.clock, s.sale());
            QVERIFY(!recorded.commitFailure.isEmpty());
        } catch (const SaleOutcomeUnknown& e) {
            unknown = true;
            QVERIFY2(e.message().contains(QStringLiteral("«%1:").arg(s.door.path())), qPrintable(e.message()));
        }
        QCOMPARE(unknown, !serverAnswersAfter);
        s.shop.db.setWriteGuard({});
        s.open();
        if (unknown) {
            // Nothing more is written until the program starts again, when the server shows the sale.
            bool closed = false;
            try {
                s.shop.count(QStringLiteral("Temporal"));
            } catch (const DatabaseClosedUntilRestart&) {
                closed = true;
            }
            QVERIFY(closed);
            s.shop.db.openServer(s.shop.connection(), kTestTill);
        }
        s.compareStored(1, 1);
    }
};

int main(int argc, char** argv)
{
    if (!onServer()) {
        std::fprintf(stderr, "test_server_loss corre solo con TARVINO_ENGINE=servidor\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    TestServerLoss test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server_loss.moc"
