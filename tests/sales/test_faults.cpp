// Faults in the middle of recording a sale or closing the day: nothing half-written, nothing lost,
// and after a failed commit the cashier is told what the file really holds.
#include "catalogue/products.h"
#include "sales/payment_window.h"
#include "sales/recording.h"
#include "sales/sales_day.h"
#include "stress/fault_vfs.h"
#include "support/sales_driver.h"
#include "support/test_main.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "data/file_engine.h"
#include "data/query.h"

#include <sqlite3.h>

using namespace tarvino;
using namespace tarvino::test;

namespace {
// What a till killed at this instant would find at its next start: a copy of bd1 and its journal as
// they are, opened by a new connection. Returns the number of Temporal lines there.
// With damagedAt, the journal's copy gets four bytes flipped at that offset first, when it is that
// long, as a disk that spoiled them would leave it.
// On a server: the lines a new session finds there.
int linesAfterACrash(TempShop& shop, qint64 damagedAt = -1)
{
    if (onServer()) {
        Database after;
        after.openServer(shop.connection(), QStringLiteral("Otra caja"));
        ShopWideReads wide(after);
        Query count(after, QStringLiteral("select count(*) from Temporal"));
        return count.next() ? int(count.integer(0)) : 0;
    }
    const QString image = QDir(shop.folder()).filePath(QStringLiteral("crash"));
    QDir(image).removeRecursively();
    QDir().mkpath(image);
    const QString target = QDir(image).filePath(kDatabaseFileName);
    QFile::copy(shop.dbPath(), target);
    QFile::copy(shop.dbPath() + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    QFile journal(target + QStringLiteral("-wal"));
    if (damagedAt >= 0 && journal.size() >= damagedAt + 4 && journal.open(QIODevice::ReadWrite)) {
        journal.seek(damagedAt);
        QByteArray bytes = journal.read(4);
        for (char& b : bytes)
            b = char(~b);
        journal.seek(damagedAt);
        journal.write(bytes);
        journal.close();
    }
    Database after;
    after.open(target);
    Query count(after, QStringLiteral("select count(*) from Temporal"));
    return count.next() ? int(count.integer(0)) : 0;
}

// The sale of 100, 200 and 100 rung up in the sales window: two lines, 3480,5 in all.
void ringUpTheSale(SalesDriver& d)
{
    d.typeCode(QStringLiteral("100"));
    d.typeCode(QStringLiteral("200"));
    d.typeCode(QStringLiteral("100"));
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    // A disk that fails a sync or spoils the journal: a server's own disk is its business.
    Q_CLASSINFO("fileOnly", "syncFailingWhileASaleIsCommitted,saleWhoseFateCannotBeKnown,damagedJournalAfterSales")

private slots:
    // Every connection opened from here on passes through the disk layer, which can fail a sync.
    void initTestCase() { stress::FaultVfs::instance(); }
    void init() { QLocale::setDefault(kChile); }

    void everyWriteOfARecordingFailingInTurn()
    {
        SalesDriver d;
        Form1& f = d.open();
        // A day row already exists, so that the sale updates it rather than creating it.
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));

        d.typeCode(QStringLiteral("100"));
        d.typeCode(QStringLiteral("200"));
        d.typeCode(QStringLiteral("100"));
        const QStringList sale = d.saleList();
        const QString before = d.shop.dump();

        // Two stock updates, two lines, the day row and the commit: six writes.
        int failures = 0;
        for (int n = 1;; ++n) {
            d.shop.messages.clear();
            d.shop.faults->failAtWrite(n);
            d.settleInCash();
            if (d.shop.messages.boxes.isEmpty())
                break; // the n-th write was never reached: the sale went through
            ++failures;
            QVERIFY2(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo registrar la venta")),
                     qPrintable(d.shop.messages.lastText()));
            QCOMPARE(d.shop.messages.boxes.last().icon, Messages::Icon::Critical);
            QCOMPARE(d.shop.dump(), before);
            QCOMPARE(d.saleList(), sale);
            QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
            QVERIFY(n < 20);
        }
        QCOMPARE(failures, 7);
        d.shop.faults->failAtWrite(0);
        QVERIFY(d.saleList().isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 3);
        QCOMPARE(d.shop.rows("select efectivo, tarjeta from TipoPago"),
                 QVariantList{"3480.5|1500.5"});
        QCOMPARE(d.shop.column("select Cantidad from Productos order by CodigoProducto"),
                 (QVariantList{8.0, 48.0}));
    }

