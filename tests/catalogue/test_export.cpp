// The export of the stock list to a spreadsheet: the sheet as the export fills it, its failures,
// the real workbook file read back in both number formats, and Exportar in the stock window.
#include "catalogue/stock_report.h"
#include "catalogue/stock_window.h"
#include "common/xlsx_spreadsheet.h"
#include "support/temp_shop.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <clocale>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarvino;
using namespace tarvino::test;

namespace {

using Cell = FakeSpreadsheet::Cell;

// Products "1" (3 × 2.5, sold at 2.5), "2" with no quantity and "3" (10 × 100, sold at 150).
void fillShop(TempShop& shop)
{
    shop.addProduct({"1", "Aceite", 3, 2.5, 2.5, 0, "Abarrotes"});
    shop.addProduct({"2", "Bebida", 1, 800, 1200, 0, "Bebidas"});
    shop.addProduct({"3", "Café", 10, 100, 150, 0, "Abarrotes"});
    shop.db.execute(QStringLiteral("update Productos set Cantidad = null where CodigoProducto = '2'"));
}

// Records what the export says about its progress.
struct Steps final : ExportProgress {
    void setMaximum(qsizetype rows) override { said << -rows; }
    void setValue(qsizetype rows) override { said << rows; }
    QList<qsizetype> said; // a maximum as a negative number
};

// The cells of a worksheet file: reference -> "n:value" for a number, "s:text" for text.
QMap<QString, QString> sheetCells(const QByteArray& xml)
{
    QMap<QString, QString> cells;
    QXmlStreamReader reader(xml);
    QString ref;
    QString kind;
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("c")) {
            ref = reader.attributes().value(QLatin1String("r")).toString();
            kind = reader.attributes().value(QLatin1String("t")).toString();
        } else if (reader.name() == QLatin1String("v") || reader.name() == QLatin1String("t")) {
            cells[ref] = (kind.isEmpty() || kind == QLatin1String("n") ? QStringLiteral("n:") : QStringLiteral("s:")) +
                         reader.readElementText();
        }
    }
    return cells;
}

QByteArray unzipped(const QString& file, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, member});
    unzip.waitForFinished();
    return unzip.readAllStandardOutput();
}

