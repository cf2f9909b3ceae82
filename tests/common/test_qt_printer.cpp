// The real receipt printer writing both layouts to PDF, and its failure without a printer.
#include "common/qt_services.h"
#include "sales/receipt.h"

#include <QFile>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvino;

namespace {
Receipt sample()
{
    Receipt r;
    r.when = QDateTime(QDate(2026, 3, 9), QTime(10, 0, 0));
    r.lines = {{"Leche entera 1 L", "2", "990", "1980"},
               {"Pan amasado", "1", "1500,5", "1500,5"},
               {"Nombre de producto muy largo que invade la columna", "0,5", "6000", "3000"}};
    r.total = QStringLiteral("$ 6.480,5");
    r.tendered = QStringLiteral("10000");
    r.change = QStringLiteral("3.519,50");
    r.flag = QStringLiteral("0");
    return r;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestQtPrinter : public QObject {
    Q_OBJECT

private slots:
    void bothLayoutsRenderToPdf_data()
    {
        QTest::addColumn<int>("layout");
        QTest::newRow("58") << 58;
        QTest::newRow("80") << 80;
    }
    void bothLayoutsRenderToPdf()
    {
        QFETCH(int, layout);
        QTemporaryDir dir;
        // Set TARVINO_KEEP_RECEIPTS to keep the PDFs and look at them.
        dir.setAutoRemove(!qEnvironmentVariableIsSet("TARVINO_KEEP_RECEIPTS"));
        const QString path = dir.filePath(QStringLiteral("boleta%1.pdf").arg(layout));
        QtPrinter printer(path, layout);
        if (layout == 58)
            ticket58(printer, sample());
        else
            ticket80(printer, sample());
        const QByteArray pdf = readAll(path);
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), 1);
        if (!dir.autoRemove())
            qInfo("receipt kept at %s", qPrintable(path));

        // The printer starts afresh for the next job.
        const QString second = dir.filePath(QStringLiteral("segunda%1.pdf").arg(layout));
        QtPrinter again(second, layout);
        ticket80(again, sample());
        QVERIFY(readAll(second).startsWith("%PDF"));
    }

    void missingDefaultPrinterIsReported()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer; the test would print on it");
        QtPrinter printer;
        try {
            ticket80(printer, sample());
            QFAIL("printing without a printer reported success");
        } catch (const PrinterError& e) {
            QCOMPARE(e.message(), QStringLiteral("no hay una impresora predeterminada"));
        }
    }
};

QTEST_MAIN(TestQtPrinter)
#include "test_qt_printer.moc"
