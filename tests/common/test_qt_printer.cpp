// The real receipt printer writing both layouts to PDF: page cut to the roll, font and sizes, lines
// kept on the paper, and its failure without a printer.
#include "kit/qt_services.h"
#include "sales/receipt.h"
#include "support/test_support.h"

#include <QFile>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

using namespace tarvino;
using namespace tarvino::test;

namespace {
constexpr double kMmPerPoint = 25.4 / 72;
constexpr double kMmPerTwip = 25.4 / 1440;

// Three lines, or as many as asked by repeating them.
Receipt sample(int lines = 3)
{
    const QVector<ReceiptLine> three = {{"Leche entera 1 L", "2", "990", "1980"},
                                        {"Pan amasado", "1", "1500,5", "1500,5"},
                                        {"Queso mantecoso", "0,5", "6000", "3000"}};
    Receipt r;
    r.when = QDateTime(QDate(2026, 3, 9), QTime(10, 0, 0));
    for (int i = 0; i < lines; ++i)
        r.lines << three.at(i % 3);
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

// One receipt in the given layout written to path: what the printer laid out, and the PDF.
std::pair<QtPrinter::Job, QByteArray> printed(const QString& path, int layout,
                                              const Receipt& receipt)
{
    QtPrinter printer(path);
    if (layout == 58)
        ticket58(printer, receipt);
    else
        ticket80(printer, receipt);
    return {printer.lastJob(), readAll(path)};
}

int pageCount(const QByteArray& pdf)
{
    return int(pdf.count("/Type /Page") - pdf.count("/Type /Pages"));
}

// The size of the (first) page in millimetres.
QSizeF mediaBox(const QByteArray& pdf)
{
    static const QRegularExpression box(QStringLiteral(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])"));
    const auto match = box.match(QString::fromLatin1(pdf));
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toDouble() * kMmPerPoint, match.captured(2).toDouble() * kMmPerPoint};
}

QStringList fontsOf(const QByteArray& pdf)
{
    static const QRegularExpression font(QStringLiteral(R"(/BaseFont /([\w+-]+))"));
    QStringList names;
    for (const auto& match : font.globalMatch(QString::fromLatin1(pdf)))
        names << match.captured(1).section(QLatin1Char('+'), -1); // without a subset tag
    names.removeDuplicates();
    names.sort();
    return names;
}

double printableWidth(const QtPrinter::Job& job)
{
    return job.page.width() - job.margins.left() - job.margins.right();
}

const QtPrinter::PlacedText* find(const QtPrinter::Job& job, const QString& text)
{
    for (const auto& placed : job.texts) {
        if (placed.text == text)
            return &placed;
    }
    return nullptr;
}
} // namespace

