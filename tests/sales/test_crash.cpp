// A till killed at an arbitrary instant while recording: every sale it reported is in the file,
// and every sale in the file is whole.
#include "data/recordset.h"
#include "support/temp_shop.h"

#include <QProcess>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

class TestCrash : public QObject {
    Q_OBJECT

private slots:
    void killedWhileRecording_data()
    {
        QTest::addColumn<int>("salesBeforeKill");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("first sale") << 1 << 0;
        QTest::newRow("a few sales") << 5 << 3;
        QTest::newRow("many sales") << 40 << 7;
        QTest::newRow("many more") << 80 << 11;
    }
    void killedWhileRecording()
    {
        QFETCH(int, salesBeforeKill);
        QFETCH(int, delayMs);
        QLocale::setDefault(QLocale::c());
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 1000000, 700, 990, 0});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan"), 1000000, 900, 1500, 0});

        QProcess till;
        till.start(QStringLiteral(TARVINO_CRASH_CHILD), {shop.folder()});
        QVERIFY(till.waitForStarted());
        QByteArray heard;
        while (heard.count('\n') < salesBeforeKill) {
            QVERIFY2(till.waitForReadyRead(10000), "the till stopped recording");
            heard += till.readAllStandardOutput();
        }
        QTest::qSleep(delayMs);
        till.kill();
        QVERIFY(till.waitForFinished());
        heard += till.readAllStandardOutput();
        const int reported = int(heard.count('\n'));

        // What a fresh start finds in the file.
        Database after;
        after.open(shop.dbPath());
        shop.db.close();
        const auto count = [&](const char* sql) {
            RecordSet rs;
            rs.open(after, QString::fromLatin1(sql));
            return rs.eof() ? 0.0 : rs.number(rs.columns().first());
        };
        const int lines = int(count("select count(*) as n from Temporal"));
        QCOMPARE(lines % 2, 0); // two lines per sale, never one
        const int stored = lines / 2;
        QVERIFY2(stored >= reported, qPrintable(QStringLiteral("%1 stored, %2 reported").arg(stored).arg(reported)));
        QVERIFY(stored <= reported + 1);
        QCOMPARE(count("select efectivo as n from TipoPago"), stored * 3480.0);
        QCOMPARE(count("select Cantidad as n from Productos where CodigoProducto = '100'"),
                 1000000.0 - 2 * stored);
        QCOMPARE(count("select Cantidad as n from Productos where CodigoProducto = '200'"),
                 1000000.0 - stored);
        QCOMPARE(count("select count(*) as n from TipoPago"), stored > 0 ? 1.0 : 0.0);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
