// The takings history's searches on a fixed history of closed days: merging by product code in the
// order first met, the days of a month, the category filter, empty cases, both number formats and
// the lists the window opens with.
#include "catalogue/products.h"
#include "data/database.h"
#include "data/query.h"
#include "reports/history.h"
#include "sales/sales_day.h"
#include "support/temp_shop.h"

#include <QTest>

#include <memory>

using namespace tarvino;
using namespace tarvino::test;

namespace {

const QString kTodas = QStringLiteral("*"); // a row's marker for every category

// One Recaudacion line: day (ISO), code, name, quantity, cost, sale, category, payment kind.
void addLine(TempShop& shop, const char* day, const char* code, const char* name, double quantity,
             double cost, double sale, const char* category, const char* kind)
{
    Query stmt(shop.db, QStringLiteral(
        "insert into Recaudacion (CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, "
        "TipoPago, NombreUsuario, Categoria, FechaInicio, FechaVenta) values (?,?,?,?,?,?,'admin',?,?,?)"));
    const QVariantList values{QString::fromUtf8(code), QString::fromUtf8(name), quantity, cost, sale,
                              QString::fromUtf8(kind), QString::fromUtf8(category),
                              QString::fromLatin1(day), QString::fromLatin1(day)};
    for (int i = 0; i < values.size(); ++i)
        stmt.bind(i + 1, values[i]);
    stmt.execute();
}

void addDay(TempShop& shop, const char* day, double cash, double card, const char* closing)
{
    shop.db.execute(QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, "
                                   "FechaCierre) values ('%1', %2, %3, 0, '%4')")
                        .arg(QLatin1String(day))
                        .arg(cash, 0, 'f', 2)
                        .arg(card, 0, 'f', 2)
                        .arg(QLatin1String(closing)));
}

// A history of closed days. February's only day opened on its last evening and closed in March;
// March 2026 holds three days (one still open, with no lines yet) and March 2025 one. Lines are
// stored out of day order, as a file repaired by hand may hold them.
void fillHistory(TempShop& shop)
{
    addLine(shop, "2026-03-31 23:59:59", "400", "Vino", 1, 3000, 4500, "Licores", "EFECTIVO");
    addLine(shop, "2026-02-28 20:30:00", "100", "Leche", 2, 1400, 1980, "Lacteos", "EFECTIVO");
    addLine(shop, "2026-02-28 20:30:00", "200", "Pan", 1.5, 1350, 2250.75, "Panaderia", "TARJETA");
    addLine(shop, "2026-02-28 20:30:00", "100", "Leche 1L", 1, 700, 990, "Otros", "TARJETA");
    addLine(shop, "2026-03-05 09:05:07", "300", "Arroz", 1, 800, 1200, "Abarrotes", "EFECTIVO");
    addLine(shop, "2026-03-05 09:05:07", "100", "Leche Entera", 3, 2100, 2970, "Lacteos", "EFECTIVO");
    addLine(shop, "2026-03-05 09:05:07", "200", "Pan", 0.5, 450, 750.25, "Panaderia", "TARJETA");
    addLine(shop, "2026-03-05 09:05:07", "300", "Arroz", 2, 1600, 2400, "Abarrotes", "TARJETA");
    addLine(shop, "2026-04-01 00:00:00", "100", "Leche", 1, 700, 990, "Lacteos", "EFECTIVO");
    addLine(shop, "2025-03-10 10:00:00", "500", "Té", 4, 400, 1000.1, "Abarrotes", "EFECTIVO");
    addDay(shop, "2026-03-31 23:59:59", 4500, 0, "2026-04-01 00:30:00");
    addDay(shop, "2026-02-28 20:30:00", 1980, 3240.75, "2026-03-01 01:15:00");
    addDay(shop, "2026-03-05 09:05:07", 4170, 3150.25, "2026-03-05 21:30:00");
    addDay(shop, "2026-03-09 09:05:07", 1500.5, 0, "2026-03-09 10:00:00"); // open: lines in Temporal
    addDay(shop, "2026-04-01 00:00:00", 990, 0, "2026-04-01 18:00:00");
    addDay(shop, "2025-03-10 10:00:00", 1000.1, 0, "2025-03-10 20:00:00");
}

