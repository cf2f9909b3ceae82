// User administration: the look-up, saving and deleting of accounts on a temporary bd1, the real
// window Form8 driven by keys and clicks, and a changed receipt setting at the very next sale.
#include "sales/payment_window.h"
#include "support/sales_driver.h"
#include "users/passwords.h"
#include "users/user_entry.h"
#include "users/users.h"
#include "users/users_window.h"
#include "kit/window_kit.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
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

// "name|PermisoCruce|Nivel|permisoproductos|permisorecaudacion"; the password is checked apart.
QString userRow(TempShop& shop, const QString& name)
{
    return shop.rows(QStringLiteral("select NombreUsuario, PermisoCruce, Nivel, permisoproductos, "
                                      "permisorecaudacion from Usuarios where NombreUsuario = '%1'")
                           .arg(name))
        .value(0)
        .toString();
}

QString storedPassword(TempShop& shop, const QString& name)
{
    return shop.scalar(QStringLiteral("select Contraseña from Usuarios where NombreUsuario = '%1'").arg(name))
        .toString();
}

// Whether the stored password of name is a hash that password matches.
bool hashedAs(TempShop& shop, const QString& name, const QString& password)
{
    const QString stored = storedPassword(shop, name);
    return isPasswordHash(stored) && passwordMatches(stored, password);
}

// Rights as "apt" letters, "-" for each missing one.
QString letters(const UserRights& r)
{
    return QString(r.administrator ? 'a' : '-') + (r.products ? 'p' : '-') + (r.takings ? 't' : '-');
}

UserRights rightsOf(const QString& letters)
{
    return {letters.contains('a'), letters.contains('p'), letters.contains('t')};
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
} // namespace