    void firstSaleOfTheDayFailingCreatesNoDayRow()
    {
        SalesDriver d;
        d.open();
        d.typeCode(QStringLiteral("100"));
        d.shop.faults->failAtWrite(3); // the new day row
        d.settleInCash();
        d.shop.faults->failAtWrite(0);
        QCOMPARE(d.shop.count("TipoPago"), 0);
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.scalar("select Cantidad from Productos where CodigoProducto = '100'").toDouble(), 10.0);
        d.settleInCash();
        QCOMPARE(d.shop.count("TipoPago"), 1);
        QCOMPARE(d.shop.count("Temporal"), 1);
    }

    void everyWriteOfAClosingFailingInTurn()
    {
        SalesDriver d;
        Form1& f = d.open();
        for (const char* code : {"100", "200", "100"}) {
            QVERIFY(d.sell(QString::fromLatin1(code)));
        }
        QCOMPARE(d.shop.count("Temporal"), 3);
        const QString before = d.shop.dump();
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(22, 0, 0));

        // The day row, the copy of the lines, their deletion and the commit: four writes.
        int failures = 0;
        for (int n = 1;; ++n) {
            d.shop.messages.clear();
            d.shop.faults->failAtWrite(n);
            if (f.cierreDelDia())
                break;
            ++failures;
            QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar el día")));
            // Still open with all its lines, nothing copied.
            QCOMPARE(d.shop.dump(), before);
            QVERIFY(n < 20);
        }
        QCOMPARE(failures, 5);
        d.shop.faults->failAtWrite(0);
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 3);
        QCOMPARE(d.shop.scalar("select FechaCierre from TipoPago").toString(),
                 QStringLiteral("2026-03-09 22:00:00"));
        // Closing again copies nothing twice.
        QVERIFY(f.cierreDelDia());
        QCOMPARE(d.shop.count("Recaudacion"), 3);
    }

    void failedClosingAtExitIsOfferedAgainAtTheNextStart()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        d.shop.faults->failAtWrite(2);
        d.shop.messages.answer(true); // leave
        d.shop.messages.answer(true); // leave all the same
        QVERIFY(f.close());
        d.shop.faults->failAtWrite(0);
        QCOMPARE(d.shop.messages.unexpectedQuestions, 0);
        QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar el día de ventas")));
        QCOMPARE(d.shop.count("Temporal"), 1);
        QCOMPARE(d.shop.count("Recaudacion"), 0);
        QVERIFY(firstTemporalStamp(d.shop.db));
        // No copy is made of a day left open.
        QVERIFY(!QFileInfo::exists(QDir(d.shop.folder()).filePath(QStringLiteral("respaldos"))));
    }

    // The commit of the sale fails, either after the sale reached the file (a sync that fails) or
    // before; the cashier is told which, and the file holds the sale exactly once in the end.
    void failedCommitIsToldAsTheFileHasIt_data()
    {
        QTest::addColumn<bool>("reachedTheFile");
        QTest::newRow("sync fails with the sale written") << true;
        QTest::newRow("commit fails with nothing written") << false;
    }
    void failedCommitIsToldAsTheFileHasIt()
    {
        QFETCH(bool, reachedTheFile);
        SalesDriver d;
        d.open();
        // An identical sale earlier in the same second must not pass for the failed one.
        ringUpTheSale(d);
        d.shop.faults->failAtWrite(1000);
        d.settleInCash();
        const int commit = d.shop.faults->writesSinceArmed();
        ringUpTheSale(d);
        const QStringList sale = d.saleList();

        d.shop.faults->failAtWrite(commit, reachedTheFile ? FaultTiming::AfterWriting
                                                     : FaultTiming::BeforeWriting);
        d.settleInCash();
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        const FakeMessages::Box box = d.shop.messages.boxes.first();
        if (reachedTheFile) {
            // The file speaks of its disk, the server of its answer.
            const QString told = onServer() ? QStringLiteral("La venta quedó registrada: el servidor la guardó")
                                            : QStringLiteral("La venta quedó registrada, pero el disco informó");
            QVERIFY2(box.text.startsWith(told), qPrintable(box.text));
            QCOMPARE(box.icon, Messages::Icon::Exclamation);
            QVERIFY(d.saleList().isEmpty());
        } else {
            QVERIFY2(box.text.startsWith(QStringLiteral("No se pudo registrar la venta. No se guardó nada")), qPrintable(box.text));
            QCOMPARE(box.icon, Messages::Icon::Critical);
            QCOMPARE(d.saleList(), sale);
            QCOMPARE(linesAfterACrash(d.shop), 2);
            // Charged again: stored once.
            d.shop.messages.clear();
            d.settleInCash();
            QVERIFY(d.shop.messages.boxes.isEmpty());
        }
        QCOMPARE(linesAfterACrash(d.shop), 4);
        d.shop.db.reopen();
        QCOMPARE(d.shop.count("Temporal"), 4);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 2 * 3480.5);
        QCOMPARE(d.shop.column("select Cantidad from Productos order by CodigoProducto"), (QVariantList{6.0, 48.0}));
    }

    // A real disk whose sync fails while the sale is committed: the sale's pages are in the journal
    // and a restart would read them back. The cashier's message must match what a restart finds.
    void syncFailingWhileASaleIsCommitted()
    {
        SalesDriver d;
        d.open();
        QVERIFY(d.sell(QStringLiteral("200")));
        ringUpTheSale(d);
        stress::FaultVfs::instance().failNextSync("-wal");
        d.settleInCash();
        QVERIFY(!stress::FaultVfs::instance().syncFailurePending());
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        const bool toldStored = d.shop.messages.lastText().startsWith(QStringLiteral("La venta quedó registrada"));
        QVERIFY2(toldStored || d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo registrar la venta")),
                 qPrintable(d.shop.messages.lastText()));
        QCOMPARE(d.saleList().isEmpty(), toldStored);
        QCOMPARE(linesAfterACrash(d.shop), toldStored ? 3 : 1);
        if (!toldStored) {
            d.shop.messages.clear();
            d.settleInCash();
            QVERIFY(d.shop.messages.boxes.isEmpty());
        }
        QCOMPARE(linesAfterACrash(d.shop), 3);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 1500.5 + 3480.5);
    }

    // The power goes right after the failed sync: the file cannot be read again, so nobody can say
    // whether the sale is stored. The cashier is told so, nothing more is written, and the next
    // start shows the truth.
    void saleWhoseFateCannotBeKnown()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("200")));
        ringUpTheSale(d);
        const QStringList sale = d.saleList();
        stress::FaultVfs::instance().failNextSync("-wal", true);
        d.settleInCash();
        stress::FaultVfs::instance().revive();
        QVERIFY2(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo saber si la venta quedó registrada")),
                 qPrintable(d.shop.messages.lastText()));
        QCOMPARE(d.shop.messages.boxes.last().icon, Messages::Icon::Critical);
        QCOMPARE(d.saleList(), sale);
        QVERIFY(!d.shop.db.isOpen());
        // Charging it again cannot store it a second time before the program starts again, and
        // every use of the file says only what to do.
        d.shop.messages.clear();
        d.settleInCash();
        d.typeCode(QStringLiteral("100"));
        QCOMPARE(d.shop.messages.boxes.size(), 2);
        for (const FakeMessages::Box& box : d.shop.messages.boxes) {
            QCOMPARE(box.text, outcomeUnknownInstruction());
            QCOMPARE(box.icon, Messages::Icon::Critical);
        }
        QCOMPARE(d.saleList(), sale);
        QVERIFY(!d.shop.db.isOpen());
        // The sale's pages never reached the disk: the next start finds the first sale only, and
        // the sale charged then is stored once.
        d.shop.db.open(d.shop.dbPath());
        QCOMPARE(d.shop.count("Temporal"), 1);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 1500.5);
        d.shop.messages.clear();
        f.Command2_Click();
        ringUpTheSale(d);
        d.settleInCash();
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 3);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 1500.5 + 3480.5);
    }

    // Sales recorded, the till idle for a moment and then stopped, its journal spoiled on the
    // disk: the engine reads a journal only up to its first damaged frame, so no sale may be kept
    // in it alone once the till is idle.
    void damagedJournalAfterSales_data()
    {
        QTest::addColumn<qint64>("damagedAt");
        // The journal starts with a header of 32 bytes; each frame has a header of 24 bytes.
        QTest::newRow("first frame's header") << qint64(32 + 8);
        QTest::newRow("first frame's page") << qint64(32 + 24 + 100);
    }
    void damagedJournalAfterSales()
    {
        QFETCH(qint64, damagedAt);
        SalesDriver d;
        d.open();
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));
        ringUpTheSale(d);
        d.settleInCash();
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCoreApplication::processEvents();

        QCOMPARE(linesAfterACrash(d.shop, damagedAt), 3);
        Database after;
        after.open(QDir(d.shop.folder()).filePath(QStringLiteral("crash/bd1")));
        Query day(after, QStringLiteral("select efectivo, tarjeta from TipoPago"));
        QVERIFY(day.next());
        QCOMPARE(day.cell(0).real(), 3480.5);
        QCOMPARE(day.cell(1).real(), 1500.5);
    }

    // In the recording itself: a commit that fails after writing returns the sale as stored with
    // the failure, one that fails before throws and stores nothing, and a failure before the
    // commit never makes the file be read again.
    void recordingAfterAFailedCommit_data()
    {
        QTest::addColumn<int>("fromCommit"); // 0 the commit, -1 the write before it
        QTest::addColumn<bool>("afterWriting");
        QTest::addColumn<bool>("stored");
        QTest::newRow("commit, after writing") << 0 << true << true;
        QTest::newRow("commit, before writing") << 0 << false << false;
        QTest::newRow("day row, after writing") << -1 << true << false;
        QTest::newRow("day row, before writing") << -1 << false << false;
    }
    void recordingAfterAFailedCommit()
    {
        QFETCH(int, fromCommit);
        QFETCH(bool, afterWriting);
        QFETCH(bool, stored);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10, 700, 990, 0});
        SaleLines lines;
        const Product milk = *findProductByCode(shop.db, QStringLiteral("100"));
        mergeDetailLine(lines, milk, milk.code, 2, QStringLiteral("2"));
        const SaleToRecord sale{lines, QStringLiteral("09/03/2026 9:05:07"), QStringLiteral("admin"),
                                QStringLiteral("1980"), QStringLiteral("TARJETA")};
        shop.faults->failAtWrite(1000);
        recordSale(shop.db, shop.clock, sale);
        const int commit = shop.faults->writesSinceArmed();
        // A server's session is told by its process on the server.
        const auto session = [&] { return shop.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong(); };
        const qint64 sessionBefore = onServer() ? session() : 0;

        shop.faults->failAtWrite(commit + fromCommit, afterWriting ? FaultTiming::AfterWriting
                                                              : FaultTiming::BeforeWriting);
        bool threw = false;
        try {
            const RecordedSale recorded = recordSale(shop.db, shop.clock, sale);
            QVERIFY(!recorded.commitFailure.isEmpty());
            QCOMPARE(recorded.openingStamp, QStringLiteral("09/03/2026 9:05:07"));
        } catch (const SaleOutcomeUnknown&) {
            QFAIL("the file was readable: the outcome is known");
        } catch (const DbError&) {
            threw = true;
        }
        QCOMPARE(threw, !stored);
        QVERIFY(shop.db.isOpen());
        // Only a failed commit is worth a fresh look at the file. A connection counts the rows it
        // changed since it was opened, so one that changed none after two recordings is new.
        if (onServer())
            QCOMPARE(session() != sessionBefore, fromCommit == 0);
        else
            QCOMPARE(sqlite3_total_changes(fileConnection(shop.db)) == 0, fromCommit == 0);
        const int sales = stored ? 2 : 1;
        QCOMPARE(shop.count("Temporal"), sales);
        QCOMPARE(shop.scalar("select tarjeta from TipoPago").toDouble(), sales * 1980.0);
        QCOMPARE(shop.scalar("select Cantidad from Productos").toDouble(), 10.0 - sales * 2);
    }
};

TARVINO_TEST_MAIN(TestFaults)
#include "test_faults.moc"
