// Start-up before the login window: opening or creating bd1, the single-copy rule and the check of
// a name and password against Usuarios.
#include "app/single_copy.h"
#include "app/startup.h"
#include "app/users_store.h"
#include "data/database.h"
#include "data/schema.h"
#include "support/temp_shop.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarvino;
using namespace tarvino::test;

Q_DECLARE_METATYPE(tarvino::LoginOutcome)

namespace {

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void missingFileAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("declined") << false;
        QTest::newRow("accepted") << true;
    }
    void missingFileAsksFirst()
    {
        QFETCH(bool, yes);
        QTemporaryDir dir;
        FakeMessages messages;
        messages.answer(yes);
        Database db;
        QCOMPARE(openShopDatabase(db, dir.path(), messages), yes);

        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Ask);
        QVERIFY(messages.boxes[0].text.contains(dir.filePath(QStringLiteral("bd1"))));
        QCOMPARE(db.isOpen(), yes);
        if (!yes) {
            QCOMPARE(folderEntries(dir.path()), QStringList());
            return;
        }
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("bd1"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bd1.nuevo"))));
        QCOMPARE(checkLogin(db, QStringLiteral("admin"), QStringLiteral("admin")).outcome,
                 LoginOutcome::Success);
    }

    void unusableFileIsReportedOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("wrong key") << "key";
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("missing table") << "table";
        QTest::newRow("empty file") << "empty";
    }
    void unusableFileIsReportedOnce()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        if (kind == QLatin1String("key")) {
            createDatabase(path, QStringLiteral("QmK428"));
        } else if (kind == QLatin1String("table")) {
            createDatabase(path, kDatabaseKey);
            Database db;
            db.open(path);
            db.execute(QStringLiteral("DROP TABLE Usuarios"));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("garbage"))
                file.write(QByteArray(4096, '\x5a'));
        }
        const QByteArray before = fileHash(path);

        FakeMessages messages;
        Database db;
        QVERIFY(!openShopDatabase(db, dir.path(), messages));
        QVERIFY(!db.isOpen());
        QCOMPARE(messages.boxes.size(), 1);
        const FakeMessages::Box& box = messages.boxes[0];
        QCOMPARE(box.kind, FakeMessages::Box::Inform);
        QCOMPARE(box.icon, Messages::Icon::Critical);
        QVERIFY2(box.text.contains(path), qPrintable(box.text));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("bd1")});
    }

    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        FakeMessages messages;
        auto first = std::make_unique<SingleCopy>(dir.path());
        QVERIFY(singleCopyCheck(*first, messages));
        QVERIFY(messages.boxes.isEmpty());

        SingleCopy second(dir.path());
        QVERIFY(!singleCopyCheck(second, messages));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Inform);
        QCOMPARE(messages.boxes[0].text,
                 QStringLiteral("ERROR : \rEl programa ya está en ejecución"));
        QCOMPARE(messages.boxes[0].title, QStringLiteral("Tarvino 1.0 - Error de ingreso"));
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Exclamation);
        // The refused copy leaves the running one's lock alone.
        QVERIFY(!singleCopyCheck(second, messages));
        QVERIFY(singleCopyCheck(*first, messages));
        QCOMPARE(messages.boxes.size(), 2);

        first.reset();
        SingleCopy third(dir.path());
        QVERIFY(singleCopyCheck(third, messages));
        QCOMPARE(messages.boxes.size(), 2);
    }

    void lockLeftByAnotherProcess_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("process gone") << false;
        QTest::newRow("process still running") << true;
    }
    void lockLeftByAnotherProcess()
    {
        QFETCH(bool, running);
        QProcess other;
        other.start(running ? QStringLiteral("/bin/sleep") : QStringLiteral("/bin/true"),
                    running ? QStringList{QStringLiteral("30")} : QStringList());
        QVERIFY(other.waitForStarted());
        const qint64 pid = other.processId();
        QVERIFY(pid > 0);
        if (!running)
            QVERIFY(other.waitForFinished());

        QTemporaryDir dir;
        const QString lockPath = dir.filePath(QStringLiteral("bd1.lock"));
        {
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            // QLockFile's format: process id, program name, host name.
            const QString app =
                running ? QStringLiteral("sleep") : QCoreApplication::applicationName();
            const QString host = QSysInfo::machineHostName();
            lock.write(QStringLiteral("%1\n%2\n%3\n").arg(pid).arg(app, host).toUtf8());
        }
        FakeMessages messages;
        SingleCopy copy(dir.path());
        const bool acquired = singleCopyCheck(copy, messages);
        if (running) {
            other.kill();
            other.waitForFinished();
        }
        QCOMPARE(acquired, !running);
        QCOMPARE(messages.boxes.size(), running ? 1 : 0);
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readLine().trimmed().toLongLong(),
                 running ? pid : QCoreApplication::applicationPid());
    }

    void lockThatCannotBeMadeIsNotTakenForASecondCopy()
    {
        QTemporaryDir dir;
        FakeMessages messages;
        SingleCopy copy(dir.filePath(QStringLiteral("no-such-folder")));
        QVERIFY(!singleCopyCheck(copy, messages));
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY(messages.lastText().contains(QStringLiteral("no-such-folder/bd1.lock")));
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Critical);
    }

    void noUsers()
    {
        TempShop shop;
        shop.db.execute(QStringLiteral("DELETE FROM Usuarios"));
        QCOMPARE(checkLogin(shop.db, QStringLiteral("admin"), QStringLiteral("admin")).outcome,
                 LoginOutcome::NoUsers);
    }

    void loginCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<LoginOutcome>("outcome");
        QTest::newRow("exact") << "pedro" << "clave1" << LoginOutcome::Success;
        QTest::newRow("admin") << "admin" << "admin" << LoginOutcome::Success;
        QTest::newRow("wrong password") << "pedro" << "clave2" << LoginOutcome::WrongPassword;
        QTest::newRow("empty password") << "pedro" << "" << LoginOutcome::WrongPassword;
        QTest::newRow("password case") << "pedro" << "CLAVE1" << LoginOutcome::WrongPassword;
        QTest::newRow("name case") << "Pedro" << "clave1" << LoginOutcome::UnknownName;
        QTest::newRow("stored upper case, typed lower") << "maria" << "m1"
                                                        << LoginOutcome::UnknownName;
        QTest::newRow("stored upper case exact") << "Maria" << "m1" << LoginOutcome::Success;
        QTest::newRow("prefix") << "ped" << "clave1" << LoginOutcome::UnknownName;
        QTest::newRow("unknown") << "juan" << "clave1" << LoginOutcome::UnknownName;
    }
    void loginCheck()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(LoginOutcome, outcome);
        TempShop shop;
        shop.addUser(QStringLiteral("pedro"), QStringLiteral("clave1"));
        shop.addUser(QStringLiteral("Maria"), QStringLiteral("m1"));
        const LoginResult result = checkLogin(shop.db, name, password);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.userName, outcome == LoginOutcome::Success ? name : QString());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
