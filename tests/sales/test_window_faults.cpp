// Every write of the product editor and of the user window failing in turn, and a full disk under
// a sale and under the closing at exit: a clear message, nothing half-written, the window still in
// use, and the same action going through once the fault is gone.
#include "catalogue/editor_window.h"
#include "data/backup.h"
#include "data/schema.h"
#include "sales/payment_window.h"
#include "support/sales_driver.h"
#include "support/small_disk.h"
#include "users/users_window.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace tarvino;
using namespace tarvino::test;

namespace {

void typeInto(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

// Runs action with the n-th write failing, n = 1, 2, … until it goes through. Each failure must
// show one message starting with refusal and leave the file and the window (as shown() gives
// them) as they were.
void failEachWriteInTurn(TempShop& shop, const QString& refusal,
                         const std::function<void()>& action, const std::function<QString()>& shown,
                         int& failures)
{
    const QString file = shop.dump();
    const QString window = shown();
    for (failures = 0; failures < 20; ++failures) {
        shop.messages.clear();
        shop.faults->failAtWrite(failures + 1);
        action();
        shop.faults->failAtWrite(0);
        // A deletion's question comes first, answered Yes.
        if (!shop.messages.boxes.isEmpty() && shop.messages.boxes[0].kind == FakeMessages::Box::Ask)
            shop.messages.boxes.removeFirst();
        if (shop.messages.boxes.isEmpty())
            return;
        QVERIFY2(shop.messages.boxes.size() == 1 && shop.messages.lastText().startsWith(refusal),
                 qPrintable(shop.messages.texts().join(QStringLiteral(" / "))));
        QCOMPARE(shop.messages.boxes.last().icon, Messages::Icon::Critical);
        QCOMPARE(shop.dump(), file);
        QCOMPARE(shown(), window);
    }
}

// What a new record needs besides its key and the box the row changes; nothing for a record
// that is already stored.
using FillIn = std::function<void(Form2& editor, Form8& users)>;

} // namespace

Q_DECLARE_METATYPE(FillIn)

class TestWindowFaults : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // Guardar and Eliminar of the product editor and of the user window.
    void everyWriteFailingInTurn_data()
    {
        QTest::addColumn<bool>("products");
        QTest::addColumn<QString>("key");
        QTest::addColumn<FillIn>("fillIn");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("afterwards");
        const FillIn stored = [](Form2&, Form8&) {};
        QTest::newRow("new product") << true << "300" << FillIn([](Form2& editor, Form8&) {
            typeInto(editor.Text2, QStringLiteral("Arroz"));
            typeInto(editor.Text3, QStringLiteral("5"));
            typeInto(editor.Text4, QStringLiteral("800"));
            editor.Combo2->setEditText(QStringLiteral("Abarrotes"));
        }) << "1200"
                                     << "No se pudo guardar el producto"
                                     << "300|Arroz|5.0|800.0|1200.0|0|Abarrotes|0";
        QTest::newRow("changed product") << true << "100" << stored
                                         << "1100"
                                         << "No se pudo guardar el producto"
                                         << "100|Leche|10.0|700.0|1100.0|5|General|0";
        QTest::newRow("deleted product") << true << "200" << stored
                                         << ""
                                         << "No se pudo eliminar el producto"
                                         << "";
        QTest::newRow("new user") << false << "pedro" << FillIn([](Form2&, Form8& users) {
            QTest::keyClick(users.Combo1, Qt::Key_Home);
            QTest::keyClick(users.Combo1, Qt::Key_Down); // "Imprimir 58mm"
        })
                                  << "clave1"
                                  << "No se pudo guardar el usuario"
                                  << "pedro|$argon2id$*|58.0|0|0|0";
        QTest::newRow("changed user") << false << "ana" << stored
                                      << "a2"
                                      << "No se pudo guardar el usuario"
                                      << "ana|$argon2id$*|0.0|0|0|0";
        QTest::newRow("deleted user") << false << "ana" << stored
                                      << ""
                                      << "No se pudo eliminar el usuario"
                                      << "";
    }
    void everyWriteFailingInTurn()
    {
        QFETCH(bool, products);
        QFETCH(QString, key);
        QFETCH(FillIn, fillIn);
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        QFETCH(QString, afterwards);
        SalesDriver d; // products 100 Leche and 200 Pan
        TempShop& shop = d.shop;
        shop.addUser(QStringLiteral("ana"), QStringLiteral("a1"));
        Form2 editor(shop.context);
        Form8 users(shop.context);
        QWidget& form = products ? static_cast<QWidget&>(editor) : users;
        products ? editor.Form_Load() : users.Form_Load();
        form.show();
        QLineEdit* keyBox = products ? editor.Text1 : users.Text1;
        typeInto(keyBox, key);
        QTest::keyClick(keyBox, Qt::Key_Return);
        fillIn(editor, users);
        if (!change.isEmpty())
            typeInto(products ? editor.Text5 : users.Text2, change);
        const auto shown = [&] {
            const QList<QWidget*> boxes =
                products ? QList<QWidget*>{editor.Text1, editor.Text2, editor.Text3,
                                           editor.Text4, editor.Text5, editor.Combo2}
                         : QList<QWidget*>{users.Text1, users.Text2, users.Combo1};
            QStringList state{QString::number(products ? editor.m : users.m), users.Text3};
            for (QWidget* box : boxes) {
                const auto* line = qobject_cast<QLineEdit*>(box);
                state << (line ? line->text() : static_cast<QComboBox*>(box)->currentText())
                      << QString::number(box->isEnabled());
            }
            return state.join(u'|');
        };
        const bool deleting = change.isEmpty();
        QPushButton* button = deleting ? (products ? editor.Command4 : users.Command4)
                                       : (products ? editor.Command3 : users.Command3);
        int failures = 0;
        failEachWriteInTurn(
            shop, refusal,
            [&] {
                if (deleting)
                    shop.messages.answer(true);
                QTest::mouseClick(button, Qt::LeftButton);
            },
            shown, failures);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(failures, 2); // the row, then the commit
        if (afterwards.isEmpty())
            QVERIFY(!shop.dump().contains(QLatin1Char('\n') + key + QLatin1Char('|')));
        else // "*" stands for the rest of a salted password hash
            QVERIFY2(shop.dump().contains(QRegularExpression(
                         QLatin1Char('\n') +
                         QRegularExpression::escape(afterwards).replace(QStringLiteral("\\*"), QStringLiteral("[^|]+")) +
                         QLatin1Char('|'))),
                     qPrintable(shop.dump()));
        QVERIFY(keyBox->isEnabled()); // back to entering a code or a name
    }

