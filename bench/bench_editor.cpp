// Timings of the product editor's window at 100,000 products, from the cashier's side: opening with
// the list shown, a re-sort, and Guardar with its reload, each until the list is painted; beside the
// same window work done the record-set way (walk the whole table into a QTreeWidget item per row).
// Also the resident memory with the editor open. Not a test: it prints figures and targets.
#include "bench_support.h"

#include "catalogue/editor_window.h"
#include "data/database.h"
#include "data/window_data.h"
#include "support/temp_shop.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>
#include <memory>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

constexpr int kProducts = 100'000;

// What the cashier waits for after an action: pending work done and the list painted once.
void shown(QTreeView* list)
{
    QCoreApplication::processEvents();
    list->viewport()->repaint();
}

// The record-set way of showing the list: one item per product, filled row by row.
void literalList(Database& db, QTreeWidget& list)
{
    list.clear();
    WindowData data(db);
    data.OpenProductos();
    QList<QTreeWidgetItem*> items;
    for (int row = 1; !data.rs.eof(); data.rs.moveNext(), ++row) {
        RecordSet& rs = data.rs;
        items << new QTreeWidgetItem(QStringList{
            QString::number(row), rs.text(QStringLiteral("CodigoProducto")), rs.text(QStringLiteral("NombreProducto")),
            rs.text(QStringLiteral("Cantidad")), rs.text(QStringLiteral("PrecioCosto")),
            rs.text(QStringLiteral("PrecioVenta")), rs.text(QStringLiteral("Categoria"))});
    }
    data.CloseDatabase();
    list.addTopLevelItems(items);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));
    TempShop shop;
    std::printf("Filling %d products...\n", kProducts);
    fillCatalogue(shop, kProducts);
    const double baseMiB = residentMiB();

    std::unique_ptr<Form2> editor;
    report("Editor opens with its list shown", 300, measure(1, 7, [&] { editor.reset(); }, [&] {
               editor = std::make_unique<Form2>(shop.context);
               editor->Form_Load();
               editor->show();
               shown(editor->ListView1);
           }));
    check(editor->productRows().size() == kProducts, "the editor lists every product");
    const double openMiB = residentMiB();

    report("Re-sort by quantity, list shown", 300, measure(1, 7, [&] {
               editor->Combo1->setCurrentIndex(2);
               editor->Combo1_Click();
               shown(editor->ListView1);
           }));
    report("Re-sort by code, list shown", 300, measure(1, 7, [&] {
               editor->Combo1->setCurrentIndex(0);
               editor->Combo1_Click();
               shown(editor->ListView1);
           }));

    int round = 0;
    report("Guardar: duplicate check, write, list reloaded and shown", 300, measure(1, 9, [&] {
               editor->Text1->setText(productCode(round * 997));
               editor->Command6_Click();
               editor->Text3->setText(QString::number(++round));
           }, [&] {
               editor->Command3_Click();
               shown(editor->ListView1);
           }));
    check(editor->productRows().size() == kProducts, "Guardar keeps every product listed");
    check(shop.scalar(QStringLiteral("select Cantidad from Productos where CodigoProducto = '%1'")
                          .arg(productCode((round - 1) * 997)))
                  .toDouble() == round,
          "the last Guardar stored its quantity");

    QTreeWidget literal;
    literal.setColumnCount(7);
    literal.setUniformRowHeights(true);
    literal.show();
    report("Literal: the whole table walked into an item per row, shown", 0, measure(0, 3, [&] {
               literalList(shop.db, literal);
               QCoreApplication::processEvents();
               literal.viewport()->repaint();
           }));
    check(literal.topLevelItemCount() == kProducts, "the literal list holds every product");

    printTable();
    std::printf("\nResident memory: %.0f MiB with the catalogue filled, %.0f MiB with the editor open "
                "(target for the program: under 150 MiB).\n",
                baseMiB, openMiB);
    return failures() ? 1 : 0;
}
