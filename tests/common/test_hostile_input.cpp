// Whatever a scanner or a careless hand types: thousands of random texts and numbers (fixed seed)
// through the number, picture and timestamp conversions and the product search, with no crash,
// round trips that hold, and refused text that leaves the file as it was.
#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/timestamps.h"
#include "support/temp_shop.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace tarvino;
using namespace tarvino::test;

namespace {

constexpr int kCases = 4000;

// Characters a till meets: digits, both separators, signs, letters, accents, quotes, wildcards,
// controls and a few from far away.
const QString kAlphabet = QString::fromUtf8("0123456789.,,..-+eE $%_'\"\\*?aZñÑáÉ \t\n\r\x01\xc2\xa0\xe2\x80\xaf٣中🙂");

QString randomText(std::mt19937& rng, int maxLength)
{
    const int length = std::uniform_int_distribution<int>(0, maxLength)(rng);
    QString text;
    for (int i = 0; i < length; ++i)
        text += kAlphabet.at(std::uniform_int_distribution<int>(0, int(kAlphabet.size()) - 1)(rng));
    return text;
}

double randomNumber(std::mt19937& rng)
{
    switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
    case 0:
        return std::uniform_int_distribution<int>(-100000, 100000)(rng);
    case 1:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
    case 2:
        return std::uniform_int_distribution<int>(0, 99999)(rng) / 100.0;
    default:
        return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng),
                          std::uniform_int_distribution<int>(-60, 60)(rng));
    }
}

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT

private slots:
    void numbersRoundTrip_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("es_CL") << kChile;
        QTest::newRow("C") << QLocale::c();
    }
    void numbersRoundTrip()
    {
        QFETCH(QLocale, locale);
        std::mt19937 rng(20261207);
        for (int i = 0; i < kCases; ++i) {
            const double value = randomNumber(rng);
            const QString plain = plainNumber(value, locale);
            const auto back = readNumber(plain, locale);
            QVERIFY2(back.has_value(), qPrintable(plain));
            // Fifteen significant digits: the text reads back as the value written to that precision.
            QVERIFY2(plainNumber(*back, locale) == plain, qPrintable(plain));
            QVERIFY2(std::abs(*back - value) <= std::abs(value) * 1e-14, qPrintable(plain));
            // A picture shows the value rounded to its decimals, grouped: without the grouping it
            // reads back as that rounded value.
            if (std::abs(value) < 1e9) {
                QString shown = formatPicture(value, QStringLiteral("###,###,###.##"), locale);
                shown.remove(locale.groupSeparator());
                if (shown.endsWith(locale.decimalPoint()))
                    shown.chop(locale.decimalPoint().size());
                const auto read = shown.isEmpty() || shown == QLatin1String("-") ? std::optional<double>(0.0)
                                                                                : readNumber(shown, locale);
                QVERIFY2(read.has_value(), qPrintable(shown));
                QVERIFY2(std::abs(*read - std::round(value * 100) / 100) < 0.0051, qPrintable(shown));
            }
        }
    }

    void randomTextNeverCrashesTheReaders()
    {
        std::mt19937 rng(7);
        int read = 0;
        for (int i = 0; i < kCases; ++i) {
            const QString text = randomText(rng, 24);
            for (const QLocale& locale : {kChile, QLocale::c()}) {
                if (const auto value = readNumber(text, locale)) {
                    ++read;
                    QVERIFY2(std::isfinite(*value), qPrintable(text));
                    // What is read once reads the same from its own plain text.
                    QCOMPARE(readNumber(plainNumber(*value, locale), locale), value);
                }
            }
            QVERIFY(std::isfinite(leadingNumber(text)));
            if (const auto when = readStamp(text))
                QCOMPARE(readStamp(stampText(*when)), when);
            if (const auto iso = stampToIso(text))
                QCOMPARE(isoToStamp(*iso).has_value(), true);
            if (const auto when = readIso(text))
                QCOMPARE(readIso(isoText(*when)), when);
        }
        // The alphabet makes some texts numbers: the round trips above did run.
        QVERIFY(read > 100);
    }

    void stampsRoundTrip()
    {
        std::mt19937 rng(11);
        const QDateTime start(QDate(1990, 1, 1), QTime(0, 0, 0));
        for (int i = 0; i < kCases; ++i) {
            const QDateTime when = start.addSecs(std::uniform_int_distribution<qint64>(0, 2'000'000'000)(rng));
            const QString stamp = stampText(when);
            QCOMPARE(readStamp(stamp), std::optional<QDateTime>(when));
            QCOMPARE(isoToStamp(*stampToIso(stamp)), std::optional<QString>(stamp));
            // The stored form sorts as time does.
            const QDateTime later = when.addSecs(1 + i % 100000);
            QVERIFY(isoText(when) < isoText(later));
        }
    }

    void searchAndRefusedSavesLeaveTheFileAsItWas()
    {
        QLocale::setDefault(kChile);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche 100% natural_1"), 10, 700, 990, 5});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan 'amasado'"), 50, 900, 1500, 2});
        const QString before = shop.dump();
        std::mt19937 rng(3);
        for (int i = 0; i < kCases / 4; ++i) {
            const QString typed = randomText(rng, 12);
            const ProductMatches matches = findProductsByName(shop.db, typed);
            // Literal matching: every name found contains the text, as a person reads it.
            for (const QString& name : matches.names)
                QVERIFY2(name.contains(typed, Qt::CaseInsensitive), qPrintable(typed));
            // A save whose numbers are not numbers is refused and writes nothing.
            const Product boxes{QStringLiteral("300"), QStringLiteral("Nuevo"), typed + QStringLiteral(",,"),
                                QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("X")};
            QVERIFY(!saveProduct(shop.db, boxes, false).saved());
        }
        QCOMPARE(shop.dump(), before);
    }
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "test_hostile_input.moc"
