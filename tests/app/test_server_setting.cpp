// The till's server setting read from tarvino.conf: what it yields, and what it refuses.
#include "app/server_setting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvino;

class TestServerSetting : public QObject {
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("file");      // "<none>": no file; "<folder>": a folder by that name
        QTest::addColumn<QString>("connection");  // empty: no server
        QTest::addColumn<QString>("till");
        QTest::addColumn<QString>("error");       // a part of the message; empty: no error
        const QString none;
        const QString pgpass = QStringLiteral("~/.pgpass");

        QTest::newRow("no file") << QByteArray("<none>") << none << none << none;
        QTest::newRow("other sections only")
            << QByteArray("[impresora]\nconexion=usb\n") << none << none << none;
        QTest::newRow("a till without a connection")
            << QByteArray("[servidor]\ncaja=Caja 1\n") << none << none << none;
        QTest::newRow("connection kept as written, BOM, CRLF, notes, other sections")
            << QByteArray("\xEF\xBB\xBF# caja del mesón\r\n[impresora]\r\nconexion=usb\r\n"
                          "[Servidor]\r\n; otra nota\r\n  CONEXION =  host=srv port=5432 "
                          "options='-c search_path=tienda,public' application_name='caja uno'  \r\n"
                          "caja = Caja Ñuñoa \r\n")
            << "host=srv port=5432 options='-c search_path=tienda,public' application_name='caja uno'"
            << "Caja Ñuñoa" << none;
        QTest::newRow("the word password inside a value")
            << QByteArray("[servidor]\nconexion=host=srv application_name='password=no'\ncaja=C\n")
            << "host=srv application_name='password=no'" << "C" << none;
        QTest::newRow("a URI without a password")
            << QByteArray("[servidor]\nconexion=postgresql://tarvino@srv/tarvino?sslmode=require\n")
            << "postgresql://tarvino@srv/tarvino?sslmode=require" << "equipo-1" << none;
        QTest::newRow("empty till: the machine's name")
            << QByteArray("[servidor]\nconexion=host=srv\ncaja=\n") << "host=srv" << "equipo-1" << none;
        // Forty characters, eighty bytes.
        QTest::newRow("forty letters") << "[servidor]\nconexion=host=srv\ncaja=" + QByteArray(20, 'a') +
                                              QString(20, QChar(0xF1)).toUtf8()
                                       << "host=srv" << QString(20, QLatin1Char('a')) + QString(20, QChar(0xF1))
                                       << none;

        QTest::newRow("a folder by that name") << QByteArray("<folder>") << none << none << "no se puede leer";
        QTest::newRow("not UTF-8") << QByteArray("[servidor]\nconexion=host=srv\ncaja=Ca\xF1" "a\n") << none
                                   << none << "UTF-8";
        QTest::newRow("empty connection") << QByteArray("[servidor]\nconexion=\n") << none << none
                                          << "conexion= está vacía";
        QTest::newRow("password keyword") << QByteArray("[servidor]\nconexion=host=srv password = 'a b'\n")
                                          << none << none << pgpass;
        QTest::newRow("password in a URI") << QByteArray("[servidor]\nconexion=postgres://tarvino:x@srv/t\n")
                                           << none << none << pgpass;
        QTest::newRow("password key") << QByteArray("[servidor]\nconexion=host=srv\ncontraseña=x\n")
                                      << none << none << pgpass;
        QTest::newRow("unclosed quote") << QByteArray("[servidor]\nconexion=host='srv\n") << none << none
                                        << "no se entiende";
        QTest::newRow("misspelt key") << QByteArray("[servidor]\nconexon=host=srv\n") << none << none
                                      << "«conexon»";
        QTest::newRow("twice") << QByteArray("[servidor]\nconexion=host=a\nconexion=host=b\n") << none
                               << none << "dos veces";
        QTest::newRow("outside a section") << QByteArray("conexion=host=srv\n") << none << none << "línea 1";
        QTest::newRow("41 characters") << "[servidor]\nconexion=host=srv\ncaja=" + QByteArray(41, 'a')
                                       << none << none << "más de 40";
        QTest::newRow("a mistake before the password")
            << QByteArray("[servidor]\nconexion=host='srv password=SECRETO\n") << none << none << pgpass;
        QTest::newRow("a connection outside a section")
            << QByteArray("conexion=host=srv password=SECRETO\n[servidor]\n") << none << none << "línea 1";
        QTest::newRow("no value") << QByteArray("[servidor]\nconexion=host=srv\nSECRETO\n") << none << none << "línea 3";
        QTest::newRow("a mistake in the connection")
            << QByteArray("[servidor]\n\nconexion=host=srv user x\n") << none << none << "línea 3 (conexion=)";
        QTest::newRow("caja=*") << QByteArray("[servidor]\nconexion=host=srv\ncaja=*\n") << none << none << "línea 3";
        QTest::newRow("a tab inside") << QByteArray("[servidor]\nconexion=host=srv\ncaja=Caja\t1\n") << none
                                      << none << "control";
    }
    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, connection);
        QFETCH(QString, till);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(kServerSettingFileName);
        if (file == "<folder>") {
            QVERIFY(QDir(dir.path()).mkdir(kServerSettingFileName));
        } else if (file != "<none>") {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
        }
        const ServerSettingRead read = readServerSetting(dir.path(), QStringLiteral("equipo-1"));
        QVERIFY2(!read.error.contains(QLatin1String("SECRETO")), qPrintable(read.error));
        if (!error.isEmpty()) {
            QVERIFY(!read.setting);
            QVERIFY2(read.error.contains(error) && read.error.contains(path), qPrintable(read.error));
        } else if (connection.isEmpty()) {
            QCOMPARE(read.error, QString());
            QVERIFY(!read.setting);
        } else {
            QCOMPARE(read.error, QString());
            QVERIFY(read.setting);
            QCOMPARE(read.setting->connection, connection);
            QCOMPARE(read.setting->till, till);
        }
    }

    // A machine whose name cannot name a till is told to write caja=.
    void machineNameUnfit()
    {
        QTemporaryDir dir;
        QFile out(dir.filePath(kServerSettingFileName));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("[servidor]\nconexion=host=srv\n");
        out.close();
        const ServerSettingRead read = readServerSetting(dir.path(), QString(41, QLatin1Char('m')));
        QVERIFY(!read.setting);
        QVERIFY2(read.error.contains(QLatin1String("caja=")), qPrintable(read.error));
    }
};

QTEST_GUILESS_MAIN(TestServerSetting)
#include "test_server_setting.moc"
