// The rules of the sales and payment windows' entry boxes, as tables of what is typed and what
// the rules answer; no window is made.
#include "sales/payment.h"
#include "sales/quantity_entry.h"

#include <QTest>

using namespace tarvino;

namespace
{

const QLocale kChile(QLocale::Spanish, QLocale::Chile);

const Product kPan{QStringLiteral("200"),    QStringLiteral("Pan"),    QStringLiteral("50"),
                   QStringLiteral("900"),    QStringLiteral("1500,5"), QStringLiteral("2"),
                   QStringLiteral("General")};

} // namespace

class TestEntryRules : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // A whole quantity entry as the sales window makes it: read, then added or taken out of a
    // sale of 3 Pan.
    void quantity_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("step"); // add, add unknown, deduct, deduct other, deduct empty
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("quantity");
        using K = QuantityAnswer::Kind;
        const QString tooMuch =
            QStringLiteral("No puede descontar una cantidad mayor a la vendida");

        QTest::newRow("empty") << kChile << ""
                               << "add" << int(K::Tell) << "Debe ingresar la cantidad a vender"
                               << 0.0;
        QTest::newRow("lone comma")
            << kChile << ","
            << "add" << int(K::Refuse)
            << "«,» no es una cantidad válida. Escriba la cantidad con un solo "
               "separador decimal, por ejemplo 2 o 0,5."
            << 0.0;
        QTest::newRow("example in the point locale")
            << QLocale::c() << "1,2,3"
            << "add" << int(K::Refuse)
            << "«1,2,3» no es una cantidad válida. Escriba la cantidad "
               "con un solo separador decimal, por ejemplo 2 o 0.5."
            << 0.0;
        QTest::newRow("zero drops") << kChile << "0"
                                    << "add" << int(K::Drop) << "" << 0.0;
        QTest::newRow("zero with decimals drops") << kChile << "0,0"
                                                  << "deduct" << int(K::Drop) << "" << 0.0;
        QTest::newRow("fraction, comma locale") << kChile << "2,5"
                                                << "add" << int(K::GoOn) << "" << 2.5;
        QTest::newRow("fraction, point locale") << QLocale::c() << "2.5"
                                                << "add" << int(K::GoOn) << "" << 2.5;
        QTest::newRow("unknown code")
            << kChile << "2"
            << "add unknown" << int(K::Drop) << "El código ingresado no existe" << 0.0;
        QTest::newRow("9999 asks nothing") << kChile << "9999"
                                           << "add" << int(K::GoOn) << "" << 9999.0;
        QTest::newRow("10000 asks")
            << kChile << "10000"
            << "add" << int(K::Ask) << "¿Agregar 10.000 unidades de Pan a la venta?" << 10000.0;
        QTest::newRow("just above 9999 asks")
            << kChile << "9999,5"
            << "add" << int(K::Ask) << "¿Agregar 9.999,5 unidades de Pan a la venta?" << 9999.5;
        QTest::newRow("asked in the point locale")
            << QLocale::c() << "78020000"
            << "add" << int(K::Ask) << "¿Agregar 78020000 unidades de Pan a la venta?"
            << 78020000.0;
        QTest::newRow("all that was sold") << kChile << "3"
                                           << "deduct" << int(K::GoOn) << "" << 3.0;
        QTest::newRow("more than sold") << kChile << "4"
                                        << "deduct" << int(K::Refuse) << tooMuch << 0.0;
        QTest::newRow("a fraction more than sold") << kChile << "3,5"
                                                   << "deduct" << int(K::Refuse) << tooMuch << 0.0;
        QTest::newRow("nothing sold")
            << kChile << "1"
            << "deduct empty" << int(K::Refuse)
            << "No hay nada que descontar mientras la lista esté vacía" << 0.0;
        QTest::newRow("code not in the sale")
            << kChile << "1"
            << "deduct other" << int(K::GoOn) << "El código ingresado no está en la lista" << 1.0;
    }
    void quantity()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, step);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(double, quantity);
        QLocale::setDefault(locale);
        SaleLines lines;
        if (step != QLatin1String("deduct empty"))
            mergeDetailLine(lines, kPan, kPan.code, 3, QStringLiteral("3"));
        const SaleLines before = lines;

        QuantityAnswer answer = QuantityEntry::read(typed);
        if (answer.kind == QuantityAnswer::Kind::GoOn) {
            const double q = answer.quantity;
            if (step == QLatin1String("add"))
                answer = QuantityEntry::add(kPan, q);
            else if (step == QLatin1String("add unknown"))
                answer = QuantityEntry::add(std::nullopt, q);
            else
                answer = QuantityEntry::deduct(
                    lines,
                    step == QLatin1String("deduct other") ? QStringLiteral("100") : kPan.code, q);
        }
        QCOMPARE(int(answer.kind), kind);
        QCOMPARE(answer.text, text);
        if (kind == int(QuantityAnswer::Kind::GoOn) || kind == int(QuantityAnswer::Kind::Ask))
            QCOMPARE(answer.quantity, quantity);
        // Only a deduction that goes on changes the sale.
        if (step == QLatin1String("deduct") && kind == int(QuantityAnswer::Kind::GoOn))
            QVERIFY(lines.isEmpty());
        else
            QCOMPARE(lines, before);
    }

    void amount_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("tendered");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown"); // the change, or the start of the refusal

        const QString below =
            QStringLiteral("El valor ingresado debe ser mayor o igual al total a pagar");
        QTest::newRow("nothing typed: no amount") << kChile << "3480,5"
                                                  << "" << true << "";
        QTest::newRow("change") << kChile << "3480,5"
                                << "4000" << true << "519,50";
        QTest::newRow("equal to the total") << kChile << "990"
                                            << "990" << true << "0";
        QTest::newRow("equal, with decimals") << kChile << "3480,5"
                                              << "3480,5" << true << "0";
        // Below one the change is the plain number, not the picture.
        QTest::newRow("change below one") << kChile << "3480,5"
                                          << "3481" << true << "0,5";
        QTest::newRow("change in thousands") << kChile << "1000"
                                             << "1001000" << true << "1.000.000,00";
        QTest::newRow("decimal point locale") << QLocale::c() << "3480.5"
                                              << "4000.75" << true << "520.25";
        QTest::newRow("whole change, point locale") << QLocale::c() << "3480.5"
                                                    << "3500.5" << true << "20.00";
        QTest::newRow("below the total") << kChile << "3480,5"
                                         << "3480" << false << below;
        QTest::newRow("a cent below") << kChile << "3480,5"
                                      << "3480,49" << false << below;
        QTest::newRow("lone comma")
            << kChile << "3480,5"
            << "," << false
            << "«,» no es un monto válido. Escriba el monto con a lo sumo un "
               "separador decimal, por ejemplo 2000 o 1500,50.";
        QTest::newRow("lone point") << kChile << "3480,5"
                                    << "." << false << "«.» no es un monto válido";
        QTest::newRow("two commas") << kChile << "3480,5"
                                    << "4,0,0" << false << "«4,0,0» no es un monto válido";
        QTest::newRow("point locale example")
            << QLocale::c() << "3480.5"
            << "," << false
            << "«,» no es un monto válido. Escriba el monto con a lo "
               "sumo un separador decimal, por ejemplo 2000 o 1500.50.";
    }
    void amount()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, total);
        QFETCH(QString, tendered);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        QLocale::setDefault(locale);
        const AmountCheck check = checkAmount(total, tendered);
        QCOMPARE(check.accepted, accepted);
        QCOMPARE(check.noAmount, tendered.isEmpty());
        if (accepted) {
            QCOMPARE(check.change, shown);
            QVERIFY(check.refusal.isEmpty());
        } else {
            QVERIFY2(check.refusal.startsWith(shown), qPrintable(check.refusal));
            QVERIFY(check.change.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestEntryRules)
#include "test_entry_rules.moc"
