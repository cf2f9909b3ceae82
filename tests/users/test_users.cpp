// User administration: the look-up, saving and deleting of accounts on a temporary bd1, the real
// window Form8 driven by keys and clicks, and a changed receipt setting at the very next sale.
#include "sales/payment_window.h"
#include "support/sales_driver.h"
#include "users/users.h"
#include "users/users_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {
using SaveOutcome = UserSaveResult::Outcome;
using DeleteOutcome = UserDeletion::Outcome;

// admin/admin (0) comes with every new file; ana 58, beto 80, caro with a stored 1.
void addUsers(TempShop& shop)
{
    shop.addUser(QStringLiteral("ana"), QStringLiteral("clave1"), 58);
    shop.addUser(QStringLiteral("beto"), QStringLiteral("x"), 80);
    shop.addUser(QStringLiteral("caro"), QStringLiteral("y"), 1);
}

QString userRow(TempShop& shop, const QString& name)
{
    return shop.column(QStringLiteral("select NombreUsuario || '|' || \"Contraseña\" || '|' || PermisoCruce "
                                      "|| '|' || ifnull(Nivel, 'NULL') from Usuarios where NombreUsuario = '%1'")
                           .arg(name))
        .value(0)
        .toString();
}

void lookUp(Form8& f, const QString& name)
{
    QTest::keyClicks(f.Text1, name);
    QTest::keyClick(f.Text1, Qt::Key_Return);
}

// An entry of the receipt choice picked with the keyboard: the first one, then down.
void choose(Form8& f, int entry)
{
    QTest::keyClick(f.Combo1, Qt::Key_Home);
    for (int i = 0; i < entry; ++i)
        QTest::keyClick(f.Combo1, Qt::Key_Down);
}

// The user window the menu opened.
Form8* openUsersWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<Form8*>(w); form && form->isVisible())
            return form;
    return nullptr;
}
} // namespace