CategoryFilter filterOf(const QString& category)
{
    return category == kTodas ? CategoryFilter() : CategoryFilter(category);
}

QStringList rowsOf(const HistoryResult& result, const QLocale& locale)
{
    QStringList rows;
    for (qsizetype r = 0; r < qsizetype(result.lines.size()); ++r) {
        QStringList cells;
        for (int c = 0; c < HistoryResult::kColumns; ++c)
            cells << result.cell(r, c, locale);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList labelsOf(const HistoryResult& result)
{
    return {result.label4, result.label6, result.label7, result.label8, result.label9, result.label11};
}

// The two number formats: "," or "." for the decimal separator and the other one for thousands.
QStringList localised(const QStringList& texts, const QLocale& locale)
{
    if (locale.decimalPoint() == QLatin1String(","))
        return texts;
    QStringList swapped;
    for (QString text : texts) {
        for (QChar& c : text) {
            if (c == QLatin1Char(','))
                c = QLatin1Char('.');
            else if (c == QLatin1Char('.') && !text.startsWith(QLatin1String("APERTURA")))
                c = QLatin1Char(',');
        }
        swapped << text;
    }
    return swapped;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_shop = std::make_unique<TempShop>();
        fillHistory(*m_shop);
    }

    void dailySearch_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("labels");

        const QString closedInMarch =
            QStringLiteral("APERTURA:  28/02/2026 a las 20:30 hrs.  CIERRE:  01/03/2026 a las 01:15 hrs. ");
        // Both lines of code 100 in one row, named and filed as the first one.
        QTest::newRow("merged, first met sets name")
            << "28/02/2026 20:30:00" << kTodas
            << QStringList{"1|100|Leche|3|2100|2970|Lacteos", "2|200|Pan|1,5|1350|2250,75|Panaderia"}
            << QStringList{closedInMarch, "Costo Total $ 3.450,", "Venta Total $ 5.220,75",
                           "Utilidad $ 1.770,75", "Efectivo $ 1.980,", "Tarjeta $ 3.240,75"};
        QTest::newRow("order of first meeting")
            << "05/03/2026 9:05:07" << kTodas
            << QStringList{"1|300|Arroz|3|2400|3600|Abarrotes", "2|100|Leche Entera|3|2100|2970|Lacteos",
                           "3|200|Pan|0,5|450|750,25|Panaderia"}
            << QStringList{"APERTURA:  05/03/2026 a las 09:05 hrs.  CIERRE:  05/03/2026 a las 21:30 hrs. ",
                           "Costo Total $ 4.950,", "Venta Total $ 7.320,25", "Utilidad $ 2.370,25",
                           "Efectivo $ 4.170,", "Tarjeta $ 3.150,25"};
        // One category: its own lines, and the cash and card those lines took.
        QTest::newRow("category Lacteos")
            << "28/02/2026 20:30:00" << "Lacteos" << QStringList{"1|100|Leche|2|1400|1980|Lacteos"}
            << QStringList{closedInMarch, "Costo Total $ 1.400,", "Venta Total $ 1.980,",
                           "Utilidad $ 580,", "Efectivo $ 1.980,", "Tarjeta $ ,"};
        QTest::newRow("category by card")
            << "05/03/2026 9:05:07" << "Panaderia" << QStringList{"1|200|Pan|0,5|450|750,25|Panaderia"}
            << QStringList{"APERTURA:  05/03/2026 a las 09:05 hrs.  CIERRE:  05/03/2026 a las 21:30 hrs. ",
                           "Costo Total $ 450,", "Venta Total $ 750,25", "Utilidad $ 300,25",
                           "Efectivo $ ,", "Tarjeta $ 750,25"};
        QTest::newRow("category without lines")
            << "28/02/2026 20:30:00" << "Licores" << QStringList{}
            << QStringList{closedInMarch, "Costo Total $ ,", "Venta Total $ ,", "Utilidad $ ,",
                           "Efectivo $ ,", "Tarjeta $ ,"};
        // The open day: its lines are not history yet, its takings and last sale are.
        QTest::newRow("open day")
            << "09/03/2026 9:05:07" << kTodas << QStringList{}
            << QStringList{"APERTURA:  09/03/2026 a las 09:05 hrs.  CIERRE:  09/03/2026 a las 10:00 hrs. ",
                           "Costo Total $ ,", "Venta Total $ ,", "Utilidad $ ,", "Efectivo $ 1.500,5",
                           "Tarjeta $ ,"};
        QTest::newRow("no such day")
            << "01/01/2026 8:00:00" << kTodas << QStringList{}
            << QStringList{"", "Costo Total $ ,", "Venta Total $ ,", "Utilidad $ ,", "Efectivo $ ,",
                           "Tarjeta $ ,"};
    }
    void dailySearch()
    {
        QFETCH(QString, day);
        QFETCH(QString, category);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, labels);
        for (const QLocale& locale : {kChile, QLocale::c()}) {
            const HistoryResult result =
                tarvino::dailySearch(m_shop->db, day, m_shop->db.till(), filterOf(category), locale);
            QCOMPARE(rowsOf(result, locale), localised(rows, locale));
            QCOMPARE(labelsOf(result), localised(labels, locale));
        }
    }

    void monthlySearch_data()
    {
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("labels");

        // The day opened on February's last evening counts entirely in February.
        QTest::newRow("February")
            << "Febrero" << "2026" << kTodas
            << QStringList{"1|100|Leche|3|2100|2970|Lacteos", "2|200|Pan|1,5|1350|2250,75|Panaderia"}
            << QStringList{"Ventas realizadas en Febrero del 2026", "Costo Total $ 3.450,",
                           "Venta Total $ 5.220,75", "Utilidad $ 1.770,75", "Efectivo $ 1.980,",
                           "Tarjeta $ 3.240,75"};
        // Days in opening order, whatever order their lines were stored in; the day opened in the
        // last second of March is March's, April's first and March 2025 are not; the open day adds
        // its takings but no lines.
        QTest::newRow("March")
            << "Marzo" << "2026" << kTodas
            << QStringList{"1|300|Arroz|3|2400|3600|Abarrotes", "2|100|Leche Entera|3|2100|2970|Lacteos",
                           "3|200|Pan|0,5|450|750,25|Panaderia", "4|400|Vino|1|3000|4500|Licores"}
            << QStringList{"Ventas realizadas en Marzo del 2026", "Costo Total $ 7.950,",
                           "Venta Total $ 11.820,25", "Utilidad $ 3.870,25", "Efectivo $ 10.170,5",
                           "Tarjeta $ 3.150,25"};
        QTest::newRow("March, one category")
            << "Marzo" << "2026" << "Abarrotes" << QStringList{"1|300|Arroz|3|2400|3600|Abarrotes"}
            << QStringList{"Ventas realizadas en Marzo del 2026", "Costo Total $ 2.400,",
                           "Venta Total $ 3.600,", "Utilidad $ 1.200,", "Efectivo $ 1.200,",
                           "Tarjeta $ 2.400,"};
        QTest::newRow("month without sales")
            << "Mayo" << "2026" << kTodas << QStringList{}
            << QStringList{"Ventas realizadas en Mayo del 2026", "Costo Total $ ,", "Venta Total $ ,",
                           "Utilidad $ ,", "Efectivo $ ,", "Tarjeta $ ,"};
    }
    void monthlySearch()
    {
        QFETCH(QString, month);
        QFETCH(QString, year);
        QFETCH(QString, category);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, labels);
        for (const QLocale& locale : {kChile, QLocale::c()}) {
            const HistoryResult result =
                tarvino::monthlySearch(m_shop->db, month, year, filterOf(category), locale);
            QCOMPARE(rowsOf(result, locale), localised(rows, locale));
            QCOMPARE(labelsOf(result), localised(labels, locale));
        }
    }

    // With no closed line at all the month's heading and amounts stay empty, its takings do not.
    void emptyHistory()
    {
        TempShop shop;
        addDay(shop, "2026-03-09 09:05:07", 1500.5, 990, "2026-03-09 10:00:00");
        const HistoryResult month = tarvino::monthlySearch(shop.db, QStringLiteral("Marzo"), QStringLiteral("2026"), {}, kChile);
        QVERIFY(month.lines.empty());
        QCOMPARE(labelsOf(month), (QStringList{"", "", "", "", "Efectivo $ 1.500,5", "Tarjeta $ 990,"}));
        const HistoryResult day = tarvino::dailySearch(shop.db, QStringLiteral("09/03/2026 9:05:07"),
                                                       shop.db.till(), {}, kChile);
        QCOMPARE(labelsOf(day).mid(1), (QStringList{"Costo Total $ ,", "Venta Total $ ,", "Utilidad $ ,",
                                                   "Efectivo $ 1.500,5", "Tarjeta $ 990,"}));
    }

    // A split sale's lines count in cash and by card as their own sale was divided (a quarter, then
    // a half in cash here), so that the categories add up to the day row's efectivo and tarjeta.
    void splitSalesInCategoryTotals_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("Lacteos") << "Lacteos" << QStringList{"Efectivo $ 1.250,", "Tarjeta $ 750,"};
        QTest::newRow("Panaderia") << "Panaderia" << QStringList{"Efectivo $ 2.250,", "Tarjeta $ 3.750,"};
        QTest::newRow("all") << kTodas << QStringList{"Efectivo $ 3.500,", "Tarjeta $ 4.500,"};
    }
    void splitSalesInCategoryTotals()
    {
        QFETCH(QString, category);
        QFETCH(QStringList, labels);
        TempShop shop;
        shop.addProduct({"10", "Leche", 10, 500, 1000, 0, "Lacteos"});
        shop.addProduct({"20", "Pan", 10, 900, 3000, 0, "Panaderia"});
        SalesDay day(shop.db, shop.clock);
        day.begin(QStringLiteral("admin"));
        const auto sell = [&](const QStringList& codes, const QString& kind, Cents cash) {
            SaleLines lines;
            for (const QString& code : codes)
                mergeDetailLine(lines, *findProductByCode(shop.db, code), code, 1, QStringLiteral("1"));
            day.record(lines, QString::number(computeTotal(lines)), kind, cash);
            shop.clock.advance(30);
        };
        sell({"10", "20"}, "MIXTO", 1000 * 100);
        sell({"10"}, "EFECTIVO", 0);
        sell({"20"}, "MIXTO", 1500 * 100);
        const QString opened = day.openingStamp();
        day.close();
        const auto daily = tarvino::dailySearch(shop.db, opened, shop.db.till(), filterOf(category), kChile);
        const auto monthly = tarvino::monthlySearch(shop.db, "Marzo", "2026", filterOf(category), kChile);
        QCOMPARE((QStringList{daily.label9, daily.label11, monthly.label9, monthly.label11}), labels + labels);
    }

    void choices()
    {
        m_shop->addProduct({QStringLiteral("1"), QStringLiteral("Leche"), 1, 1, 1, 0, QStringLiteral("Lacteos")});
        m_shop->addProduct({QStringLiteral("2"), QStringLiteral("Caja"), 1, 1, 1, 0, QStringLiteral("Todas")});
        const HistoryChoices c = historyChoices(m_shop->db, QDate(2026, 3, 9));
        QCOMPARE(c.days, (QStringList{"10/03/2025 10:00:00", "28/02/2026 20:30:00", "05/03/2026 9:05:07",
                                      "09/03/2026 9:05:07", "31/03/2026 23:59:59", "01/04/2026 0:00:00"}));
        QCOMPARE(c.years, (QStringList{"2026", "2025"}));
        // A category named like the entry for every category is still listed as a category.
        QCOMPARE(c.categories, (QStringList{"Lacteos", "Todas", "Todas"}));
    }

    void years_data()
    {
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QStringList>("years");
        QTest::newRow("no day yet") << QStringList{} << QStringList{"2026"};
        QTest::newRow("back to the earliest")
            << QStringList{"31/12/2023 23:00:00", "01/01/2026 9:00:00"} << QStringList{"2026", "2025", "2024", "2023"};
        QTest::newRow("a day after today's year")
            << QStringList{"05/01/2027 9:00:00"} << QStringList{"2027", "2026"};
        QTest::newRow("unreadable day ignored") << QStringList{"ayer"} << QStringList{"2026"};
    }
    void years()
    {
        QFETCH(QStringList, days);
        QFETCH(QStringList, years);
        QCOMPARE(historyYears(days, 2026), years);
    }

private:
    std::unique_ptr<TempShop> m_shop;
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