// Whether unzip finds every member of the file whole (its checksums and sizes agree).
bool zipChecksWhole(const QString& file)
{
    QProcess test;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), file});
    return test.waitForFinished() && test.exitStatus() == QProcess::NormalExit && test.exitCode() == 0;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void sheet_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("salePriceText");
        QTest::newRow("decimal comma") << true << "2,5";
        QTest::newRow("decimal point") << false << "2.5";
    }
    void sheet()
    {
        QFETCH(bool, comma);
        QFETCH(QString, salePriceText);
        QLocale::setDefault(comma ? kChile : QLocale::c());
        TempShop shop;
        fillShop(shop);
        const StockList list = stockByName(shop.db, QStringLiteral("*"));
        Steps steps;
        QVERIFY(Exportar_Excel(shop.spreadsheet, shop.messages, list, &steps));
        QVERIFY(shop.messages.boxes.isEmpty());
        QCOMPARE(shop.spreadsheet.shown.size(), 1);
        const FakeSpreadsheet::Workbook& book = shop.spreadsheet.shown.first();

        const QList<double> widths = {5, 18, 25, 12, 16, 16, 30, 14, 14};
        const QStringList headers = {"ITEM", "CÓDIGO PRODUCTO", "NOMBRE PRODUCTO", "CANTIDAD", "PRECIO COSTO",
                                     "PRECIO VENTA", "CATEGORÍA", "COSTO TOTAL", "VENTA TOTAL"};
        const CellFont blueBold{true, 10, 0x0000FF};
        for (int column = 1; column <= 9; ++column) {
            QCOMPARE(book.widths.value(column), widths[column - 1]);
            QCOMPARE(book.value(1, column), QVariant(headers[column - 1]));
            QVERIFY(book.cells.value({1, column}).font == blueBold);
        }
        // Text where the column is text (the sale price too), numbers in the other four.
        const QVariantList first = {"1", "1", "Aceite", 3.0, 2.5, salePriceText, "Abarrotes", 7.5, 7.5};
        const QVariantList third = {"3", "3", "Café", 10.0, 100.0, "150", "Abarrotes", 1000.0, 1500.0};
        for (int column = 1; column <= 9; ++column) {
            QCOMPARE(book.value(2, column), first[column - 1]);
            QCOMPARE(book.value(4, column), third[column - 1]);
            QVERIFY(book.cells.value({2, column}).font == CellFont());
        }
        // A product without quantity: those cells stay empty.
        QCOMPARE(book.value(3, 5), QVariant(800.0));
        for (const int column : {4, 8, 9})
            QVERIFY(!book.cells.contains({3, column}));
        QCOMPARE(book.lastRow(), 4);
        QCOMPARE(steps.said, (QList<qsizetype>{-3, 1, 2, 3, 0}));
    }

    void failures_data()
    {
        QTest::addColumn<int>("failAtCell");
        QTest::addColumn<bool>("failOnShow");
        QTest::addColumn<bool>("textQuantity");
        QTest::addColumn<QString>("message");
        const QString disk = QStringLiteral("No se pudo escribir la planilla: el disco está lleno.");
        QTest::newRow("a header") << 1 << false << false << disk;
        QTest::newRow("a data cell") << 14 << false << false << disk;
        QTest::newRow("opening") << 0 << true << false << "No se encontró un programa.";
        if (!onServer()) // text in a number column, the file's alone
            QTest::newRow("text for a quantity") << 0 << false << true
                << "No se pudo exportar la fila 1: «tres» de la columna «CANTIDAD» no es un número.";
    }
    void failures()
    {
        QFETCH(int, failAtCell);
        QFETCH(bool, failOnShow);
        QFETCH(bool, textQuantity);
        QFETCH(QString, message);
        TempShop shop;
        fillShop(shop);
        if (textQuantity)
            shop.db.execute(QStringLiteral("update Productos set Cantidad = 'tres' where CodigoProducto = '1'"));
        shop.spreadsheet.failAtCell = failAtCell;
        if (failOnShow)
            shop.spreadsheet.failOnShow = message;
        Steps steps;
        QVERIFY(!Exportar_Excel(shop.spreadsheet, shop.messages, stockByName(shop.db, QStringLiteral("*")), &steps));
        QCOMPARE(shop.messages.boxes.size(), 1);
        QCOMPARE(shop.messages.boxes[0].text, message);
        QCOMPARE(shop.messages.boxes[0].title, QStringLiteral("Tarvino 1.0"));
        QCOMPARE(shop.messages.boxes[0].icon, Messages::Icon::Critical);
        QVERIFY(shop.spreadsheet.shown.isEmpty() && !shop.spreadsheet.open);
        QCOMPARE(shop.spreadsheet.discarded, failOnShow ? 0 : 1);
        QCOMPARE(steps.said.last(), 0);
    }

    // The file itself: "." in every number and width whatever the C library's locale is.
    void workbookFile_data()
    {
        QTest::addColumn<QByteArray>("cLocale");
        QTest::newRow("C") << QByteArray("C");
        QTest::newRow("es_CL") << QByteArray("es_CL.UTF-8");
    }
    void workbookFile()
    {
        QFETCH(QByteArray, cLocale);
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        if (!std::setlocale(LC_ALL, cLocale.constData()))
            QSKIP("the locale is not installed");
        const auto restore = qScopeGuard([] { std::setlocale(LC_ALL, "C"); });
        TempShop shop;
        fillShop(shop);
        QTemporaryDir folder;
        QStringList opened;
        XlsxSpreadsheet sheet([&](const QString& path) { opened << path; }, shop.clock, folder.path());
        QVERIFY(Exportar_Excel(sheet, shop.messages, stockByName(shop.db, QStringLiteral("*")), nullptr));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0], QDir(folder.path()).filePath(QStringLiteral("Stock_2026-03-09_09-05-07.xlsx")));

        const QByteArray xml = unzipped(opened[0], QStringLiteral("xl/worksheets/sheet1.xml"));
        const QMap<QString, QString> cells = sheetCells(xml);
        QCOMPARE(cells.value("A1"), QStringLiteral("s:ITEM"));
        QCOMPARE(cells.value("G1"), QStringLiteral("s:CATEGORÍA"));
        QCOMPARE(cells.value("A2"), QStringLiteral("s:1"));
        QCOMPARE(cells.value("B2"), QStringLiteral("s:1"));
        QCOMPARE(cells.value("D2"), QStringLiteral("n:3"));
        QCOMPARE(cells.value("E2"), QStringLiteral("n:2.5"));
        QCOMPARE(cells.value("F2"), QStringLiteral("s:2,5"));
        QCOMPARE(cells.value("H2"), QStringLiteral("n:7.5"));
        QCOMPARE(cells.value("I4"), QStringLiteral("n:1500"));
        QVERIFY(!cells.contains("D3"));
        QVERIFY(xml.contains("<col min=\"3\" max=\"3\" width=\"25.7109375\""));
        const QByteArray styles = unzipped(opened[0], QStringLiteral("xl/styles.xml"));
        QVERIFY(styles.contains("<b/><sz val=\"10\"/><color rgb=\"FF0000FF\"/>"));
    }

    // Texts arrive as typed: characters XML gives a meaning to, accents, characters beyond the
    // basic plane, spaces at the ends, characters XML cannot hold (controls, U+FFFE, U+FFFF, halves
    // of a surrogate pair) and text that reads as such an escape; the file is a sound zip.
    void workbookTexts()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir folder;
        FakeClock clock;
        QStringList opened;
        XlsxSpreadsheet sheet([&](const QString& path) { opened << path; }, clock, folder.path());
        const QStringList texts = {QStringLiteral("Té & café <1/2> \"kg\""), QStringLiteral("  Ñandú  "),
                                   QString::fromUcs4(U"Pan \U0001F956"), QStringLiteral("a\u0001b"),
                                   QStringLiteral("x\uFFFEy\uFFFF\u001F"), QStringLiteral("_x0041_ _x005F_ _x12_ _X0041_"),
                                   QChar(0xD83D) + QStringLiteral("z") + QChar(0xDE00)};
        sheet.newWorkbook(QStringLiteral("Stock"));
        sheet.setColumnWidth(2, 25);
        for (int i = 0; i < texts.size(); ++i)
            sheet.setText(i + 1, 2, texts[i]);
        sheet.setNumber(texts.size() + 1, 30, -1234.5678);
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, sheet.setText(texts.size() + 2, 1, QString(32768, QLatin1Char('x'))));
        sheet.show();
        QCOMPARE(opened.size(), 1);

        QVERIFY(zipChecksWhole(opened[0]));
        const QByteArray xml = unzipped(opened[0], QStringLiteral("xl/worksheets/sheet1.xml"));
        QXmlStreamReader reader(xml);
        while (!reader.atEnd())
            reader.readNext();
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        const QMap<QString, QString> cells = sheetCells(xml);
        QCOMPARE(cells.value("B1"), "s:" + texts[0]);
        QCOMPARE(cells.value("B2"), "s:" + texts[1]);
        QCOMPARE(cells.value("B3"), "s:" + texts[2]);
        QCOMPARE(cells.value("B4"), QStringLiteral("s:a_x0001_b")); // as spreadsheets write it
        QCOMPARE(cells.value("B5"), QStringLiteral("s:x_xFFFE_y_xFFFF__x001F_"));
        QCOMPARE(cells.value("B6"), QStringLiteral("s:_x005F_x0041_ _x005F_x005F_ _x12_ _X0041_"));
        QCOMPARE(cells.value("B7"), QStringLiteral("s:_xD83D_z_xDE00_"));
        QCOMPARE(cells.value("AD8"), QStringLiteral("n:-1234.5678"));
        QVERIFY(xml.contains("<col min=\"2\" max=\"2\" width=\"25.7109375\""));
        QProcess list;
        list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), opened[0]});
        QVERIFY(list.waitForFinished());
        QCOMPARE(QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                              "xl/worksheets/sheet1.xml", "xl/styles.xml"}));
    }

    // A sheet of megabytes, compressed in many pieces: texts that hardly repeat keep the compressed
    // data large too, and every cell reads back whole and in its place.
    void workbookLarge()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir folder;
        FakeClock clock;
        QStringList opened;
        XlsxSpreadsheet sheet([&](const QString& path) { opened << path; }, clock, folder.path());
        constexpr int kRows = 40'000;
        quint64 seed = 0x9E3779B97F4A7C15ull;
        const auto text = [&] {
            QString made;
            for (int i = 0; i < 6; ++i) {
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                made += QString::number(seed >> 20, 36);
            }
            return made;
        };
        QStringList written;
        sheet.newWorkbook(QStringLiteral("Stock"));
        for (int row = 1; row <= kRows; ++row) {
            written << text();
            sheet.setText(row, 1, written.last());
            sheet.setNumber(row, 2, row * 0.25);
        }
        sheet.show();
        QCOMPARE(opened.size(), 1);

        QVERIFY(zipChecksWhole(opened[0]));
        const QByteArray xml = unzipped(opened[0], QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY2(xml.size() > 4 * 1024 * 1024, QByteArray::number(xml.size()).constData());
        QVERIFY(xml.endsWith("</worksheet>"));
        const QMap<QString, QString> cells = sheetCells(xml);
        QCOMPARE(cells.size(), 2 * kRows);
        for (int row = 1; row <= kRows; ++row) {
            const QString r = QString::number(row);
            QCOMPARE(cells.value(QStringLiteral("A") + r), QStringLiteral("s:") + written[row - 1]);
            QCOMPARE(cells.value(QStringLiteral("B") + r), QStringLiteral("n:") + QString::number(row * 0.25));
        }
    }

    // A disk that refuses the workbook half-way: told, and nothing half-written is left.
    void workbookDiskFull()
    {
        QTemporaryDir folder;
        FakeClock clock;
        XlsxSpreadsheet sheet([](const QString&) { QFAIL("a half-written workbook was opened"); }, clock, folder.path());
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        {
            rlimit small = before;
            small.rlim_cur = 200'000; // bytes a file may grow to
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const auto restore = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &before);
            std::signal(SIGXFSZ, previous);
        });
        QString message;
        try {
            sheet.newWorkbook(QStringLiteral("Stock"));
            for (int row = 1; row <= 100'000; ++row)
                sheet.setText(row, 1, QStringLiteral("Un nombre de producto bastante largo"));
            sheet.show();
        } catch (const SpreadsheetError& e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QLatin1String("No se pudo ")), qPrintable(message));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Where the workbooks go: a folder made when missing, a file of the owner's alone named by the
    // date and time, never one written over.
    void workbookPlace()
    {
        QTemporaryDir home;
        FakeClock clock(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 33)));
        const QString folder = QDir(home.path()).filePath(QStringLiteral("Documentos/Tarvino"));
        const QString earlier = QDir(folder).filePath(QStringLiteral("Stock_2026-12-08_14-05-33.xlsx"));
        QStringList opened;
        XlsxSpreadsheet sheet([&](const QString& path) { opened << path; }, clock, folder);
        // With no file-creation mask at all, so that the file's own mode is what is checked.
        const mode_t maskBefore = ::umask(0);
        const auto restore = qScopeGuard([&] { ::umask(maskBefore); });
        for (int i = 0; i < 3; ++i) {
            sheet.newWorkbook(QStringLiteral("Stock"));
            sheet.setNumber(1, 1, i);
            sheet.show();
        }
        QCOMPARE(opened, (QStringList{earlier, QDir(folder).filePath(QStringLiteral("Stock_2026-12-08_14-05-33_2.xlsx")),
                                      QDir(folder).filePath(QStringLiteral("Stock_2026-12-08_14-05-33_3.xlsx"))}));
        for (const QString& path : std::as_const(opened)) {
            struct stat info {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, mode_t(0600));
        }

        // A folder that cannot be made is named in the message.
        QFile blocker(QDir(home.path()).filePath(QStringLiteral("archivo")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString impossible = QDir(blocker.fileName()).filePath(QStringLiteral("Tarvino"));
        XlsxSpreadsheet nowhere([](const QString&) {}, clock, impossible);
        try {
            nowhere.newWorkbook(QStringLiteral("Stock"));
            QFAIL("a workbook in a folder that cannot be made");
        } catch (const SpreadsheetError& e) {
            QVERIFY2(e.message().contains(impossible), qPrintable(e.message()));
        }
    }

    void workbookFileFailures()
    {
        QTemporaryDir folder;
        FakeClock clock;
        // Each workbook in a file of its own; one left unfinished leaves nothing behind.
        QStringList opened;
        XlsxSpreadsheet sheet([&](const QString& path) {
            opened << path;
            if (opened.size() == 2)
                throw SpreadsheetError(QStringLiteral("sin programa"));
        }, clock, folder.path());
        sheet.newWorkbook(QStringLiteral("Stock"));
        sheet.setNumber(1, 1, 1);
        sheet.show();
        const QByteArray firstHash = fileHash(opened[0]);
        sheet.newWorkbook(QStringLiteral("Stock"));
        sheet.setText(1, 1, QStringLiteral("otro"));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, sheet.show());
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0] != opened[1] && QFileInfo::exists(opened[1]));
        QCOMPARE(fileHash(opened[0]), firstHash);
        sheet.newWorkbook(QStringLiteral("Stock"));
        const QString dropped = sheet.path();
        QVERIFY(QFileInfo::exists(dropped));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, sheet.setNumber(1, 1, qQNaN()));
        sheet.discard();
        QVERIFY(!QFileInfo::exists(dropped));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    }

    void fromTheWindow()
    {
        TempShop shop;
        fillShop(shop);
        Form9 f(shop.context);
        f.Form_Load();
        f.show();
        f.Text1->setText(QStringLiteral("*"));
        f.Command2_Click();
        QVERIFY(f.Command1->isEnabled());

        // The bar counts the rows as they are written.
        QList<int> bar;
        shop.spreadsheet.afterCell = [&](int row, int column) {
            if (row > 1 && column == 3)
                bar << f.ProgressBar1->value() << f.ProgressBar1->maximum();
        };
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QCOMPARE(shop.spreadsheet.shown.size(), 1);
        QCOMPARE(shop.spreadsheet.shown[0].lastRow(), 4);
        QCOMPARE(bar, (QList<int>{0, 3, 1, 3, 2, 3}));
        QCOMPARE(f.ProgressBar1->value(), 0);

        // A failure: told with the critical icon, the list unchanged and the window usable.
        shop.spreadsheet.failAtCell = 20;
        f.Command1_Click();
        QCOMPARE(shop.messages.boxes.size(), 1);
        QCOMPARE(shop.messages.boxes[0].icon, Messages::Icon::Critical);
        QCOMPARE(f.stockRows().size(), 3);
        QCOMPARE(f.ProgressBar1->value(), 0);
        QVERIFY(f.Command1->isEnabled());
        f.Command1_Click();
        QCOMPARE(shop.spreadsheet.shown.size(), 2);

        // An empty list is not exported.
        f.Text1->clear();
        f.Command2_Click();
        shop.messages.clear();
        f.Command1_Click();
        QCOMPARE(shop.messages.texts(), QStringList{stockMessages::kNadaQueExportar});
        QCOMPARE(shop.spreadsheet.shown.size(), 2);
        QVERIFY(!shop.spreadsheet.open);
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