class TestUsers : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void lookUpByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found"); // "password|setting|entry", empty when unknown
        QTest::newRow("admin") << "admin" << "admin|0|0";
        QTest::newRow("58") << "ana" << "clave1|58|1";
        QTest::newRow("80") << "beto" << "x|80|2";
        QTest::newRow("other value") << "caro" << "y|1|-1";
        QTest::newRow("case counts") << "Ana" << "";
        QTest::newRow("unknown") << "nadie" << "";
    }
    void lookUpByName()
    {
        QFETCH(QString, name);
        QFETCH(QString, found);
        TempShop shop;
        addUsers(shop);
        const UserFound u = lookUpUser(shop.db, name);
        QCOMPARE(u.exists, !found.isEmpty());
        if (u.exists)
            QCOMPARE(QStringList({u.password, u.setting, QString::number(u.choice)}).join('|'), found);
    }

    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<SaveOutcome>("outcome");
        QTest::addColumn<QString>("result"); // the stored row when saved, else the message
        QTest::newRow("new") << "dani" << "pw1" << "1" << false << SaveOutcome::Added << "dani|pw1|1.0|NULL";
        QTest::newRow("change") << "ana" << "nueva" << "80" << true << SaveOutcome::Changed << "ana|nueva|80.0|0";
        QTest::newRow("no name") << "" << "pw" << "0" << false << SaveOutcome::MissingData << userMessages::kFaltanDatos;
        QTest::newRow("no password") << "ana" << "" << "0" << true << SaveOutcome::MissingData << userMessages::kFaltanDatos;
        QTest::newRow("quote") << "dani" << "a' or '1" << "0" << false << SaveOutcome::BadCharacters << userMessages::kCaracteres;
        QTest::newRow("name taken") << "ana" << "pw" << "0" << false << SaveOutcome::AlreadyExists << "El usuario «ana» ya existe.";
        QTest::newRow("gone") << "nadie" << "pw" << "0" << true << SaveOutcome::Vanished << "El usuario «nadie» ya no existe.";
    }
    void save()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, setting);
        QFETCH(bool, existing);
        QFETCH(SaveOutcome, outcome);
        QFETCH(QString, result);
        TempShop shop;
        addUsers(shop);
        const QString before = shop.dump();
        const UserSaveResult saved = saveUser(shop.db, name, password, setting, existing);
        QCOMPARE(saved.outcome, outcome);
        if (!saved.saved()) {
            QCOMPARE(saved.message, result);
            QCOMPARE(shop.dump(), before);
            return;
        }
        QVERIFY(saved.message.isEmpty());
        QCOMPARE(userRow(shop, name), result);
        QCOMPARE(shop.count("Usuarios"), existing ? 4 : 5);
    }

    void deletion_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("loggedIn");
        QTest::addColumn<bool>("alone"); // every other user removed first
        QTest::addColumn<DeleteOutcome>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("other user") << "ana" << "admin" << false << DeleteOutcome::Allowed << "";
        QTest::newRow("administrator") << "admin" << "ana" << false << DeleteOutcome::Administrator << userMessages::kAdministrador;
        QTest::newRow("at the till") << "beto" << "beto" << false << DeleteOutcome::LoggedIn << userMessages::kSesionAbierta;
        QTest::newRow("only user") << "ana" << "" << true << DeleteOutcome::LastUser << userMessages::kUltimoUsuario;
        QTest::newRow("gone") << "nadie" << "" << false << DeleteOutcome::Vanished << "El usuario «nadie» ya no existe.";
    }
    void deletion()
    {
        QFETCH(QString, name);
        QFETCH(QString, loggedIn);
        QFETCH(bool, alone);
        QFETCH(DeleteOutcome, outcome);
        QFETCH(QString, message);
        TempShop shop;
        addUsers(shop);
        if (alone)
            shop.db.execute(QStringLiteral("delete from Usuarios where NombreUsuario <> '%1'").arg(name));
        const int users = shop.count("Usuarios");
        const QString before = shop.dump();
        const UserDeletion done = deleteUser(shop.db, name, loggedIn);
        QCOMPARE(done.outcome, outcome);
        QCOMPARE(done.message, message);
        if (done.allowed()) {
            QCOMPARE(shop.count("Usuarios"), users - 1);
            QVERIFY(userRow(shop, name).isEmpty());
        } else {
            QCOMPARE(shop.dump(), before);
        }
    }

    // The window as it opens, then Enter on a known name (typed through the key filter), a new
    // password and entry, Guardar; a new user then keeps the entry last shown.
    void changeAndAddThroughTheWindow()
    {
        TempShop shop;
        addUsers(shop);
        Form8 f(shop.context);
        f.Form_Load();
        QCOMPARE(QStringList({f.windowTitle(), f.Label1->text(), f.Label2->text(), f.Label3->text(),
                              f.Combo1->itemText(0), f.Combo1->itemText(1), f.Combo1->itemText(2), f.Text3}),
                 QStringList({"TARVINO 1.0", "CAMBIAR CONTRASEÑA", "Nombre Usuario", "Contraseña", "No Imprimir",
                              "Imprimir 58mm", "Imprimir 80mm", "1"}));
        QVERIFY(f.Text1->isEnabled() && !f.Text2->isEnabled() && !f.Combo1->isEnabled() && !f.Command4->isEnabled());
        lookUp(f, "aN na.");
        QCOMPARE(f.Text2->text(), QStringLiteral("clave1"));
        QCOMPARE(f.Combo1->currentText(), QStringLiteral("Imprimir 58mm"));
        QVERIFY(!f.Text1->isEnabled() && f.Combo1->isEnabled() && f.Command4->isEnabled());
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(f.Text2, Qt::Key_Backspace);
        QTest::keyClicks(f.Text2, "nu-E eva");
        choose(f, 2);
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "ana"), QStringLiteral("ana|nueva|80.0|0"));
        QVERIFY(f.Text1->text().isEmpty() && f.Text1->isEnabled() && !f.Text2->isEnabled() && !f.Command4->isEnabled());

        lookUp(f, "eva");
        QVERIFY(f.Text2->text().isEmpty() && f.Text2->isEnabled() && !f.Command4->isEnabled());
        QTest::keyClicks(f.Text2, "pw");
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "eva"), QStringLiteral("eva|pw|80.0|NULL"));

        // A stored value that is none of the entries shows no entry and is kept on saving.
        lookUp(f, "caro");
        QCOMPARE(f.Combo1->currentIndex(), -1);
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "caro"), QStringLiteral("caro|y|1.0|0"));
        QVERIFY(shop.messages.boxes.isEmpty());

        const QString before = shop.dump();
        QTest::keyClick(f.Text1, Qt::Key_Return);
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(shop.messages.texts(), QStringList({userMessages::kNombreVacio, userMessages::kFaltanDatos}));
        QCOMPARE(shop.dump(), before);
    }

    // From the sales menu, with ana at the till: admin and ana refused, beto deleted only on Yes.
    void deleteThroughTheMenu()
    {
        SalesDriver d;
        addUsers(d.shop);
        Form1& sales = d.open("ana");
        sales.usuarios->trigger();
        Form8* f = openUsersWindow();
        QVERIFY(f);
        QVERIFY(!sales.isVisible());
        for (const QString name : {"admin", "ana"}) {
            lookUp(*f, name);
            QTest::mouseClick(f->Command4, Qt::LeftButton);
            QTest::mouseClick(f->Command5, Qt::LeftButton);
        }
        QCOMPARE(d.shop.messages.texts(), QStringList({userMessages::kAdministrador, userMessages::kSesionAbierta}));
        d.shop.messages.clear();
        lookUp(*f, "beto");
        d.shop.messages.answer(false);
        QTest::mouseClick(f->Command4, Qt::LeftButton);
        QCOMPARE(d.shop.count("Usuarios"), 4);
        QCOMPARE(f->Text1->text(), QStringLiteral("beto"));
        d.shop.messages.answer(true);
        QTest::mouseClick(f->Command4, Qt::LeftButton);
        QVERIFY(userRow(d.shop, "beto").isEmpty());
        QCOMPARE(d.shop.messages.boxes.size(), 2);
        QCOMPARE(d.shop.messages.boxes[0].title, userMessages::kTituloConfirmarEliminacion);
        QCOMPARE(d.shop.messages.boxes[0].text, userMessages::kConfirmarEliminacion);
        QVERIFY(f->Text1->text().isEmpty() && f->Text1->isEnabled());
        f->close();
        flushClosedWindows();
        QVERIFY(sales.isVisible());
    }

    void settingGovernsTheNextReceipt_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<double>>("rolls");
        QTest::newRow("No Imprimir") << 80.0 << 0 << QList<double>{};
        QTest::newRow("Imprimir 58mm") << 80.0 << 1 << QList<double>{58};
        QTest::newRow("Imprimir 80mm") << 0.0 << 2 << QList<double>{80};
    }
    void settingGovernsTheNextReceipt()
    {
        QFETCH(double, stored);
        QFETCH(int, entry);
        QFETCH(QList<double>, rolls);
        SalesDriver d;
        d.shop.addUser("caja", "uno", stored);
        Form1& sales = d.open("caja");
        sales.usuarios->trigger();
        Form8* f = openUsersWindow();
        QVERIFY(f);
        lookUp(*f, "caja");
        choose(*f, entry);
        QTest::mouseClick(f->Command3, Qt::LeftButton);
        f->close();
        flushClosedWindows();
        d.typeCode("100");
        QTest::mouseClick(d.pay().Command1, Qt::LeftButton);
        flushClosedWindows();
        QCOMPARE(d.shop.count("Temporal"), 1);
        QCOMPARE(d.shop.printer.rollWidths, rolls);
        if (!rolls.isEmpty()) {
            const QString date = rolls[0] == 58 ? "   09/03/2026" : QString(20, ' ') + "09/03/2026";
            QVERIFY(FakePrinter::lines(d.shop.printer.documents[0]).first().startsWith(date));
        }
    }
};

QTEST_MAIN(TestUsers)
#include "test_users.moc"
