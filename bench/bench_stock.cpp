// Timings of the stock window on a catalogue of 100,000 products: each listing from the button to
// the list laid out and painted, and the export of 100,000 rows to a workbook file with the
// progress bar moving, each beside the record-set way (the whole table walked row by row into a
// list with an item per row, and that list's texts written cell by cell, numbers read back from
// their text). That export is the reference twice: written with libxlsxwriter, as the program once
// wrote its workbooks, and on the program's own writer; the export's ratio to each is printed.
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"

#include "catalogue/stock_report.h"
#include "catalogue/stock_window.h"
#include "common/numbers.h"
#include "common/xlsx_spreadsheet.h"
#include "data/database.h"
#include "data/recordset.h"
#include "data/window_data.h"
#include "support/temp_shop.h"
#include "xlsxwriter_spreadsheet.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

constexpr int kProducts = 100'000;

qint64 processorNs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The median of some runs, in nanoseconds.
qint64 median(Samples ns)
{
    std::sort(ns.begin(), ns.end());
    return ns.empty() ? 0 : ns[ns.size() / 2];
}

// An export's median times and the size of its workbook.
struct Timing {
    qint64 elapsedNs = 0;
    qint64 processorNs = 0;
    qint64 bytes = 0;
};

// The processor time of the last runs of timed: on a machine shared with other work the elapsed
// time says more about the others than about this program.
Samples g_processor;

// Runs body runs times after setup (untimed) each time.
Samples timed(int runs, const std::function<void()>& setup, const std::function<void()>& body)
{
    Samples ns;
    g_processor.clear();
    for (int i = 0; i < runs; ++i) {
        setup();
        QElapsedTimer timer;
        timer.start();
        const qint64 processor = processorNs();
        body();
        ns.push_back(timer.nsecsElapsed());
        g_processor.push_back(processorNs() - processor);
    }
    return ns;
}

// What the user waits for after an action: the list laid out and painted once.
void painted(QTreeView* list)
{
    QCoreApplication::processEvents();
    list->doItemsLayout();
    list->viewport()->repaint();
}

// Counts the paints of a widget.
class PaintCount final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void benchListings(TempShop& shop, Form9& stock)
{
    const auto listing = [&](const char* operation, int runs, const std::function<void()>& action,
                             qsizetype expected) {
        Samples ns = timed(
            runs, [&] { shop.messages.clear(); },
            [&] {
                action();
                painted(stock.ListView1);
            });
        check(stock.stockRows().size() == expected && shop.messages.boxes.isEmpty() &&
                  stock.ListView1->model()->rowCount() == expected,
              operation);
        report(operation, 300, std::move(ns));
        if (expected == kProducts)
            report("  the same, processor time of this program", 0, g_processor);
    };

    stock.Option1->setChecked(true);
    listing("stock window: name \"*\" (every product)", 7, [&] {
        stock.Text1->setText(QStringLiteral("*"));
        stock.Command2_Click();
    }, kProducts);
    const qsizetype leche = shop.count(QStringLiteral("Productos")) / 20;
    listing("stock window: name \"leche\" (5,000 rows)", 7, [&] {
        stock.Text1->setText(QStringLiteral("leche"));
        stock.Command2_Click();
    }, leche);
    stock.Option2->setChecked(true);
    listing("stock window: code (1 row)", 7, [&] {
        stock.Text2->setText(productCode(4242));
        stock.Command2_Click();
    }, 1);
    stock.Option3->setChecked(true);
    const int galleta = stock.Combo1->findText(QStringLiteral("Galleta"));
    const qsizetype inCategory =
        shop.scalar(QStringLiteral("select count(*) from Productos where Categoria = 'Galleta'")).toLongLong();
    listing("stock window: category (1/13 of the catalogue)", 7, [&] {
        stock.Combo1->setCurrentIndex(galleta);
        stock.Command2_Click();
    }, inCategory);
    const qsizetype critical =
        shop.scalar(QStringLiteral("select count(*) from Productos where Cantidad <= StockCritico")).toLongLong();
    listing("stock window: Stock Crítico (few)", 7, [&] { stock.Command3_Click(); }, critical);
    shop.db.execute(QStringLiteral("update Productos set StockCritico = 30000"));
    listing("stock window: Stock Crítico (every product)", 7, [&] { stock.Command3_Click(); }, kProducts);
}