class TestUsers : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void lookUpByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found"); // "setting|entry|rights", empty when unknown
        QTest::newRow("admin") << "admin" << "0|0|apt";
        QTest::newRow("58") << "ana" << "58|1|---";
        QTest::newRow("80") << "beto" << "80|2|-p-";
        QTest::newRow("other value") << "caro" << "1|-1|--t";
        QTest::newRow("case counts") << "Ana" << "";
        QTest::newRow("unknown") << "nadie" << "";
    }
    void lookUpByName()
    {
        QFETCH(QString, name);
        QFETCH(QString, found);
        TempShop shop;
        addUsers(shop);
        shop.db.execute("update Usuarios set permisoproductos = 1 where NombreUsuario = 'beto';"
                        "update Usuarios set permisorecaudacion = 1 where NombreUsuario = 'caro'");
        const UserFound u = lookUpUser(shop.db, name);
        QCOMPARE(u.exists, !found.isEmpty());
        if (u.exists)
            QCOMPARE(QStringList({u.setting, QString::number(u.choice), letters(u.rights)}).join('|'), found);
    }

    // Only the number 1 grants a right; admin is the administrator whatever its row holds.
    void rightsOfRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("nivel");
        QTest::addColumn<QVariant>("productos");
        QTest::addColumn<QVariant>("recaudacion");
        QTest::addColumn<QString>("rights");
        QTest::newRow("all ones") << "ana" << QVariant(1) << QVariant(1) << QVariant(1) << "apt";
        QTest::newRow("ones as reals") << "ana" << QVariant(1.0) << QVariant(qint64(1)) << QVariant(0) << "ap-";
        QTest::newRow("none") << "ana" << QVariant(0) << QVariant(0) << QVariant(0) << "---";
        QTest::newRow("text, NULL, 2") << "ana" << QVariant("x") << QVariant() << QVariant(2) << "---";
        QTest::newRow("text one") << "ana" << QVariant("1") << QVariant("1") << QVariant(" 1") << "---";
        QTest::newRow("near one") << "ana" << QVariant(1.5) << QVariant(-1) << QVariant(0.999) << "---";
        QTest::newRow("takings only") << "ana" << QVariant(0) << QVariant() << QVariant(1) << "--t";
        QTest::newRow("admin with odd values") << "admin" << QVariant("x") << QVariant() << QVariant(2) << "a--";
        QTest::newRow("Admin is not admin") << "Admin" << QVariant() << QVariant() << QVariant() << "---";
    }
    void rightsOfRow()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, nivel);
        QFETCH(QVariant, productos);
        QFETCH(QVariant, recaudacion);
        QFETCH(QString, rights);
        QCOMPARE(letters(tarvino::rightsOfRow(name, nivel, productos, recaudacion)), rights);
    }

    void menuAccess_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QString>("open"); // productos, usuarios, recaudacion, stock as 1/0
        QTest::newRow("administrator") << "a--" << "1111";
        QTest::newRow("administrator and more") << "apt" << "1111";
        QTest::newRow("none") << "---" << "0000";
        QTest::newRow("products") << "-p-" << "1001";
        QTest::newRow("takings") << "--t" << "0010";
        QTest::newRow("both") << "-pt" << "1011";
    }
    void menuAccess()
    {
        QFETCH(QString, rights);
        QFETCH(QString, open);
        const MenuAccess a = tarvino::menuAccess(rightsOf(rights));
        QCOMPARE(QString("%1%2%3%4").arg(a.productos).arg(a.usuarios).arg(a.recaudacion).arg(a.stock), open);
    }

    // A stored password is a salted hash: never the password, different each time, and only the
    // password matches it. A value not in that form is an earlier version's clear password.
    void passwordsAreHashed()
    {
        const QString first = hashPassword("clave1");
        const QString second = hashPassword("clave1");
        QVERIFY(isPasswordHash(first) && isPasswordHash(second));
        QVERIFY(!first.contains("clave1"));
        QVERIFY(first != second);
        QVERIFY(passwordMatches(first, "clave1") && passwordMatches(second, "clave1"));
        QVERIFY(!passwordMatches(first, "clave2") && !passwordMatches(first, ""));
        QVERIFY(!needsNewHash(first));
        QVERIFY(passwordMatches("clave1", "clave1") && !passwordMatches("clave1", "Clave1"));
        QVERIFY(needsNewHash("clave1") && !isPasswordHash("clave1"));
        // A clear password that happens to look like the start of a hash is still compared as it is.
        QVERIFY(!isPasswordHash("$argon2id$") || !passwordMatches("$argon2id$", "x"));
    }

    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QString>("prepare"); // SQL run first
        QTest::addColumn<SaveOutcome>("outcome");
        QTest::addColumn<QString>("result"); // the stored row when saved, else the message
        const QString noAdmin = "delete from Usuarios where NombreUsuario = 'admin';"
                                "update Usuarios set Nivel = 1 where NombreUsuario = 'ana'";
        QTest::newRow("new, no rights") << "dani" << "pw1" << "1" << false << "---" << "" << SaveOutcome::Added << "dani|1.0|0|0|0";
        QTest::newRow("new with rights") << "dani" << "pw1" << "0" << false << "-pt" << "" << SaveOutcome::Added << "dani|0.0|0|1|1";
        QTest::newRow("change") << "ana" << "nueva" << "80" << true << "a-t" << "" << SaveOutcome::Changed << "ana|80.0|1|0|1";
        QTest::newRow("password kept") << "ana" << "" << "80" << true << "-p-" << "" << SaveOutcome::Changed << "ana|80.0|0|1|0";
        QTest::newRow("admin keeps its level") << "admin" << "" << "0" << true << "apt" << "" << SaveOutcome::Changed << "admin|0.0|1|1|1";
        QTest::newRow("admin cannot lose it") << "admin" << "pw" << "0" << true << "-pt" << "" << SaveOutcome::AdministratorKeepsLevel << userMessages::kAdministradorConservaNivel;
        QTest::newRow("another administrator may lose it") << "ana" << "" << "0" << true << "---" << "update Usuarios set Nivel = 1 where NombreUsuario = 'ana'" << SaveOutcome::Changed << "ana|0.0|0|0|0";
        QTest::newRow("last administrator") << "ana" << "" << "0" << true << "-pt" << noAdmin << SaveOutcome::LastAdministrator << userMessages::kUltimoAdministrador;
        QTest::newRow("last administrator kept") << "ana" << "pw" << "0" << true << "a--" << noAdmin << SaveOutcome::Changed << "ana|0.0|1|0|0";
        QTest::newRow("no name") << "" << "pw" << "0" << false << "---" << "" << SaveOutcome::MissingData << userMessages::kFaltanDatos;
        QTest::newRow("new without password") << "dani" << "" << "0" << false << "a--" << "" << SaveOutcome::MissingData << userMessages::kFaltanDatos;
        QTest::newRow("quote") << "dani" << "a' or '1" << "0" << false << "---" << "" << SaveOutcome::BadCharacters << userMessages::kCaracteres;
        QTest::newRow("name with a space") << "da ni" << "pw" << "0" << false << "---" << "" << SaveOutcome::BadCharacters << userMessages::kCaracteres;
        QTest::newRow("bad setting") << "dani" << "pw" << "x" << false << "---" << "" << SaveOutcome::BadSetting << "La opción de impresión «x» no es válida.";
        QTest::newRow("name taken") << "ana" << "pw" << "0" << false << "---" << "" << SaveOutcome::AlreadyExists << "El usuario «ana» ya existe.";
        QTest::newRow("gone") << "nadie" << "pw" << "0" << true << "---" << "" << SaveOutcome::Vanished << "El usuario «nadie» ya no existe.";
    }
    void save()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, setting);
        QFETCH(bool, existing);
        QFETCH(QString, rights);
        QFETCH(QString, prepare);
        QFETCH(SaveOutcome, outcome);
        QFETCH(QString, result);
        TempShop shop;
        addUsers(shop);
        if (!prepare.isEmpty())
            shop.db.execute(prepare);
        const int users = shop.count("Usuarios");
        const QString passwordBefore = storedPassword(shop, name);
        const QString before = shop.dump();
        const UserSaveResult saved = saveUser(shop.db, name, password, setting, existing, rightsOf(rights));
        QCOMPARE(saved.outcome, outcome);
        if (!saved.saved()) {
            QCOMPARE(saved.message, result);
            QCOMPARE(shop.dump(), before);
            return;
        }
        QVERIFY(saved.message.isEmpty());
        QCOMPARE(userRow(shop, name), result);
        if (password.isEmpty())
            QCOMPARE(storedPassword(shop, name), passwordBefore);
        else
            QVERIFY(hashedAs(shop, name, password));
        QCOMPARE(shop.count("Usuarios"), existing ? users : users + 1);
    }

    void deletion_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("loggedIn");
        QTest::addColumn<QString>("prepare"); // SQL run first
        QTest::addColumn<DeleteOutcome>("outcome");
        QTest::addColumn<QString>("message"); // the refusal, or the question before deleting
        // A file without admin, where beto alone holds Nivel 1.
        const QString noAdmin = "delete from Usuarios where NombreUsuario = 'admin';"
                                "update Usuarios set Nivel = 1 where NombreUsuario = 'beto';"
                                "update Usuarios set Nivel = 2 where NombreUsuario = 'ana'";
        const QString asked = userMessages::kConfirmarEliminacion;
        QTest::newRow("other user") << "ana" << "admin" << "" << DeleteOutcome::Allowed << asked;
        QTest::newRow("administrator") << "admin" << "ana" << "" << DeleteOutcome::Administrator << userMessages::kAdministrador;
        QTest::newRow("at the till") << "beto" << "beto" << "" << DeleteOutcome::LoggedIn << userMessages::kSesionAbierta;
        QTest::newRow("only user") << "ana" << "" << "delete from Usuarios where NombreUsuario <> 'ana'" << DeleteOutcome::LastUser << userMessages::kUltimoUsuario;
        QTest::newRow("gone") << "nadie" << "" << "" << DeleteOutcome::Vanished << "El usuario «nadie» ya no existe.";
        QTest::newRow("last administrator") << "beto" << "" << noAdmin << DeleteOutcome::LastAdministrator << userMessages::kEliminarUltimoAdministrador;
        QTest::newRow("one of two administrators") << "beto" << "" << noAdmin + ";update Usuarios set Nivel = 1.0 where NombreUsuario = 'caro'" << DeleteOutcome::Allowed << asked;
    }
    void deletion()
    {
        QFETCH(QString, name);
        QFETCH(QString, loggedIn);
        QFETCH(QString, prepare);
        QFETCH(DeleteOutcome, outcome);
        QFETCH(QString, message);
        TempShop shop;
        addUsers(shop);
        if (!prepare.isEmpty())
            shop.db.execute(prepare);
        const int users = shop.count("Usuarios");
        const QString before = shop.dump();
        const UserDeletion done = deleteUser(shop.db, name, loggedIn);
        QCOMPARE(done.outcome, outcome);
        QCOMPARE(done.answer.text, message);
        QCOMPARE(done.answer.kind == EntryAnswer::Kind::Ask, done.allowed());
        if (done.allowed()) {
            QCOMPARE(shop.count("Usuarios"), users - 1);
            QVERIFY(userRow(shop, name).isEmpty());
        } else {
            QCOMPARE(shop.dump(), before);
        }
    }

    // Enter in the name box, and the hidden password box at Guardar after a key was refused in it.
    void boxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("keyRefused");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no name") << "" << "pw" << false << userMessages::kNombreVacio;
        QTest::newRow("a key refused")
            << "ana" << "nueva" << true << userMessages::kContrasenaIncompleta;
        QTest::newRow("refused key erased with the password") << "ana" << "" << true << "";
        QTest::newRow("nothing refused") << "ana" << "nueva" << false << "";
    }
    void boxes()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, keyRefused);
        QFETCH(QString, refusal);
        const EntryAnswer named = UserEntry::name(name);
        const EntryAnswer typed = UserEntry::password(password, keyRefused);
        QCOMPARE(named.goesOn() && typed.goesOn(), refusal.isEmpty());
        QCOMPARE(named.text + typed.text, refusal);
    }

    // The window as it opens, then Enter on a known name (typed through the key filter): its
    // password is not shown, its rights are; a new password, entry and right chosen with the
    // keyboard, Guardar. A new user starts with no right and keeps the entry last shown.
    void changeAndAddThroughTheWindow()
    {
        TempShop shop;
        addUsers(shop);
        Form8 f(shop.context);
        f.Form_Load();
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QCOMPARE(QStringList({f.windowTitle(), f.Label1->text(), f.Label2->text(), f.Label3->text(),
                              f.Combo1->itemText(0), f.Combo1->itemText(1), f.Combo1->itemText(2), f.Text3}),
                 QStringList({"TARVINO 1.0", "CAMBIAR CONTRASEÑA", "Nombre Usuario", "Contraseña", "No Imprimir",
                              "Imprimir 58mm", "Imprimir 80mm", "1"}));
        QVERIFY(f.Text1->isEnabled() && !f.Text2->isEnabled() && !f.Combo1->isEnabled() && !f.Command4->isEnabled());
        QVERIFY(!f.Check1->isEnabled() && !f.Check2->isEnabled() && !f.Check3->isEnabled());
        shop.db.execute("update Usuarios set permisoproductos = 1 where NombreUsuario = 'ana'");
        lookUp(f, "aN na.");
        QVERIFY(f.Text2->text().isEmpty());
        QCOMPARE(f.Combo1->currentText(), QStringLiteral("Imprimir 58mm"));
        // A screen reader names the list by its visible caption and reads the chosen entry.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.Combo1);
        const auto caption = list->relations(QAccessible::Label);
        QVERIFY(!caption.isEmpty() && qobject_cast<QLabel*>(caption[0].first->object())->isVisible());
        QCOMPARE(list->text(QAccessible::Value), QStringLiteral("Imprimir 58mm"));
        const auto chosen = [list] { return list->child(0)->tableInterface()->selectedCells(); };
        QCOMPARE(chosen().size(), 1);
        QCOMPARE(chosen()[0]->text(QAccessible::Name), QStringLiteral("Imprimir 58mm"));
        QVERIFY(!f.Check1->isChecked() && f.Check2->isChecked() && !f.Check3->isChecked());
        QVERIFY(!f.Text1->isEnabled() && f.Combo1->isEnabled() && f.Command4->isEnabled());
        // Hidden password: a refused key is said in the window, and Guardar refuses what remains.
        QTest::keyClicks(f.Text2, "nu-E eva");
        QCOMPARE(f.Text2->echoMode(), QLineEdit::Password);
        const auto* note = f.findChild<QLabel*>(QLatin1String(kRefusalNote));
        QVERIFY(note && note->isVisible() && !note->text().isEmpty());
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(shop.messages.texts(), QStringList{userMessages::kContrasenaIncompleta});
        QCOMPARE(userRow(shop, "ana"), QStringLiteral("ana|58.0|0|1|0"));
        shop.messages.clear();
        QTest::keyClicks(f.Text2, "nueva");
        // Tab walks from the password through the receipt entry and the three rights.
        QTest::keyClick(f.Text2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Combo1);
        choose(f, 2);
        QTest::keyClick(f.Combo1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Check1);
        QTest::keyClick(f.Check1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Check2);
        QTest::keyClick(f.Check2, Qt::Key_Space);
        QTest::keyClick(f.Check2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Check3);
        QTest::keyClick(f.Check3, Qt::Key_Space);
        QTest::keyClick(f.Check3, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Command3);
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "ana"), QStringLiteral("ana|80.0|0|0|1"));
        QVERIFY(hashedAs(shop, "ana", "nueva"));
        QVERIFY(f.Text1->text().isEmpty() && f.Text1->isEnabled() && !f.Text2->isEnabled() && !f.Command4->isEnabled());
        QVERIFY(!f.Check3->isChecked() && !f.Check3->isEnabled());

        lookUp(f, "eva");
        QVERIFY(f.Text2->text().isEmpty() && f.Text2->isEnabled() && !f.Command4->isEnabled());
        QVERIFY(f.Check1->isEnabled() && !f.Check1->isChecked() && !f.Check2->isChecked() && !f.Check3->isChecked());
        QTest::keyClicks(f.Text2, "pw");
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "eva"), QStringLiteral("eva|80.0|0|0|0"));
        QVERIFY(hashedAs(shop, "eva", "pw"));

        // A stored value that is none of the entries shows no entry and is kept on saving; an
        // empty password box keeps the password.
        lookUp(f, "caro");
        QCOMPARE(f.Combo1->currentIndex(), -1);
        QVERIFY(chosen().isEmpty());
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(userRow(shop, "caro"), QStringLiteral("caro|1.0|0|0|0"));
        QCOMPARE(storedPassword(shop, "caro"), QStringLiteral("y"));
        QVERIFY(shop.messages.boxes.isEmpty());

        // The administrator's account shows every right, and Administrador cannot be taken off.
        lookUp(f, "admin");
        QVERIFY(f.Check1->isChecked() && !f.Check1->isEnabled() && f.Check2->isEnabled());
        QTest::mouseClick(f.Command5, Qt::LeftButton);

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
        Form8* f = visibleWindow<Form8>();
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
        Form8* f = visibleWindow<Form8>();
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
