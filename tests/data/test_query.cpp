// Walking a query: its cells read exactly as a record set reads the same row, the bound values,
// walking again, and the buffer of cell texts the long lists are built in.
#include "data/database.h"
#include "data/query.h"
#include "data/recordset.h"
#include "support/temp_shop.h"

#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace
{

// Stores one Temporal row with the given cells as they are, past the record set's conversions.
void storeRaw(Database& db, const QString& code, const QString& cells)
{
    db.execute(
        QStringLiteral("insert into Temporal (CodigoProducto, Cantidad, TotalVenta, FechaVenta) "
                       "values ('%1', %2)")
            .arg(code, cells));
}

} // namespace

class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    // Every kind of stored cell, in both number formats: the walk and the record set agree.
    void cellsReadAsTheRecordSetReadsThem_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QLocale>("locale");
        const QLocale comma(QLocale::Spanish, QLocale::Chile);
        const QLocale point = QLocale::c();
        QStringList rows = {
            QStringLiteral("2.5, 1500, '2026-03-04 05:06:07'"),
            QStringLiteral("7, -0.125, '2026-12-31 23:59:59'"),
            QStringLiteral("null, null, null"),
            QStringLiteral("0.1, 1e20, null"),
        };
        // Text in a number or stamp column: the file's columns take it, a server's refuse it.
        if (!onServer())
            rows << QStringLiteral("'3,5', 123456789012345678, 'no es fecha'")
                 << QStringLiteral("0.1, 1e20, ''");
        for (const QString& row : rows) {
            QTest::addRow("%s comma", qPrintable(row)) << row << comma;
            QTest::addRow("%s point", qPrintable(row)) << row << point;
        }
    }
    void cellsReadAsTheRecordSetReadsThem()
    {
        QFETCH(QString, cells);
        QFETCH(QLocale, locale);
        LocaleGuard guard(locale);
        TempShop shop;
        storeRaw(shop.db, QStringLiteral("A1"), cells);

        RecordSet rs;
        rs.open(shop.db, QStringLiteral("select * from Temporal"));
        QVERIFY(!rs.eof());
        Query query(shop.db,
                    QStringLiteral("select Cantidad, TotalVenta, FechaVenta from Temporal"));
        QVERIFY(query.next());

        const QStringList columns = {QStringLiteral("Cantidad"), QStringLiteral("TotalVenta")};
        for (int i = 0; i < columns.size(); ++i) {
            QCOMPARE(query.text(i), rs.text(columns[i]));
            QCOMPARE(query.text(i, locale), rs.text(columns[i]));
            bool recordSetThrew = false;
            double expected = 0;
            try {
                expected = rs.number(columns[i]);
            } catch (const DbError&) {
                recordSetThrew = true;
            }
            if (recordSetThrew) {
                QVERIFY_THROWS_EXCEPTION(DbError, query.number(i));
            } else {
                QCOMPARE(query.number(i), expected);
                QCOMPARE(query.cell(i).optionalNumber(), rs.value(columns[i]).isNull()
                                                             ? std::nullopt
                                                             : std::optional<double>(expected));
            }
        }
        QCOMPARE(query.stamp(2), rs.value(QStringLiteral("FechaVenta")).toString());
        QVERIFY(!query.next());
    }

    // A number column holding text that is no number is refused, naming the column. A server
    // refuses to store it at all.
    void textThatIsNoNumberNamesItsColumn()
    {
        TempShop shop;
        if (onServer()) {
            QVERIFY(errorOf([&] { storeRaw(shop.db, QStringLiteral("A1"), QStringLiteral("'mucho', 1, null")); })
                        .contains(QLatin1String("mucho")));
            QCOMPARE(shop.count(QStringLiteral("Temporal")), 0);
            return;
        }
        storeRaw(shop.db, QStringLiteral("A1"), QStringLiteral("'mucho', 1, null"));
        Query query(shop.db, QStringLiteral("select Cantidad from Temporal"));
        QVERIFY(query.next());
        try {
            query.number(0);
            QFAIL("a text that is no number was read as one");
        } catch (const DbError& error) {
            QVERIFY2(error.message().contains(QLatin1String("Cantidad")),
                     qPrintable(error.message()));
            QVERIFY(error.message().contains(QLatin1String("mucho")));
        }
        QCOMPARE(query.cell(0).real(), 0.0);
        QCOMPARE(query.text(0), QStringLiteral("mucho"));
    }

    // A value read as stored finds its row again when bound, of whichever kind it is; a restarted
    // query walks again with its new binding.
    void storedValuesBindBackAndRestartRebinds()
    {
        TempShop shop;
        // The stamp column of the file takes numbers too; a server's takes only stamps.
        struct Kept {
            QString code;
            QString cells;
            QMetaType::Type type;
        };
        std::vector<Kept> kept = {
            {QStringLiteral("text"), QStringLiteral("1, 1, '2026-01-02 03:04:05'"), QMetaType::QString},
            {QStringLiteral("null"), QStringLiteral("1, 1, null"), QMetaType::UnknownType},
        };
        if (!onServer()) {
            kept.push_back({QStringLiteral("real"), QStringLiteral("1, 1, 2.5"), QMetaType::Double});
            kept.push_back({QStringLiteral("int"), QStringLiteral("1, 1, 7"), QMetaType::LongLong});
        }
        for (const Kept& row : kept)
            storeRaw(shop.db, row.code, row.cells);

        QVariantList stored;
        {
            Query all(shop.db, QStringLiteral("select FechaVenta from Temporal order by rowid"));
            while (all.next())
                stored << all.cell(0).stored();
        }
        QCOMPARE(stored.size(), qsizetype(kept.size()));
        QStringList codes;
        for (qsizetype i = 0; i < stored.size(); ++i) {
            QCOMPARE(stored[i].typeId(), int(kept[i].type));
            codes << kept[i].code;
        }
        Query one(shop.db,
                  QStringLiteral("select CodigoProducto from Temporal where FechaVenta is ?"));
        for (int i = 0; i < stored.size(); ++i) {
            one.restart();
            one.bind(1, stored[i]);
            QVERIFY2(one.next(), qPrintable(codes[i]));
            QCOMPARE(one.text(0), codes[i]);
            QVERIFY(!one.next());
        }
    }

    // The buffer holds each cell's text as the record set reads it, whatever the number's size or
    // the text's alphabet, and a zero written as asked.
    void cellTextsBuffer()
    {
        LocaleGuard guard(QLocale(QLocale::Spanish, QLocale::Chile));
        TempShop shop;
        // A text in a number column is the file's alone.
        shop.db.execute(QStringLiteral(
            "insert into Temporal (CodigoProducto, NombreProducto, Cantidad, TotalVenta) values "
            "('c1', 'Ñandú ☕', 2.5, 0), (12, null, 123456789012345, 0.0), "
            "('Ω1', 'ok', -3, 1e300)%1").arg(onServer() ? QString() : QStringLiteral(", ('c2', 'ok', 2.5, 'nada')")));
        QString buffer;
        std::vector<qsizetype> ends;
        {
            CellTexts cells(buffer, ends);
            Query query(shop.db, QStringLiteral("select CodigoProducto, NombreProducto, Cantidad, "
                                                "TotalVenta from Temporal order by rowid"));
            while (query.next()) {
                for (int i = 0; i < 3; ++i)
                    cells.append(query.cell(i));
                cells.append(query.cell(3), u"$ 0");
            }
        }
        QStringList texts;
        qsizetype begin = 0;
        for (const qsizetype end : ends) {
            texts << buffer.mid(begin, end - begin);
            begin = end;
        }
        QCOMPARE(buffer.size(), begin);
        RecordSet rs;
        QStringList expected;
        for (rs.open(shop.db, QStringLiteral("select * from Temporal")); !rs.eof(); rs.moveNext()) {
            for (const char* column : {"CodigoProducto", "NombreProducto", "Cantidad"})
                expected << rs.text(QString::fromLatin1(column));
            const QVariant total = rs.value(QStringLiteral("TotalVenta"));
            const bool zero = total.typeId() != QMetaType::QString &&
                              rs.number(QStringLiteral("TotalVenta")) == 0;
            expected << (zero ? QStringLiteral("$ 0") : rs.text(QStringLiteral("TotalVenta")));
        }
        QCOMPARE(texts, expected);
        QCOMPARE(texts[1], QStringLiteral("Ñandú ☕"));
        QCOMPARE(texts[2], QStringLiteral("2,5"));
        QCOMPARE(texts[4], QStringLiteral("12"));
        QCOMPARE(texts[8], QStringLiteral("Ω1"));
        if (!onServer())
            QCOMPARE(texts[15], QStringLiteral("nada")); // a text is never a zero
        QCOMPARE(texts[7], QStringLiteral("$ 0"));
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "test_query.moc"
