// The drawer's windows driven with the keyboard (the opening cash, cash put in and taken out, the
// change of cashier), checked in the windows and in the stored rows.
#include "app/login_window.h"
#include "cash/cash_book.h"
#include "cash/movement_window.h"
#include "cash/opening_cash_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {
// The cashier "ana" (no rights, receipts on 58 mm), the administrator "jefe" and "beto"; "admin"
// loses Nivel 1 and stays the administrator all the same.
void addStaff(TempShop& shop)
{
    shop.addUser(QStringLiteral("ana"), QStringLiteral("ana1"), 58);
    shop.addUser(QStringLiteral("jefe"), QStringLiteral("jefe1"));
    shop.addUser(QStringLiteral("beto"), QStringLiteral("beto1"));
    shop.execute(QStringLiteral("update Usuarios set Nivel = 1 - Nivel where NombreUsuario in ('jefe', 'admin')"));
}
} // namespace

class TestCashWindows : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void openingCash_data()
    {
        QTest::addColumn<QString>("how");    // "menu", or a login with or without the till's setting
        QTest::addColumn<QString>("typed");  // over the amount offered, then Enter or Esc (\x1b)
        QTest::addColumn<bool>("fault");     // the storing fails
        QTest::addColumn<QString>("stored"); // FondoCaja's Monto, empty for none (then told, or left)
        QTest::newRow("offered amount taken") << "menu" << "\r" << false << "12345.5";
        QTest::newRow("typed amount") << "menu" << "2500,5\r" << false << "2500.5";
        QTest::newRow("above the largest") << "menu" << "1000000000\r" << false << "";
        QTest::newRow("store fails") << "menu" << "\r" << true << "";
        QTest::newRow("esc leaves") << "menu" << "\x1b" << false << "";
        QTest::newRow("asked at login") << "login" << "\r" << false << "12345.5";
        QTest::newRow("login without the setting") << "plain login" << "" << false << ""; // no window
    }
    void openingCash()
    {
        QFETCH(QString, how);
        QFETCH(QString, typed);
        QFETCH(bool, fault);
        QFETCH(QString, stored);
        SalesDriver d;
        // The day before closed with 12.345,50 counted.
        closeDayWithCount(d.shop.db, d.shop.clock, QStringLiteral("08/03/2026 9:00:00"), QStringLiteral("admin"), {1234550, {}});
        if (how == QLatin1String("menu")) {
            d.open().fondoCaja->trigger();
        } else {
            d.shop.context.cash.askOpeningCash = how == QLatin1String("login");
            Form4 login(d.shop.context);
            QTest::keyClicks(login.Text1, QStringLiteral("admin\t"));
            QTest::keyClicks(login.Text2, QStringLiteral("admin\r"));
            d.form.reset(login.salesWindow());
        }
        Form14* w = visibleWindow<Form14>();
        QCOMPARE(w != nullptr, !typed.isEmpty());
        if (!w)
            return;
        QCOMPARE(w->focusWidget(), w->Text1);
        QCOMPARE(w->Text1->selectedText(), QStringLiteral("12345,5"));
        d.shop.faults->failAtWrite(fault ? 1 : 0);
        QTest::keyClicks(w->Text1, typed);
        QCOMPARE(d.shop.rows(QStringLiteral("select Monto, NombreUsuario from FondoCaja")),
                 stored.isEmpty() ? QVariantList{} : QVariantList{stored + QStringLiteral("|admin")});
        // Refused, it is told and stays open for another try; stored or left, the sale goes on.
        const bool told = stored.isEmpty() && typed.endsWith('\r');
        QCOMPARE(d.shop.messages.boxes.size(), told ? 1 : 0);
        flushClosedWindows();
        QCOMPARE(visibleWindow<Form14>() != nullptr, told);
        QCOMPARE(d.form->isEnabled(), !told);
        if (told)
            w->close();
    }

    // The rule of who may take cash out, through the window that asks it.
    void movement_data()
    {
        QTest::addColumn<QString>("typed"); // user|amount|reason, then an allowing administrator|password
        QTest::addColumn<QString>("fail");  // "db" or "printer"
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("told");  // the start of the message, empty for none
        QTest::newRow("cash in") << "ana|5000|Sencillo para vuelto" << "" << "INGRESO|5000.0|Sencillo para vuelto|ana|" << "";
        QTest::newRow("no reason") << "ana|5000| " << "" << "" << "Debe indicar el motivo";
        QTest::newRow("out by jefe") << "jefe|20000,5|Pago a proveedor" << "" << "RETIRO|20000.5|Pago a proveedor|jefe|" << "";
        QTest::newRow("allowed by jefe") << "ana|70000|Caja fuerte|jefe|jefe1" << "" << "RETIRO|70000.0|Caja fuerte|ana|jefe" << "";
        QTest::newRow("allowed by admin") << "ana|700|Caja fuerte|admin|admin" << "" << "RETIRO|700.0|Caja fuerte|ana|admin" << "";
        QTest::newRow("no administrator") << "ana|700|Caja|||" << "" << "" << "Un retiro de dinero necesita";
        QTest::newRow("no password") << "ana|700|Caja|jefe|" << "" << "" << "Escriba la contraseña";
        QTest::newRow("unknown name") << "ana|700|Caja|nadie|x" << "" << "" << "El nombre de usuario";
        QTest::newRow("wrong password") << "ana|700|Caja|jefe|x" << "" << "" << "La contraseña es incorrecta";
        QTest::newRow("beto cannot allow") << "ana|700|Caja|beto|beto1" << "" << "" << "«beto» no tiene";
        QTest::newRow("store fails") << "ana|5000|Otro" << "db" << "" << "No se pudo registrar";
        QTest::newRow("printer fails") << "ana|5000|Otro" << "printer" << "INGRESO|5000.0|Otro|ana|"
                                       << "No se pudo imprimir el comprobante: sin papel.\n\nEl movimiento quedó registrado.";
    }
    void movement()
    {
        QFETCH(QString, typed);
        QFETCH(QString, fail);
        QFETCH(QString, stored);
        QFETCH(QString, told);
        const QStringList t = typed.split('|');
        SalesDriver d;
        addStaff(d.shop);
        Form1& f = d.open(t[0]);
        f.applyRights({t[0] == QLatin1String("jefe"), false, false});
        (t.size() > 3 || t[0] == QLatin1String("jefe") ? f.retiroDinero : f.ingresoDinero)->trigger();
        Form15* w = visibleWindow<Form15>();
        QVERIFY(w);
        QCOMPARE(w->Text2->isVisibleTo(w), t.size() > 3);
        QTest::keyClicks(w->Text1, t[1] + '\r');
        QCOMPARE(w->focusWidget(), w->Combo1);
        d.shop.faults->failAtWrite(fail == QLatin1String("db") ? 1 : 0);
        d.shop.printer.failNext = fail == QLatin1String("printer") ? QStringLiteral("sin papel") : QString();
        QTest::keyClicks(w->Combo1, t[2] + '\r');
        if (t.size() > 3) {
            QTest::keyClicks(w->Text2, t[3] + '\r');
            QTest::keyClicks(w->Text3, t[4] + '\r');
        }
        QCOMPARE(d.shop.rows(QStringLiteral("select Tipo, Monto, Motivo, NombreUsuario, Autoriza from MovimientosCaja")),
                 stored.isEmpty() ? QVariantList{} : QVariantList{stored});
        QCOMPARE(d.shop.messages.boxes.size(), told.isEmpty() ? 0 : 1);
        QCOMPARE(d.shop.messages.lastText().left(told.size()), told);
        // ana prints receipts, jefe does not: a slip for each of her movements that was stored.
        QCOMPARE(d.shop.printer.documents.size(), !stored.isEmpty() && t[0] == QLatin1String("ana") && fail.isEmpty());
        flushClosedWindows();
        QCOMPARE(visibleWindow<Form15>() == nullptr, !stored.isEmpty());
        if (stored.isEmpty())
            w->close();
    }

    void changeOfCashier()
    {
        SalesDriver d;
        addStaff(d.shop);
        Form1& f = d.open(QStringLiteral("ana"));
        QVERIFY(d.sell(QStringLiteral("100")));
        d.typeCode(QStringLiteral("200")); // a sale on screen stays with its cashier
        f.cambiarCajero->trigger();
        QCOMPARE(d.shop.messages.texts(), QStringList{"Termine o cancele la venta antes de cambiar de cajero."});
        QVERIFY(f.isVisible() && !visibleWindow<Form4>());
        f.Command2_Click();

        d.shop.messages.clear();
        d.shop.messages.answer(true); // the X report of ana
        f.cambiarCajero->trigger();
        QCOMPARE(d.shop.messages.texts(), QStringList{"¿Imprimir el informe X de ana?"});
        QCOMPARE(d.shop.printer.documents.size(), 1);
        Form4* login = visibleWindow<Form4>();
        QVERIFY(login && login->changesCashier() && !f.isVisible());
        QTest::keyClicks(login->Text1, QStringLiteral("beto\t"));
        QTest::keyClicks(login->Text2, QStringLiteral("beto1\r"));
        flushClosedWindows();
        QVERIFY(f.isVisible() && !visibleWindow<Form4>());
        QCOMPARE(f.day().openingStamp(), d.openingStamp);
        QVERIFY(d.sell(QStringLiteral("200")));
        QCOMPARE(d.shop.column("select NombreUsuario from Temporal order by FechaVenta, rowid"), (QVariantList{"ana", "beto"}));
    }
};

QTEST_MAIN(TestCashWindows)
#include "test_cash_windows.moc"
