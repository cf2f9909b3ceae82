// The support window shows only what the shop's supplier wrote into soporte.txt beside bd1.
#include "app/support_info.h"
#include "app/support_window.h"
#include "support/temp_shop.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace tarvino;
using namespace tarvino::test;

namespace {
void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}
} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestSupportWindow : public QObject {
    Q_OBJECT

private slots:
    void readingTheFile_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("file"); // none: no file at all
        // Without channels in the file, the window says where to write them instead.
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<QString>("contact");
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<QString>("web");
        using File = std::optional<QByteArray>;
        QTest::newRow("no file") << File() << false << "" << QStringList() << "";
        QTest::newRow("empty file") << File("\n  \n# notas\n") << false << "" << QStringList() << "";
        QTest::newRow("every channel")
            << File("\xEF\xBB\xBF" "correo = ayuda@proveedor.cl\r\nTELEFONO=+56 2 2345 6789\n"
                          "horario=lunes a viernes\n# no se muestra\nPregunte por Ana\n"
                          "servicio=Instalación\nservicio=Capacitación\nweb=https://proveedor.cl/ayuda?x=1\n")
            << true << "Correo: ayuda@proveedor.cl\nTeléfono: +56 2 2345 6789\nHorario: lunes a viernes\nPregunte por Ana"
            << QStringList{"Instalación", "Capacitación"} << "https://proveedor.cl/ayuda?x=1";
        QTest::newRow("a script is no web page")
            << File("correo=a@b.cl\nweb=javascript:alert(1)\n") << true << "Correo: a@b.cl" << QStringList() << "";
        QTest::newRow("an address without http")
            << File("correo=a@b.cl\nweb=www.proveedor.cl\n") << true << "Correo: a@b.cl" << QStringList() << "";
        QTest::newRow("a local file is no web page")
            << File("correo=a@b.cl\nweb=file:///etc/passwd\n") << true << "Correo: a@b.cl" << QStringList() << "";
        QTest::newRow("first address only")
            << File("web=http://uno.cl\nweb=https://dos.cl\n") << true << "" << QStringList() << "http://uno.cl";
    }
    void readingTheFile()
    {
        QFETCH(std::optional<QByteArray>, file);
        QFETCH(bool, fromFile);
        QFETCH(QString, contact);
        QFETCH(QStringList, services);
        QFETCH(QString, web);
        QTemporaryDir folder;
        const QString path = supportFilePath(folder.path());
        QCOMPARE(path, QDir(folder.path()).filePath(QStringLiteral("soporte.txt")));
        if (file)
            writeFile(path, *file);
        const SupportInfo info = readSupportInfo(path);
        QCOMPARE(info.fromFile, fromFile);
        if (fromFile) {
            QCOMPARE(info.contact, contact);
        } else {
            QVERIFY2(info.contact.contains(QDir::toNativeSeparators(path)), qPrintable(info.contact));
            QVERIFY(!info.contact.contains(QLatin1Char('@')));
        }
        QCOMPARE(info.services, services);
        QCOMPARE(info.web.toString(), web);
    }

    // The window without the file shows where to write the channels and offers no link; with it,
    // what the file says, the link opening only that address.
    void theWindow()
    {
        TempShop shop;
        QWidget caller;
        caller.show();
        const QString path = supportFilePath(shop.folder());
        QPointer<Form13> form = Form13::open(&caller, shop.context, QStringLiteral("0"));
        QVERIFY(form->Label2->text().contains(QDir::toNativeSeparators(path)));
        QVERIFY(form->Label3->text().isEmpty());
        QVERIFY(!form->Label4->text().contains(QLatin1String("href")));
        QVERIFY(form->Label4->isHidden());
        form->Command1_Click();

        writeFile(path, "correo=<b>ayuda</b>@proveedor.cl\nservicio=Respaldo\nweb=https://proveedor.cl/?a=1&b=\"2\"\n");
        form = Form13::open(&caller, shop.context, QStringLiteral("0"));
        QCOMPARE(form->Label2->text(), QStringLiteral("Correo: <b>ayuda</b>@proveedor.cl"));
        QCOMPARE(form->Label2->textFormat(), Qt::PlainText);
        QVERIFY(form->Label3->text().contains(QLatin1String("Respaldo")));
        QVERIFY(!form->Label4->isHidden());
        QVERIFY(form->Label4->openExternalLinks());
        QVERIFY2(form->Label4->text().contains(QLatin1String("href=\"https://proveedor.cl/?a=1&amp;b=%222%22\"")),
                 qPrintable(form->Label4->text()));
        form->Command1_Click();
    }
};

QTEST_MAIN(TestSupportWindow)
#include "test_support_window.moc"
