// The drawer's windows driven from the CAJA menu with the keyboard: the opening cash, cash put in
// and taken out, and the change of cashier, checked in the windows and in the stored rows.
#include "app/login_window.h"
#include "cash/cash_book.h"
#include "cash/movement_window.h"
#include "cash/opening_cash_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

using namespace tarvino;
using namespace tarvino::test;

namespace {
void type(QWidget* box, const QString& text, Qt::Key key = Qt::Key_Return)
{
    QTest::keyClicks(box, text);
    QTest::keyClick(box, key);
}

// The cashier "ana" (no rights, receipts on 58 mm) and the administrator "jefe".
void addStaff(TempShop& shop)
{
    shop.addUser(QStringLiteral("ana"), QStringLiteral("ana1"), 58);
    shop.addUser(QStringLiteral("jefe"), QStringLiteral("jefe1"));
    shop.execute(QStringLiteral("update Usuarios set Nivel = 1 where NombreUsuario = 'jefe'"));
}
} // namespace

class TestCashWindows : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }
    // A window a refusal kept open goes with its test.
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form14*>(w) || qobject_cast<Form15*>(w))
                w->close();
        flushClosedWindows();
    }

    void openingCash_data()
    {
        QTest::addColumn<QString>("typed");   // typed over the amount offered
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("fault");       // the write that fails, 0 none
        QTest::addColumn<QString>("stored");  // FondoCaja's Monto, empty for none
        QTest::addColumn<bool>("told");
        QTest::newRow("offered amount taken") << "" << int(Qt::Key_Return) << 0 << "12345.5" << false;
        QTest::newRow("typed amount") << "2500,5" << int(Qt::Key_Return) << 0 << "2500.5" << false;
        QTest::newRow("above the largest") << "1000000000" << int(Qt::Key_Return) << 0 << "" << true;
        QTest::newRow("store fails") << "" << int(Qt::Key_Return) << 1 << "" << true;
        QTest::newRow("esc leaves") << "" << int(Qt::Key_Escape) << 0 << "" << false;
    }
    void openingCash()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(int, fault);
        QFETCH(QString, stored);
        QFETCH(bool, told);
        SalesDriver d;
        // The day before closed with 12.345,50 counted.
        closeDayWithCount(d.shop.db, d.shop.clock, QStringLiteral("08/03/2026 9:00:00"),
                          QStringLiteral("admin"), {1234550, {}});
        Form1& f = d.open();
        f.fondoCaja->trigger();
        Form14* w = visibleWindow<Form14>();
        QVERIFY(w);
        QCOMPARE(w->focusWidget(), w->Text1);
        QCOMPARE(w->Text1->selectedText(), QStringLiteral("12345,5"));
        if (!typed.isEmpty())
            QTest::keyClicks(w->Text1, typed);
        if (fault)
            d.shop.faults->failAtWrite(fault);
        QTest::keyClick(w->Text1, Qt::Key(key));
        QCOMPARE(d.shop.rows(QStringLiteral("select Monto, NombreUsuario from FondoCaja")),
                 stored.isEmpty() ? QVariantList{} : QVariantList{stored + QStringLiteral("|admin")});
        QCOMPARE(!d.shop.messages.boxes.isEmpty(), told);
        flushClosedWindows();
        // Refused, it stays open for another try; stored or left, the sale has the keyboard back.
        QCOMPARE(visibleWindow<Form14>() != nullptr, told);
        QCOMPARE(f.isEnabled(), !told);
    }

    // Asked at login only with the till's setting, over the sales window of a new day.
    void loginAsksForOpeningCash_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::newRow("setting") << true;
        QTest::newRow("no setting") << false;
    }
    void loginAsksForOpeningCash()
    {
        QFETCH(bool, setting);
        TempShop shop;
        shop.context.cash.askOpeningCash = setting;
        Form4 login(shop.context);
        login.show();
        type(login.Text1, QStringLiteral("admin"), Qt::Key_Tab);
        type(login.Text2, QStringLiteral("admin"));
        std::unique_ptr<Form1> sales(login.salesWindow());
        QVERIFY(sales && sales->isVisible());
        Form14* w = visibleWindow<Form14>();
        QCOMPARE(w != nullptr, setting);
        if (!w)
            return;
        QVERIFY(w->Text1->text().isEmpty()); // nothing counted yet: nothing offered
        type(w->Text1, QStringLiteral("30000"));
        QCOMPARE(openingCashOf(shop.db, sales->day().openingStamp()), std::optional<Cents>(3000000));
    }

    void movement_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("out");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("admin"); // name and password typed, "name password"
        QTest::addColumn<QString>("fail");  // "db" or "printer"
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("told");  // the start of the message, empty for none
        QTest::newRow("cash in") << "ana" << false << "5000" << "Sencillo para vuelto" << "" << ""
                                 << "INGRESO|5000.0|Sencillo para vuelto|ana|" << "";
        QTest::newRow("no reason") << "ana" << false << "5000" << "  " << "" << "" << ""
                                   << "Debe indicar el motivo";
        QTest::newRow("zero") << "ana" << false << "0" << "Otro" << "" << "" << ""
                              << "El monto debe ser mayor";
        QTest::newRow("out by an administrator") << "jefe" << true << "20000,5" << "Pago a proveedor" << ""
                                                 << "" << "RETIRO|20000.5|Pago a proveedor|jefe|" << "";
        QTest::newRow("out by a cashier, allowed") << "ana" << true << "70000" << "Retiro a caja fuerte"
                                                   << "jefe jefe1" << ""
                                                   << "RETIRO|70000.0|Retiro a caja fuerte|ana|jefe" << "";
        QTest::newRow("out by a cashier, wrong password") << "ana" << true << "70000" << "Retiro"
                                                          << "jefe x" << "" << "" << "La contraseña";
        QTest::newRow("out allowed by a cashier") << "ana" << true << "70000" << "Retiro" << "ana ana1"
                                                  << "" << "" << "«ana» no tiene";
        QTest::newRow("store fails") << "ana" << false << "5000" << "Otro" << "" << "db" << ""
                                     << "No se pudo registrar el movimiento";
        QTest::newRow("printer fails") << "ana" << false << "5000" << "Otro" << "" << "printer"
                                       << "INGRESO|5000.0|Otro|ana|" << "No se pudo imprimir";
    }
    void movement()
    {
        QFETCH(QString, user);
        QFETCH(bool, out);
        QFETCH(QString, amount);
        QFETCH(QString, reason);
        QFETCH(QString, admin);
        QFETCH(QString, fail);
        QFETCH(QString, stored);
        QFETCH(QString, told);
        SalesDriver d;
        addStaff(d.shop);
        Form1& f = d.open(user);
        UserRights rights;
        rights.administrator = user == QLatin1String("jefe");
        f.applyRights(rights);
        (out ? f.retiroDinero : f.ingresoDinero)->trigger();
        Form15* w = visibleWindow<Form15>();
        QVERIFY(w);
        QCOMPARE(w->Text2->isVisibleTo(w), !admin.isEmpty());
        type(w->Text1, amount);
        QCOMPARE(w->focusWidget(), w->Combo1);
        if (fail == QLatin1String("db"))
            d.shop.faults->failAtWrite(1);
        if (fail == QLatin1String("printer"))
            d.shop.printer.failNext = QStringLiteral("sin papel");
        type(w->Combo1, reason);
        if (!admin.isEmpty()) {
            QCOMPARE(w->focusWidget(), w->Text2);
            type(w->Text2, admin.section(' ', 0, 0));
            type(w->Text3, admin.section(' ', 1, 1));
        }
        QCOMPARE(d.shop.rows(QStringLiteral("select Tipo, Monto, Motivo, NombreUsuario, Autoriza from "
                                            "MovimientosCaja")),
                 stored.isEmpty() ? QVariantList{} : QVariantList{stored});
        QCOMPARE(d.shop.messages.boxes.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty())
            QVERIFY2(d.shop.messages.lastText().startsWith(told), qPrintable(d.shop.messages.lastText()));
        if (fail == QLatin1String("printer"))
            QVERIFY(d.shop.messages.lastText().endsWith(QStringLiteral("El movimiento quedó registrado.")));
        // ana prints receipts, jefe does not: a slip for every movement of hers that was stored.
        const bool slip = !stored.isEmpty() && user == QLatin1String("ana") && fail.isEmpty();
        QCOMPARE(d.shop.printer.documents.size(), slip ? 1 : 0);
        flushClosedWindows();
        QCOMPARE(visibleWindow<Form15>() == nullptr, !stored.isEmpty());
    }

    void changeOfCashier()
    {
        SalesDriver d;
        addStaff(d.shop);
        d.shop.addUser(QStringLiteral("beto"), QStringLiteral("beto1"));
        Form1& f = d.open(QStringLiteral("ana"));
        QVERIFY(d.sell(QStringLiteral("100")));

        // A sale on screen stays with its cashier.
        d.typeCode(QStringLiteral("200"));
        f.cambiarCajero->trigger();
        QCOMPARE(d.shop.messages.texts(),
                 QStringList{"Termine o cancele la venta antes de cambiar de cajero."});
        QVERIFY(f.isVisible() && !visibleWindow<Form4>());
        f.Command2_Click();

        d.shop.messages.clear();
        d.shop.messages.answer(true); // the X report of ana
        d.shop.clock.advance(60);
        f.cambiarCajero->trigger();
        QCOMPARE(d.shop.messages.texts(), QStringList{"¿Imprimir el informe X de ana?"});
        QCOMPARE(d.shop.printer.documents.size(), 1);
        Form4* login = visibleWindow<Form4>();
        QVERIFY(login && login->changesCashier());
        QVERIFY(!f.isVisible());
        type(login->Text1, QStringLiteral("beto"), Qt::Key_Tab);
        type(login->Text2, QStringLiteral("beto1"));
        flushClosedWindows();
        QVERIFY(f.isVisible() && !visibleWindow<Form4>());
        QCOMPARE(f.day().openingStamp(), d.openingStamp);
        QCOMPARE(f.day().userSince(), d.shop.clock.now());
        QVERIFY(d.sell(QStringLiteral("200")));
        QCOMPARE(d.shop.column(QStringLiteral("select NombreUsuario from Temporal order by FechaVenta, rowid")),
                 (QVariantList{"ana", "beto"}));
        QCOMPARE(d.shop.messages.unexpectedQuestions, 0);
    }

    // Nobody logs in: the program ends, the day's sales kept for the next start to go on with.
    void changeLeftWithoutLogin()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        f.cambiarCajero->trigger();
        Form4* login = visibleWindow<Form4>();
        QVERIFY(login);
        d.shop.messages.answer(false);
        login->close();
        QVERIFY(login->isVisible());
        d.shop.messages.answer(true);
        login->close();
        QPointer<Form1> gone(d.form.release());
        flushClosedWindows();
        QVERIFY(!gone);
        QCOMPARE(d.shop.count(QStringLiteral("Temporal")), 1);
    }
};

QTEST_MAIN(TestCashWindows)
#include "test_cash_windows.moc"