class TestQtPrinter : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(kChile);
        // Set TARVINO_KEEP_RECEIPTS to keep the PDFs and look at them.
        m_dir.setAutoRemove(!qEnvironmentVariableIsSet("TARVINO_KEEP_RECEIPTS"));
    }

    void pageIsTheRollAsLongAsTheReceipt_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("rowsPerLine"); // printed rows per sale line
        QTest::newRow("58") << 58 << 2;
        QTest::newRow("80") << 80 << 1;
    }
    void pageIsTheRollAsLongAsTheReceipt()
    {
        QFETCH(int, layout);
        QFETCH(int, rowsPerLine);
        const auto [shortJob, shortPdf] = printed(path(QStringLiteral("c.pdf")), layout, sample(3));
        const auto [longJob, longPdf] = printed(path(QStringLiteral("l.pdf")), layout, sample(30));
        QCOMPARE(pageCount(shortPdf), 1);
        QCOMPARE(pageCount(longPdf), 1);
        const QSizeF shortPage = mediaBox(shortPdf);
        // PDF pages come in whole points.
        QVERIFY(qAbs(shortPage.width() - layout) < kMmPerPoint);
        QVERIFY(qAbs(shortPage.height() - shortJob.page.height()) < kMmPerPoint);

        // The length follows the lines: each extra sale line adds its rows and nothing else.
        const double extra = mediaBox(longPdf).height() - shortPage.height();
        QVERIFY2(qAbs(extra - 27 * rowsPerLine * shortJob.texts.first().height) < 2 * kMmPerPoint,
                 qPrintable(QStringLiteral("%1 mm more for 27 lines").arg(extra)));
        // Below the blank lines that feed the receipt out, only a small margin.
        const QtPrinter::PlacedText& last = shortJob.texts.last();
        const double below = shortPage.height() - shortJob.margins.top() - (last.top + last.height);
        QVERIFY2(below >= -kMmPerPoint && below < 3, qPrintable(QString::number(below)));
    }

    void liberationSansShrunkOnlyAsFarAsTheWidestLineNeeds()
    {
        // The 58 mm layout fits its roll at the sizes it sets.
        const auto [narrow, narrowPdf] = printed(path(QStringLiteral("b58.pdf")), 58, sample());
        QCOMPARE(narrow.scale, 1.0);
        for (const auto& placed : narrow.texts)
            QCOMPARE(placed.points, placed.bold ? 11.0 : 10.0);
        QCOMPARE(fontsOf(narrowPdf), QStringList({"LiberationSans", "LiberationSans-Bold"}));

        // At the default 10 pt the 80 mm rule of equals signs is wider than the roll: everything
        // shrinks alike until that rule ends at the printable edge, and no further.
        const auto [wide, widePdf] = printed(path(QStringLiteral("b80.pdf")), 80, sample());
        QVERIFY(wide.scale < 1 && wide.scale > 0.7);
        for (const auto& placed : wide.texts)
            QCOMPARE(placed.points, 10 * wide.scale);
        const auto* rule = find(wide, QString(42, QLatin1Char('=')));
        QVERIFY(rule);
        const double spare = printableWidth(wide) - (rule->baseline.x() + rule->width);
        QVERIFY2(spare >= 0 && spare < 1, qPrintable(QString::number(spare)));
        QCOMPARE(fontsOf(widePdf), QStringList({"LiberationSans"}));
    }

    void setPositionsStayAndTextsStayOnTheRoll_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("at"); // twips where the "Vuelto" line is set
        QTest::newRow("80 usual") << 80 << "3.519,50" << 2500;
        QTest::newRow("80 large change") << 80 << "1.234.567,50" << 2500;
        QTest::newRow("58 large change") << 58 << "1.234.567,50" << 500;
    }
    void setPositionsStayAndTextsStayOnTheRoll()
    {
        QFETCH(int, layout);
        QFETCH(QString, change);
        QFETCH(int, at);
        Receipt receipt = sample();
        receipt.change = change;
        const QtPrinter::Job job = printed(path(QStringLiteral("v.pdf")), layout, receipt).first;
        const auto* vuelto = find(job, QStringLiteral("Vuelto      $ ") + change);
        QVERIFY(vuelto);
        QVERIFY(qAbs(vuelto->baseline.x() - at * kMmPerTwip) < 0.01);
        for (const auto& placed : job.texts) {
            const double end = placed.baseline.x() + placed.width;
            QVERIFY2(end <= printableWidth(job) + 0.05,
                     qPrintable(QStringLiteral("%1 ends at %2 of %3 mm")
                                    .arg(placed.text)
                                    .arg(end)
                                    .arg(printableWidth(job))));
        }
    }

    void aLongNameShrinksNoFurtherThanReadable()
    {
        Receipt receipt = sample();
        receipt.lines << ReceiptLine{QString(40, QLatin1Char('W')), "1", "1000", "1000"};
        QCOMPARE(printed(path(QStringLiteral("n.pdf")), 58, receipt).first.scale, 0.7);
    }

    void eachJobStartsAfresh()
    {
        // A 58 mm receipt, then one whose job never says its roll: the second is on 80 mm and
        // carries none of the first one's lines or sizes.
        QtPrinter printer(path(QStringLiteral("d.pdf")));
        ticket58(printer, sample());
        QCOMPARE(printer.lastJob().rollWidth, 58.0);
        printer.print(QStringLiteral("solo"), true);
        printer.endDocument();
        const QtPrinter::Job& job = printer.lastJob();
        QCOMPARE(job.rollWidth, 80.0);
        QCOMPARE(job.texts.size(), 1);
        QCOMPARE(job.texts.first().points, 10.0);
        QCOMPARE(job.texts.first().bold, false);
        QCOMPARE(pageCount(readAll(path(QStringLiteral("d.pdf")))), 1);
    }

    void missingDefaultPrinterIsReported()
    {
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());
        QtPrinter printer;
        try {
            ticket80(printer, sample());
            QFAIL("printing without a printer reported success");
        } catch (const PrinterError& e) {
            QCOMPARE(e.message(), QStringLiteral("no hay una impresora predeterminada"));
        }
    }

    void cleanupTestCase()
    {
        if (!m_dir.autoRemove())
            qInfo("receipts kept in %s", qPrintable(m_dir.path()));
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// The test's own printerless surroundings, set before the print support loads: the print system
// asks a print server that is not there, so a machine's default queue is neither found nor used.
const bool kNoPrintServer = qputenv("CUPS_SERVER", "/nonexistent/tarvino-test/cups.sock");
QTEST_MAIN(TestQtPrinter)
#include "test_qt_printer.moc"