    // A full disk: the sale, or the closing at exit, is refused with the cause and nothing of it
    // is stored; once space is freed the same sale records once, the same exit closes the day.
    void fullDisk_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::newRow("sale") << false;
        QTest::newRow("closing at exit") << true;
    }
    void fullDisk()
    {
        QFETCH(bool, closing);
        SalesDriver d;
        SmallDisk disk("1m");
        if (!disk.mounted())
            QSKIP("cannot mount a small disk here (needs root)");
        d.shop.db.close();
        QVERIFY(QFile::copy(d.shop.dbPath(), disk.filePath(QStringLiteral("bd1"))));
        d.shop.db.open(disk.filePath(QStringLiteral("bd1")));
        prepareDatabase(d.shop.db);
        Form1& f = d.open();
        if (closing)
            QVERIFY(d.sell(QStringLiteral("100")));
        else
            d.typeCode(QStringLiteral("100"));
        // The journal emptied, so that what comes next needs new room on the disk.
        d.shop.db.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY(disk.fill());
        const QString before = d.shop.dump();
        const QStringList sale = d.saleList();

        if (closing) {
            d.shop.messages.answer(true);  // leave
            d.shop.messages.answer(false); // but stay, to free space
            QVERIFY(!f.close());
            QVERIFY(f.isVisible());
        } else {
            d.settleInCash();
            QCOMPARE(d.saleList(), sale);
            QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
        }
        QVERIFY2(d.shop.messages.lastText().startsWith(
                     closing ? QStringLiteral("No se pudo cerrar el día de ventas")
                             : QStringLiteral("No se pudo registrar la venta")) &&
                     d.shop.messages.lastText().contains(QStringLiteral("el disco está lleno")),
                 qPrintable(d.shop.messages.lastText()));
        QCOMPARE(d.shop.dump(), before);

        QVERIFY(disk.release());
        d.shop.messages.clear();
        if (closing) {
            d.shop.messages.answer(true);
            QVERIFY(f.close());
            QCOMPARE(d.shop.count("Temporal"), 0);
            QCOMPARE(d.shop.count("Recaudacion"), 1);
            QVERIFY(!newestBackup(d.shop.db.path()).isEmpty());
        } else {
            d.settleInCash();
            QCOMPARE(d.shop.count("Temporal"), 1);
            QCOMPARE(d.shop.count("TipoPago"), 1);
            QCOMPARE(d.shop.scalar("select Cantidad from Productos where CodigoProducto = '100'")
                         .toDouble(),
                     9.0);
        }
        QCOMPARE(d.shop.messages.boxes.size(), closing ? 1 : 0); // the exit question only
        QCOMPARE(d.shop.messages.unexpectedQuestions, 0);
        d.form.reset();
        d.shop.db.close();
    }
};

QTEST_MAIN(TestWindowFaults)
#include "test_window_faults.moc"
