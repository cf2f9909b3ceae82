// The product editor on a temporary shop: its window, the look-up states, Guardar, Eliminar and the
// sort selector, driven through the real controls and checked in the window and in bd1.
#include "catalogue/editor_window.h"
#include "common/numbers.h"
#include "sales/sales_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace tarvino;
using namespace tarvino::test;

namespace {

struct Editor {
    Editor()
    {
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10, 700, 990, 5, QStringLiteral("Lacteos")});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan"), 50, 0, 1500.5, 2, QStringLiteral("Panaderia")});
        shop.addProduct({QStringLiteral("300"), QStringLiteral("Arroz"), 3, 800, 1200, 0, QStringLiteral("Abarrotes")});
        form = std::make_unique<Form2>(shop.context);
        form->Form_Load();
        form->show();
    }

    void lookUp(const QString& code)
    {
        QTest::keyClicks(form->Text1, code);
        QTest::keyClick(form->Text1, Qt::Key_Return);
    }

    // The list's rows, each "code|name|quantity|cost|price|category".
    QStringList rows() const
    {
        QStringList all;
        const ProductList& list = form->productRows();
        for (qsizetype r = 0; r < list.size(); ++r) {
            QStringList cells;
            for (int c = 1; c < ProductList::kColumns; ++c)
                cells << list.text(r, c);
            all << cells.join(QLatin1Char('|'));
        }
        return all;
    }

    bool inCodeEntry() const
    {
        return form->Text1->isEnabled() && !form->Text2->isEnabled() && !form->Combo2->isEnabled() &&
               !form->Command4->isEnabled();
    }

    TempShop shop;
    std::unique_ptr<Form2> form;
};
} // namespace