// The record-set way: the whole table in name order walked row by row, each row an item of nine
// texts, the totals read back from their texts.
void benchLiteralListing(TempShop& shop)
{
    QTreeWidget list;
    list.setColumnCount(StockList::kColumns);
    list.resize(1000, 430);
    list.show();
    int rows = 0;
    Samples ns = timed(
        3, [&] { list.clear(); },
        [&] {
            WindowData data(shop.db);
            data.OpenProductos();
            QList<QTreeWidgetItem*> items;
            double total = 0;
            for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext()) {
                const double quantity = rs.number(QStringLiteral("Cantidad"));
                const double cost = rs.number(QStringLiteral("PrecioCosto"));
                const double price = rs.number(QStringLiteral("PrecioVenta"));
                const QString costTotal = plainNumber(quantity * cost);
                items << new QTreeWidgetItem(QStringList{
                    QString::number(items.size() + 1), rs.text(QStringLiteral("CodigoProducto")),
                    rs.text(QStringLiteral("NombreProducto")), rs.text(QStringLiteral("Cantidad")),
                    rs.text(QStringLiteral("PrecioCosto")), rs.text(QStringLiteral("PrecioVenta")),
                    rs.text(QStringLiteral("Categoria")), costTotal,
                    plainNumber(leadingNumber(plainNumber(quantity * price)))});
                total += readNumber(costTotal).value_or(0);
            }
            data.CloseDatabase();
            list.addTopLevelItems(items);
            rows = list.topLevelItemCount();
            (void)total;
            QCoreApplication::processEvents();
            list.viewport()->repaint();
        });
    check(rows == kProducts, "record-set way: every product listed");
    report("record-set way: whole table into an item per row", 0, std::move(ns));
    report("  the same, processor time of this program", 0, g_processor);
}

Timing benchExport(TempShop& shop, Form9& stock, const QString& folder)
{
    QStringList opened;
    XlsxSpreadsheet sheet([&](const QString& path) { opened << path; }, shop.clock, folder);
    Context context{shop.db, shop.messages, shop.clock, shop.printer, sheet, shop.folder()};
    Form9 window(context);
    window.resize(1366, 768);
    window.show();
    window.Form_Load();
    (void)QTest::qWaitForWindowExposed(&window);
    window.Text1->setText(QStringLiteral("*"));
    window.Command2_Click();
    check(window.stockRows().size() == kProducts, "export: every product listed");

    PaintCount windowPaints;
    window.ListView1->viewport()->installEventFilter(&windowPaints);
    PaintCount barPaints;
    window.ProgressBar1->installEventFilter(&barPaints);
    int barSteps = 0;
    int barMaximum = 0;
    QObject::connect(window.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        ++barSteps;
        barMaximum = std::max(barMaximum, value);
    });
    Samples ns = timed(
        3,
        [&] {
            shop.messages.clear();
            windowPaints.paints = 0;
            barPaints.paints = 0;
            barSteps = 0;
            barMaximum = 0;
            // Something to repaint while the export runs, as a window moved over it would leave.
            window.ListView1->viewport()->update();
        },
        [&] { window.Command1_Click(); });
    check(shop.messages.boxes.isEmpty(), "export: no failure told");
    check(barPaints.paints > 10, "export: the bar repainted as it moved");
    check(opened.size() == 3 && QFileInfo(opened.value(0)).size() > 1'000'000, "export: workbook written and opened");
    check(barSteps >= kProducts && barMaximum == kProducts && window.ProgressBar1->value() == 0,
          "export: the bar counts every row and ends at 0");
    check(windowPaints.paints > 0, "export: the list repainted while the rows were written");
    std::printf("export: %d paints of the list and %d of the bar during the last run; workbook of %.1f MB\n",
                windowPaints.paints, barPaints.paints, QFileInfo(opened.value(0)).size() / 1e6);
    const Timing timing{median(ns), median(g_processor), QFileInfo(opened.value(0)).size()};
    report("stock window: Exportar, 100,000 rows to a workbook", 3000, std::move(ns));
    report("  the same, processor time of this program", 0, g_processor);
    (void)stock;
    return timing;
}

