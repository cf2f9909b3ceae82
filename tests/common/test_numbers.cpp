// Conversions of numbers and timestamps under a decimal-comma and a decimal-point locale.
#include "common/numbers.h"
#include "common/timestamps.h"
#include "support/test_support.h"

#include <QTest>

#include <cmath>

using namespace tarvino;
using namespace tarvino::test;

namespace {
const QLocale kC = QLocale::c();
} // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private slots:
    void plainNumber_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("comma half") << kChile << 2.5 << "2,5";
        QTest::newRow("comma whole, no grouping") << kChile << 1500.0 << "1500";
        QTest::newRow("comma million") << kChile << 1234567.0 << "1234567";
        QTest::newRow("comma tenths sum") << kChile << 0.1 + 0.2 << "0,3";
        QTest::newRow("comma negative zero") << kChile << -0.0 << "0";
        QTest::newRow("comma negative") << kChile << -1.25 << "-1,25";
        QTest::newRow("point half") << kC << 2.5 << "2.5";
        QTest::newRow("point third") << kC << 1.0 / 3 << "0.333333333333333";
        // Written out in full whatever the size, never in exponent form, 15 significant digits.
        QTest::newRow("point big") << kC << 1e15 << "1000000000000000";
        QTest::newRow("comma huge") << kChile << 1e20 << "100000000000000000000";
        QTest::newRow("comma huge, 15 digits") << kChile << 1.2345678901234567e20 << "123456789012346000000";
        QTest::newRow("comma tiny") << kChile << 1e-20 << "0,00000000000000000001";
        QTest::newRow("comma binary remainder") << kChile << 0.3 - 0.1 - 0.2
                                                << "-0,0000000000000000277555756156289";
        QTest::newRow("comma small fraction") << kChile << 0.000123 << "0,000123";
        QTest::newRow("comma rounds up a digit") << kChile << 9.9999999999999999e-5 << "0,0001";
        QTest::newRow("comma many digits") << kChile << 12345.375 << "12345,375";
        QTest::newRow("point carries into a new digit") << kC << 999999999999999.9 << "1000000000000000";
    }
    void plainNumber()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(tarvino::plainNumber(value, locale), text);
    }

    // Stock changes are kept to the quantity box's six decimals, so binary remainders vanish.
    void roundQuantity_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("sold to nothing") << 0.3 - 0.1 - 0.2 << 0.0;
        QTest::newRow("negative zero") << -1e-12 << 0.0;
        QTest::newRow("tenths") << 0.1 + 0.2 << 0.3;
        QTest::newRow("six decimals kept") << 0.000001 << 0.000001;
        QTest::newRow("half a millionth up") << 0.0000015 << 0.000002;
        QTest::newRow("thousands and grams") << 12345.375 - 0.125 << 12345.25;
        QTest::newRow("negative stock") << -2.0 - 0.1 - 0.2 << -2.3;
        QTest::newRow("too large for a fraction") << 1e17 + 64 << 1e17 + 64;
    }
    void roundQuantity()
    {
        QFETCH(double, value);
        QFETCH(double, rounded);
        const double result = tarvino::roundQuantity(value);
        // Exactly, to the last bit: QCOMPARE would let a tiny remainder pass for 0.
        QVERIFY2(result == rounded, qPrintable(QString::number(result, 'g', 17)));
        QVERIFY(!std::signbit(result) || result < 0);
    }

    void readNumber_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("comma half") << kChile << "0,5" << true << 0.5;
        QTest::newRow("comma whole") << kChile << "1500" << true << 1500.0;
        QTest::newRow("comma leading separator") << kChile << ",5" << true << 0.5;
        QTest::newRow("comma point is no decimal") << kChile << "1.5" << false << 0.0;
        QTest::newRow("comma two separators") << kChile << "1,,5" << false << 0.0;
        QTest::newRow("comma two commas") << kChile << "1,2,3" << false << 0.0;
        QTest::newRow("comma lone separator") << kChile << "," << false << 0.0;
        QTest::newRow("comma empty") << kChile << "" << false << 0.0;
        QTest::newRow("comma letters") << kChile << "abc" << false << 0.0;
        QTest::newRow("point half") << kC << "0.5" << true << 0.5;
        QTest::newRow("point comma is no decimal") << kC << "1,5" << false << 0.0;
        QTest::newRow("point lone separator") << kC << "." << false << 0.0;
        QTest::newRow("point grouping refused") << kC << "1,500" << false << 0.0;
        QTest::newRow("point exponent round trip") << kC << "1E+15" << true << 1e15;
    }
    void readNumber()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto read = tarvino::readNumber(text, locale);
        QCOMPARE(read.has_value(), ok);
        if (ok)
            QCOMPARE(*read, value);
    }

    void readMoney_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // -1: refused
        QTest::newRow("comma: point groups") << kChile << "10.000" << 10000.0;
        QTest::newRow("comma: grouped with decimals") << kChile << "1.500,50" << 1500.5;
        QTest::newRow("comma: two decimal marks") << kChile << "1,2,3" << -1.0;
        QTest::newRow("comma: lone point") << kChile << "." << -1.0;
        QTest::newRow("point: comma groups") << kC << "10,000" << 10000.0;
        QTest::newRow("point: point is decimal") << kC << "10.000" << 10.0;
        QTest::newRow("point: grouped with decimals") << kC << "1,500.5" << 1500.5;
        QTest::newRow("point: two decimal marks") << kC << "1.2.3" << -1.0;
    }
    void readMoney()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(tarvino::readMoney(text, locale).value_or(-1.0), value);
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("comma stops") << "7,5" << 7.0;
        QTest::newRow("point reads") << "7.5" << 7.5;
        QTest::newRow("zero comma") << "0,5" << 0.0;
        QTest::newRow("blanks first") << "  12abc" << 12.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("negative") << "-3,2" << -3.0;
        QTest::newRow("exponent") << "1E+15" << 1e15;
        QTest::newRow("dollar first") << "$ 5" << 0.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(tarvino::leadingNumber(text), value);
    }

    void formatPicture_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        const QString money0 = QStringLiteral("$ ###,###,###");
        const QString money3 = QStringLiteral("$ ###,###,###.###");
        const QString money2 = QStringLiteral("$ ###,###,###.##");
        const QString plain2 = QStringLiteral("###,###,###.##");
        const QString fixed2 = QStringLiteral("###,###,###.#0");
        QTest::newRow("zero whole") << kChile << 0.0 << money0 << "$ ";
        QTest::newRow("whole rounds") << kChile << 1499.5 << money0 << "$ 1.500";
        QTest::newRow("separator always") << kChile << 1500.0 << money3 << "$ 1.500,";
        QTest::newRow("three decimals trimmed") << kChile << 1500.25 << money3 << "$ 1.500,25";
        QTest::newRow("three decimals rounded") << kChile << 2.12345 << money3 << "$ 2,123";
        QTest::newRow("below one no zero") << kChile << 0.5 << money3 << "$ ,5";
        QTest::newRow("two decimals") << kChile << 1234567.891 << money2 << "$ 1.234.567,89";
        QTest::newRow("beyond the picture") << kChile << 1234567890123.0 << money0 << "$ 1.234.567.890.123";
        QTest::newRow("plain two") << kChile << 1000.0 << plain2 << "1.000,";
        QTest::newRow("fixed two") << kChile << 500.0 << fixed2 << "500,00";
        QTest::newRow("fixed two half") << kChile << 1234.5 << fixed2 << "1.234,50";
        QTest::newRow("fixed two below one") << kChile << 0.5 << fixed2 << ",50";
        QTest::newRow("fixed two zero") << kChile << 0.0 << fixed2 << ",00";
        QTest::newRow("negative") << kChile << -1500.0 << money0 << "-$ 1.500";
        QTest::newRow("point separator") << kC << 1500.0 << money3 << "$ 1,500.";
        QTest::newRow("point fixed") << kC << 1234.5 << fixed2 << "1,234.50";
        QTest::newRow("point below one") << kC << 0.5 << money3 << "$ .5";
    }
    void formatPicture()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, value);
        QFETCH(QString, picture);
        QFETCH(QString, text);
        QCOMPARE(tarvino::formatPicture(value, picture, locale), text);
    }

    void timestamps()
    {
        const QDateTime when(QDate(2026, 3, 9), QTime(9, 5, 7));
        QCOMPARE(stampText(when), QStringLiteral("09/03/2026 9:05:07"));
        QCOMPARE(dateText(when), QStringLiteral("09/03/2026"));
        QCOMPARE(shortTimeText(when), QStringLiteral("09:05"));
        QCOMPARE(longTimeText(when), QStringLiteral("9:05:07"));
        QCOMPARE(isoText(when), QStringLiteral("2026-03-09 09:05:07"));
        QCOMPARE(stampText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))),
                 QStringLiteral("31/12/2026 23:59:59"));
    }

    void timestampRoundTrip_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QString>("iso");
        QTest::newRow("morning") << "09/03/2026 9:05:07" << "2026-03-09 09:05:07";
        QTest::newRow("evening") << "31/12/2026 23:59:59" << "2026-12-31 23:59:59";
        QTest::newRow("midnight") << "01/01/2027 0:00:00" << "2027-01-01 00:00:00";
        // A local time that a daylight-saving change skips is still a valid stamp.
        QTest::newRow("dst gap") << "08/03/2026 2:30:00" << "2026-03-08 02:30:00";
    }
    void timestampRoundTrip()
    {
        QFETCH(QString, stamp);
        QFETCH(QString, iso);
        QCOMPARE(stampToIso(stamp).value_or(QString()), iso);
        QCOMPARE(isoToStamp(iso).value_or(QString()), stamp);
    }

    void invalidTimestamps()
    {
        QVERIFY(!stampToIso(QStringLiteral("31/02/2026 9:00:00")));
        QVERIFY(!stampToIso(QStringLiteral("hoy")));
        QVERIFY(!stampToIso(QString()));
        QVERIFY(!isoToStamp(QStringLiteral("2026-13-01 00:00:00")));
        // ISO written with a "T" by other tools is read too.
        QCOMPARE(isoToStamp(QStringLiteral("2026-03-09T09:05:07")).value_or(QString()),
                 QStringLiteral("09/03/2026 9:05:07"));
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "test_numbers.moc"