class TestEditor : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void windowAfterLoad()
    {
        Editor e;
        Form2& f = *e.form;
        QCOMPARE(f.windowTitle(), QStringLiteral("TARVINO 1.0"));
        QCOMPARE(f.Label1->text(), QStringLiteral("EDICIÓN DE PRODUCTOS"));
        QCOMPARE(f.Picture1->size(), QSize(1009, 681));
        const QStringList titles = {"Item", "Código", "Nombre", "Cantidad", "Precio Costo", "Precio Venta", "Categoría"};
        for (int i = 0; i < titles.size(); ++i)
            QCOMPARE(f.ListView1->model()->headerData(i, Qt::Horizontal).toString(), titles[i]);
        // Name order; a zero price shows "$ 0".
        QCOMPARE(e.rows(), (QStringList{"300|Arroz|3|800|1200|Abarrotes", "100|Leche|10|700|990|Lacteos",
                                        "200|Pan|50|$ 0|1500,5|Panaderia"}));
        QCOMPARE(f.productRows().text(2, 0), QStringLiteral("3"));
        QCOMPARE(f.Combo1->count(), 3);
        QCOMPARE(f.Combo1->currentIndex(), -1);
        QCOMPARE(f.Text6->text(), QStringLiteral("0"));
        QVERIFY(e.inCodeEntry());
        // Typing stops at the box's limit.
        QTest::keyClicks(f.Text1, QStringLiteral("12345678901234567890"));
        QCOMPARE(f.Text1->text(), QStringLiteral("123456789012345"));
        f.Text1->clear();
        // Tab walks the boxes in their order.
        QList<QWidget*> order;
        for (QWidget* w = f.Text1; order.size() < 10; w = w->nextInFocusChain()) {
            if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == f.Picture1)
                order << w;
            if (w->nextInFocusChain() == f.Text1)
                break;
        }
        QCOMPARE(order.mid(0, 10), (QList<QWidget*>{f.Text1, f.Text2, f.Text3, f.Text4, f.Text5, f.Combo2,
                                                    f.Text6, f.Command3, f.Command4, f.Command5}));
    }

    void keyFiltersAndClipboard_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("whole");
        QTest::newRow("es_CL") << kChile << "1a2.,-3 " << "123" << "12,3" << "123";
        QTest::newRow("C") << QLocale::c() << "1a2.,-3 " << "123" << "12.3" << "123";
    }
    void keyFiltersAndClipboard()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, code);
        QFETCH(QString, decimal);
        QFETCH(QString, whole);
        QLocale::setDefault(locale);
        Editor e;
        Form2& f = *e.form;
        QTest::keyClicks(f.Text1, typed);
        QCOMPARE(f.Text1->text(), code);
        QTest::keyClick(f.Text1, Qt::Key_Return);
        for (QLineEdit* box : {f.Text3, f.Text4, f.Text5}) {
            box->clear();
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), decimal);
        }
        f.Text6->clear();
        QTest::keyClicks(f.Text6, typed);
        QCOMPARE(f.Text6->text(), whole);
        // A click on a box empties the clipboard.
        QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
        QTest::mouseClick(f.Text2, Qt::LeftButton);
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    }

    void decimalMarkOfEitherLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("stored");
        QTest::newRow("es_CL point") << kChile << "2.5" << "2,5" << 2.5;
        QTest::newRow("C comma") << QLocale::c() << "2,5" << "2.5" << 2.5;
        QTest::newRow("C one decimal mark") << QLocale::c() << "1.000" << "1.000" << 1.0;
        QTest::newRow("es_CL second mark refused") << kChile << "1,2.5" << "1,25" << 1.25;
    }
    // The stock, cost and price boxes take either mark as the decimal mark and store what they show.
    void decimalMarkOfEitherLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(double, stored);
        QLocale::setDefault(locale);
        Editor e;
        Form2& f = *e.form;
        e.lookUp(QStringLiteral("400"));
        QTest::keyClicks(f.Text2, QStringLiteral("Azucar"));
        for (QLineEdit* box : {f.Text3, f.Text4, f.Text5}) {
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), shown);
        }
        f.Combo2->setEditText(QStringLiteral("Abarrotes"));
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QVERIFY(e.shop.messages.boxes.isEmpty());
        for (const char* column : {"Cantidad", "PrecioCosto", "PrecioVenta"}) {
            QCOMPARE(e.shop.scalar(QStringLiteral("select %1 from Productos where CodigoProducto = '400'")
                                       .arg(QLatin1String(column)))
                         .toDouble(),
                     stored);
        }
    }

    void lookUpStates()
    {
        Editor e;
        Form2& f = *e.form;
        QTest::keyClick(f.Text1, Qt::Key_Return);
        QCOMPARE(e.shop.messages.texts(), QStringList{"Debe ingresar el código del producto"});
        QVERIFY(e.inCodeEntry());

        e.lookUp(QStringLiteral("200"));
        QVERIFY(f.m);
        QCOMPARE(f.Text7, QStringLiteral("200"));
        QCOMPARE(f.Text2->text(), QStringLiteral("Pan"));
        QCOMPARE(f.Text5->text(), QStringLiteral("1500,5"));
        QCOMPARE(f.Combo2->currentText(), QStringLiteral("Panaderia"));
        QCOMPARE(f.Combo2->count(), 3);
        QVERIFY(f.Command4->isEnabled());
        QVERIFY(!f.Text1->isEnabled());
        QCOMPARE(QApplication::focusWidget() == f.Text2 || !f.isActiveWindow(), true);

        // A click on the list loads that row, from any state.
        const QModelIndex arroz = f.ListView1->model()->index(0, 2);
        f.ListView1->setCurrentIndex(arroz);
        QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, f.ListView1->visualRect(arroz).center());
        QCOMPARE(f.Text1->text(), QStringLiteral("300"));
        QCOMPARE(f.Text2->text(), QStringLiteral("Arroz"));

        QTest::mouseClick(f.Command5, Qt::LeftButton);
        QVERIFY(e.inCodeEntry());
        QVERIFY(f.Text2->text().isEmpty());
        e.lookUp(QStringLiteral("999"));
        QVERIFY(!f.m);
        QVERIFY(!f.Command4->isEnabled());
        QVERIFY(f.Text2->isEnabled());
        QVERIFY(f.Combo2->currentText().isEmpty());
    }

    // A product is loaded whole, whatever the boxes' typing limits, and Guardar after a change of
    // the sale price alone leaves every other value exactly as stored, to the last bit.
    void storedValuesKeptWhole_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("stock");
        QTest::addColumn<double>("cost");
        const QString longName = QStringLiteral("Queso mantecoso laminado de campo, bandeja 250 g");
        QTest::newRow("weighed remainder") << "500" << "Queso" << 0.3 - 0.1 - 0.2 << 4200.0;
        QTest::newRow("grams in thousands") << "500" << "Queso" << 12345.375 << 4200.0;
        QTest::newRow("17th digit") << "500" << "Queso" << 0.1 + 0.2 << 1.0 / 3;
        QTest::newRow("long name") << "500" << longName << 7.0 << 4200.0;
        QTest::newRow("long code") << "78012345678901234567" << "Queso" << 7.0 << 4200.0;
    }
    void storedValuesKeptWhole()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(double, stock);
        QFETCH(double, cost);
        Editor e;
        e.shop.addProduct({code, name, stock, cost, 5000, 3, QStringLiteral("Quesos")});
        e.form->Command5_Click();
        Form2& f = *e.form;
        qsizetype row = 0;
        while (f.productRows().text(row, 1) != code)
            ++row;
        const QModelIndex cell = f.ListView1->model()->index(int(row), 2);
        f.ListView1->setCurrentIndex(cell);
        QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, f.ListView1->visualRect(cell).center());
        QVERIFY(f.m);
        QCOMPARE(f.Text1->text(), code);
        QCOMPARE(f.Text2->text(), name);
        QCOMPARE(f.Text3->text(), plainNumber(stock));

        // Typing keeps a loaded text past the limit within its loaded length.
        if (name.size() > 40) {
            f.Text2->end(false);
            QTest::keyClicks(f.Text2, QStringLiteral("xy"));
            QCOMPARE(f.Text2->text(), name);
            QTest::keyClick(f.Text2, Qt::Key_Backspace);
            QTest::keyClicks(f.Text2, QStringLiteral("gz"));
            QCOMPARE(f.Text2->text(), name);
        }

        f.Text5->clear();
        QTest::keyClicks(f.Text5, QStringLiteral("5100"));
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QVERIFY2(e.shop.messages.boxes.isEmpty(), qPrintable(e.shop.messages.texts().join('\n')));
        QCOMPARE(e.shop.count(QStringLiteral("Productos")), 4);
        const QVariantList stored = e.shop.rows(QStringLiteral(
            "select CodigoProducto, NombreProducto, Cantidad, PrecioCosto, "
            "PrecioVenta, StockCritico from Productos where Categoria = 'Quesos'"));
        QCOMPARE(stored.size(), 1);
        const QStringList cells = stored[0].toString().split(QLatin1Char('|'));
        QCOMPARE(cells.value(0), code);
        QCOMPARE(cells.value(1), name);
        QCOMPARE(cells.value(4), QStringLiteral("5100.0"));
        QCOMPARE(cells.value(5), QStringLiteral("3"));
        // Exactly, bit for bit: QCOMPARE of doubles would let the last digits pass.
        const QVariant storedStock = e.shop.scalar("select Cantidad from Productos where Categoria = 'Quesos'");
        const QVariant storedCost = e.shop.scalar("select PrecioCosto from Productos where Categoria = 'Quesos'");
        QVERIFY2(storedStock.toDouble() == stock, qPrintable(QString::number(storedStock.toDouble(), 'g', 17)));
        QVERIFY2(storedCost.toDouble() == cost, qPrintable(QString::number(storedCost.toDouble(), 'g', 17)));
    }

    void savingNewAndChanged_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("critical");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored"); // the row stored under code afterwards, empty for none
        QTest::newRow("new, trimmed") << "400" << "  Azucar  " << "" << ""
                                      << "400|Azucar|12.5|300.0|450.0|0|Abarrotes";
        QTest::newRow("new, duplicate name") << "400" << "Leche" << "0"
                                             << "El nombre del producto no puede ser igual a uno ya existente" << "";
        QTest::newRow("change, own name") << "100" << "Leche" << "5" << ""
                                          << "100|Leche|12.5|300.0|450.0|5|Abarrotes";
    }
    void savingNewAndChanged()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, critical);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        Editor e;
        Form2& f = *e.form;
        e.lookUp(code);
        for (QLineEdit* box : {f.Text2, f.Text3, f.Text4, f.Text5, f.Text6})
            box->clear();
        QTest::keyClicks(f.Text2, name);
        QTest::keyClicks(f.Text3, QStringLiteral("12,5"));
        QTest::keyClicks(f.Text4, QStringLiteral("300"));
        QTest::keyClicks(f.Text5, QStringLiteral("450"));
        QTest::keyClicks(f.Text6, critical);
        f.Combo2->setEditText(QStringLiteral("Abarrotes"));
        QTest::mouseClick(f.Command3, Qt::LeftButton);

        const QVariantList row = e.shop.rows(
            QStringLiteral("select CodigoProducto, NombreProducto, Cantidad, "
                           "PrecioCosto, PrecioVenta, StockCritico, Categoria "
                           "from Productos where CodigoProducto = '%1'").arg(code));
        QCOMPARE(row.isEmpty() ? QString() : row[0].toString(), stored);
        if (message.isEmpty()) {
            QVERIFY(e.shop.messages.boxes.isEmpty());
            QVERIFY(e.inCodeEntry());
            QCOMPARE(f.Text6->text(), QStringLiteral("0"));
            QVERIFY(f.Text2->text().isEmpty());
            QCOMPARE(e.rows().size(), e.shop.count("Productos"));
        } else {
            QCOMPARE(e.shop.messages.texts(), QStringList{message});
            // A refusal keeps the boxes and the state.
            QVERIFY(f.Text2->isEnabled());
            QCOMPARE(f.Text3->text(), QStringLiteral("12,5"));
        }
    }

    void deleting_data()
    {
        QTest::addColumn<int>("offer");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("left");
        QTest::newRow("in an offer") << 1 << true << 3;
        QTest::newRow("answered no") << 0 << false << 3;
        QTest::newRow("answered yes") << 0 << true << 2;
    }
    void deleting()
    {
        QFETCH(int, offer);
        QFETCH(bool, yes);
        QFETCH(int, left);
        Editor e;
        Form2& f = *e.form;
        e.shop.db.execute(QStringLiteral("update Productos set ParteDeOferta = %1 where CodigoProducto = '100'").arg(offer));
        e.lookUp(QStringLiteral("100"));
        e.shop.messages.answer(yes);
        QTest::mouseClick(f.Command4, Qt::LeftButton);
        QCOMPARE(e.shop.count("Productos"), left);
        QCOMPARE(e.rows().size(), left);
        if (offer) {
            QCOMPARE(e.shop.messages.texts(),
                     QStringList{"No se puede eliminar el producto mientras esté compuesto dentro de una oferta"});
        } else {
            QCOMPARE(e.shop.messages.boxes.size(), 1);
            QCOMPARE(e.shop.messages.boxes[0].text,
                     QStringLiteral("¿Está seguro que desea eliminar el registro de este Producto?"));
            QCOMPARE(e.shop.messages.boxes[0].title, QStringLiteral("Confirme Eliminación"));
        }
        // Only a confirmed deletion leaves the product.
        QCOMPARE(e.inCodeEntry(), left == 2);
        QCOMPARE(f.Command4->isEnabled(), left == 3);
    }

    void productDeletedMeanwhile()
    {
        Editor e;
        Form2& f = *e.form;
        e.lookUp(QStringLiteral("100"));
        e.shop.db.execute(QStringLiteral("delete from Productos where CodigoProducto = '100'"));
        QTest::mouseClick(f.Command4, Qt::LeftButton);
        QCOMPARE(e.shop.messages.boxes.size(), 1);
        QVERIFY(e.inCodeEntry());
        QCOMPARE(e.rows().size(), 2);
    }

    void sortOrderLastsUntilTheNextReload()
    {
        Editor e;
        Form2& f = *e.form;
        f.Combo1->setCurrentIndex(2); // CANTIDAD
        f.Combo1_Click();
        QCOMPARE(e.rows().first().section(QLatin1Char('|'), 1, 1), QStringLiteral("Arroz"));
        QCOMPARE(e.rows().last().section(QLatin1Char('|'), 1, 1), QStringLiteral("Pan"));
        f.Combo1->setCurrentIndex(0); // CODIGO
        f.Combo1_Click();
        QCOMPARE(e.rows().first().section(QLatin1Char('|'), 0, 0), QStringLiteral("100"));
        QTest::mouseClick(f.Command5, Qt::LeftButton);
        QCOMPARE(e.rows().first().section(QLatin1Char('|'), 1, 1), QStringLiteral("Arroz"));
    }

    void openedFromTheMenuInPlaceOfTheSalesWindow()
    {
        SalesDriver d;
        Form1& sales = d.open();
        sales.edicionProductos->trigger();
        Form2* opened = visibleWindow<Form2>();
        QVERIFY(opened);
        QVERIFY(sales.isHidden());
        QCOMPARE(opened->productRows().size(), 2);
        opened->close();
        flushClosedWindows();
        QVERIFY(sales.isVisible());
    }
};

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