// The record-set way of exporting: the texts of an item-per-row list, each numeric one read back
// as a number, written cell by cell, the bar moved after each row.
class LiteralExport {
public:
    explicit LiteralExport(TempShop& shop)
    {
        m_list.setColumnCount(StockList::kColumns);
        WindowData data(shop.db);
        data.OpenProductos();
        QList<QTreeWidgetItem*> items;
        for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext()) {
            const double quantity = rs.number(QStringLiteral("Cantidad"));
            items << new QTreeWidgetItem(QStringList{
                QString::number(items.size() + 1), rs.text(QStringLiteral("CodigoProducto")),
                rs.text(QStringLiteral("NombreProducto")), rs.text(QStringLiteral("Cantidad")),
                rs.text(QStringLiteral("PrecioCosto")), rs.text(QStringLiteral("PrecioVenta")),
                rs.text(QStringLiteral("Categoria")), plainNumber(quantity * rs.number(QStringLiteral("PrecioCosto"))),
                plainNumber(quantity * rs.number(QStringLiteral("PrecioVenta")))});
        }
        m_list.addTopLevelItems(items);
        m_bar.resize(1000, 14);
        m_bar.show();
    }

    // Exports the list three times through sheet; lastFile names the workbook last written.
    Timing run(Spreadsheet& sheet, const std::function<QString()>& lastFile, const char* operation)
    {
        Samples ns = timed(
            3, [] {},
            [&] {
                sheet.newWorkbook(QStringLiteral("Stock"));
                m_bar.setMaximum(m_list.topLevelItemCount());
                for (int column = 0; column < StockList::kColumns; ++column)
                    sheet.setColumnWidth(column + 1, kStockSheet[column].width);
                for (int column = 0; column < StockList::kColumns; ++column)
                    sheet.setText(1, column + 1, QString::fromUtf8(kStockSheet[column].header), {true, 10, 0x0000FF});
                for (int i = 0; i < m_list.topLevelItemCount(); ++i) {
                    const QTreeWidgetItem* item = m_list.topLevelItem(i);
                    for (int column = 0; column < StockList::kColumns; ++column) {
                        if (kStockSheet[column].number)
                            sheet.setNumber(i + 2, column + 1, readNumber(item->text(column)).value_or(0));
                        else
                            sheet.setText(i + 2, column + 1, item->text(column));
                    }
                    m_bar.setValue(m_bar.value() + 1);
                }
                sheet.show();
                m_bar.setValue(0);
            });
        const qint64 bytes = QFileInfo(lastFile()).size();
        check(bytes > 1'000'000, operation);
        std::printf("%s: workbook of %.1f MB\n", operation, bytes / 1e6);
        const Timing timing{median(ns), median(g_processor), bytes};
        report(operation, 0, std::move(ns));
        report("  the same, processor time of this program", 0, g_processor);
        return timing;
    }

private:
    QTreeWidget m_list;
    QProgressBar m_bar;
};

// How the export compares with a reference: its median time over the reference's, elapsed and
// processor time.
void printRatio(const char* reference, const Timing& exported, const Timing& literal)
{
    std::printf("export / %s: %.0f ms / %.0f ms = %.2f (processor time %.0f ms / %.0f ms = %.2f)\n", reference,
                exported.elapsedNs / 1e6, literal.elapsedNs / 1e6, double(exported.elapsedNs) / double(literal.elapsedNs),
                exported.processorNs / 1e6, literal.processorNs / 1e6,
                double(exported.processorNs) / double(literal.processorNs));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLocale::setDefault(test::kChile);
    TempShop shop;
    QElapsedTimer fill;
    fill.start();
    fillCatalogue(shop, kProducts);
    std::printf("catalogue of %d products filled in %.1f s\n", kProducts, fill.elapsed() / 1000.0);
    QTemporaryDir folder;

    Timing exported;
    {
        Form9 stock(shop.context);
        stock.resize(1366, 768);
        stock.show();
        stock.Form_Load();
        (void)QTest::qWaitForWindowExposed(&stock);
        benchListings(shop, stock);
        std::printf("resident memory with the list of every product: %.0f MiB\n", residentMiB());
        exported = benchExport(shop, stock, folder.path());
    }
    benchLiteralListing(shop);
    Timing literal;
    Timing literalOwn;
    {
        LiteralExport way(shop);
        // The reference: the record-set way written with libxlsxwriter, as the program once wrote
        // its workbooks.
        XlsxwriterSpreadsheet library(folder.path());
        literal = way.run(library, [&] { return library.path(); },
                          "record-set way: item texts cell by cell, libxlsxwriter");
        check(library.shown() == 3, "record-set way: three workbooks written with libxlsxwriter");
        // The same walk on the program's own writer, to tell what the writer gains from what the
        // export's way of working gains.
        QStringList opened;
        XlsxSpreadsheet own([&](const QString& path) { opened << path; }, shop.clock, folder.path());
        literalOwn = way.run(own, [&] { return opened.value(opened.size() - 1); },
                             "record-set way: item texts cell by cell, the program's writer");
        check(opened.size() == 3, "record-set way: three workbooks written with the program's writer");
    }
    printRatio("record-set way with libxlsxwriter (the reference; at most 0.50)", exported, literal);
    printRatio("record-set way on the program's own writer", exported, literalOwn);

    printTable();
    return failures() ? 1 : 0;
}
