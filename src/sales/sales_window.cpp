// The sales window: rings up a sale by product code, totals it, settles it and owns the sales day.
#include "sales/sales_window.h"

#include "app/placement.h"
#include "common/key_filter.h"
#include "common/numbers.h"
#include "common/services.h"
#include "data/database.h"
#include "data/schema.h"
#include "sales/payment_window.h"
#include "catalogue/products.h"
#include "sales/recording.h"
#include "sales/sales_day.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace tarvino {

namespace {

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QFont arial(int points, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

void colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

struct ListColumn {
    const char* title;
    int twips;
    Qt::Alignment align;
};

const ListColumn kSaleListColumns[] = {
    {"_", 0, Qt::AlignLeft},
    {"Código", 1900, Qt::AlignLeft},
    {"Nombre", 6700, Qt::AlignLeft},
    {"Cantidad", 1500, Qt::AlignRight},
    {"Valor Unitario", 2200, Qt::AlignHCenter},
    {"Valor Total", 2200, Qt::AlignHCenter},
    {"1/0", 0, Qt::AlignHCenter},
    {"Categoría", 0, Qt::AlignHCenter},
};

const QString kQuestionUnclosed = QStringLiteral(
    "El sistema se cerró en forma inesperada, ¿continuar con el inicio de ventas anterior?. Si "
    "presiona NO se cerrará la venta anterior y comenzará un nuevo inicio de ventas");
const QString kQuestionExit =
    QStringLiteral("¿Salir del sistema asumiendo el término de las ventas del día?");

} // namespace

Form1::Form1(Context& context, QWidget* parent) : QMainWindow(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowCaption);
    buildControls();
    buildMenu();

    // Fires once, a second after the window is made, to reload the opening stamp of a resumed day
    // after the login has written the login time.
    Timer2 = named(new QTimer(this), "Timer2");
    Timer2->setInterval(1000);
    Timer2->setSingleShot(true);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    Timer2->start();
}

Form1::~Form1()
{
    if (m_payment)
        delete m_payment;
}

void Form1::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    Picture1 = named(new QWidget(central), "Picture1");
    Picture1->resize(px(kPanelWidthTwips), px(kPanelHeightTwips));
    setFont(arial(10, false));

    Label13 = named(new QLabel(QStringLiteral("LISTA DE PRODUCTOS A VENDER"), Picture1), "Label13");
    Label13->setGeometry(0, 0, 1009, 32);
    Label13->setAlignment(Qt::AlignCenter);
    Label13->setFont(arial(14, true));
    Label13->setAutoFillBackground(true);
    colour(Label13, QPalette::Window, Qt::black);
    colour(Label13, QPalette::WindowText, Qt::white);

    ListView1 = named(new QTreeWidget(Picture1), "ListView1");
    ListView1->setGeometry(0, 32, 1009, 400);

    Label17 = named(new QLabel(Picture1), "Label17");
    Label17->setGeometry(8, 440, 480, 30);
    Label17->setFont(arial(14, true));
    colour(Label17, QPalette::WindowText, QColor(255, 0, 0));
    Label17->hide();

    Check1 = named(new QCheckBox(QStringLiteral("Cantidad Manual"), Picture1), "Check1");
    Check1->setGeometry(520, 440, 220, 30);
    Check1->setFont(arial(12, true));
    Check1->setFocusPolicy(Qt::NoFocus);
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);

    Frame2 = named(new QFrame(Picture1), "Frame2");
    Frame2->setGeometry(0, 478, 500, 200);
    Frame2->setFrameShape(QFrame::StyledPanel);

    Label18 = named(new QLabel(QStringLiteral("DESCONTAR PRODUCTO"), Frame2), "Label18");
    Label18->setGeometry(10, 6, 250, 26);
    Label18->setFont(arial(12, true));
    Label18->setAlignment(Qt::AlignCenter);
    Label18->setAutoFillBackground(true);
    colour(Label18, QPalette::Window, QColor(255, 255, 0));
    Label18->hide();

    Label5 = named(new QLabel(QStringLiteral("Código Producto"), Frame2), "Label5");
    Label5->setGeometry(10, 42, 140, 26);
    Label5->setFont(arial(11, true));
    Text7 = named(new QLineEdit(Frame2), "Text7");
    Text7->setGeometry(150, 38, 200, 32);
    Text7->setFont(arial(14, false));
    Text7->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Text7));
    Command3 = named(new QPushButton(Frame2), "Command3");
    Command3->setGeometry(354, 38, 32, 32);
    Command3->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    Command3->setFocusPolicy(Qt::NoFocus);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    Label6 = named(new QLabel(QStringLiteral("Cantidad"), Frame2), "Label6");
    Label6->setGeometry(10, 86, 140, 26);
    Label6->setFont(arial(11, true));
    Text8 = named(new QLineEdit(QStringLiteral("1"), Frame2), "Text8");
    Text8->setGeometry(150, 82, 200, 32);
    Text8->setFont(arial(14, false));
    Text8->setEnabled(false);
    Text8->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.,]*")), Text8));

    Command1 = named(new QPushButton(QStringLiteral("PAGAR"), Frame2), "Command1");
    Command1->setGeometry(398, 38, 92, 76);
    Command1->setFont(arial(12, true));
    Command1->setStyleSheet(QStringLiteral("background-color: rgb(0, 192, 0); color: white;"));
    Command1->setFocusPolicy(Qt::NoFocus);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    Command2 = named(new QPushButton(QStringLiteral("CANCELAR"), Frame2), "Command2");
    Command2->setGeometry(10, 140, 140, 48);
    Command2->setFont(arial(12, true));
    Command2->setStyleSheet(QStringLiteral("background-color: rgb(255, 0, 0); color: white;"));
    Command2->setFocusPolicy(Qt::NoFocus);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    FrameTotal = named(new QFrame(Picture1), "FrameTotal");
    FrameTotal->setGeometry(509, 478, 500, 200);
    FrameTotal->setFrameShape(QFrame::StyledPanel);
    Label7 = named(new QLabel(QStringLiteral("TOTAL"), FrameTotal), "Label7");
    Label7->setGeometry(14, 8, 200, 34);
    Label7->setFont(arial(18, true));
    Label8 = named(new QLabel(FrameTotal), "Label8");
    Label8->setGeometry(14, 46, 472, 140);
    Label8->setFont(arial(54, true));
    Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    colour(Label8, QPalette::WindowText, QColor(0, 0, 255));

    auto* text7Keys = KeyHandler::install(Text7);
    text7Keys->keyDown = [this](int key) { Text7_KeyDown(key); };
    text7Keys->keyPress = [this](int k) { return Text7_KeyPress(k); };
    KeyHandler::install(Text8)->keyPress = [this](int k) { return Text8_KeyPress(k); };
}

void Form1::buildMenu()
{
    QMenuBar* bar = menuBar();
    productos = bar->addMenu(QStringLiteral("PRODUCTOS"));
    productos->setObjectName(QStringLiteral("productos"));
    edicionProductos = named(productos->addAction(QStringLiteral("EDICION DE PRODUCTOS")), "edicionProductos");
    usuarios = named(bar->addAction(QStringLiteral("USUARIOS")), "usuarios");
    recaudaciondeldia = named(bar->addAction(QStringLiteral("RECAUDACIÓN DEL DÍA")), "recaudaciondeldia");
    informes = bar->addMenu(QStringLiteral("INFORMES"));
    informes->setObjectName(QStringLiteral("informes"));
    recaudacion = named(informes->addAction(QStringLiteral("RECAUDACIÓN")), "recaudacion");
    informes->addSeparator();
    stock = named(informes->addAction(QStringLiteral("STOCK DE PRODUCTOS")), "stock");
    informes->addSeparator();
    ventaparcial = named(informes->addAction(QStringLiteral("DETALLE VENTA PARCIAL")), "ventaparcial");
    soporte = named(bar->addAction(QStringLiteral("SOPORTE")), "soporte");
}

void Form1::ConfigureSaleList()
{
    ListView1->clear();
    ListView1->setColumnCount(int(std::size(kSaleListColumns)));
    QStringList titles;
    for (const ListColumn& column : kSaleListColumns)
        titles << QString::fromUtf8(column.title);
    ListView1->setHeaderLabels(titles);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(0);
    for (int i = 0; i < int(std::size(kSaleListColumns)); ++i) {
        ListView1->setColumnWidth(i, px(kSaleListColumns[i].twips));
        ListView1->headerItem()->setTextAlignment(i, kSaleListColumns[i].align | Qt::AlignVCenter);
    }
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFocusPolicy(Qt::NoFocus);
    ListView1->setFont(arial(18, true));
    ListView1->header()->setFont(arial(10, false));
    QPalette palette = ListView1->palette();
    palette.setColor(QPalette::Base, QColor(255, 255, 128));
    palette.setColor(QPalette::Text, Qt::black);
    ListView1->setPalette(palette);
}

void Form1::Form_Load()
{
    ConfigureSaleList();
    ScreenSize(Text1, Text2);
    CentreContainer(Picture1, Text1, Text2);
    try {
        actualizarTemporal(m_ctx.db);
        // Lines left in Temporal mean the last run ended without closing its day.
        if (const auto interrupted = firstTemporalStamp(m_ctx.db)) {
            if (m_ctx.messages.ask(kQuestionUnclosed, kConfirmTitle)) {
                Timer2->start();
            } else {
                Text3 = *interrupted;
                cierreDelDia();
            }
        }
    } catch (const DbError& e) {
        reportDbError(QStringLiteral("No se pudo preparar el inicio de ventas."), e);
    }
    Text7->clear();
    Text8->clear();
    Text8->setEnabled(false);
    Command2_Click();
}

void Form1::reportDbError(const QString& what, const DbError& error)
{
    m_ctx.messages.inform(what + QStringLiteral("\n\n") + error.message(), kAppTitle,
                          Messages::Icon::Critical);
}

Form5* Form1::paymentWindow() const
{
    return m_payment;
}

bool Form1::deductionMode() const
{
    return !Label18->isHidden();
}

bool Form1::Text7_KeyPress(int keyAscii)
{
    if (keyAscii == 13) {
        codeEntered();
        return true;
    }
    return !((keyAscii >= '0' && keyAscii <= '9') || keyAscii == 8);
}

void Form1::Text7_KeyDown(int key)
{
    if (!Check1->isChecked())
        return;
    if (key == Qt::Key_F1)
        Label18->hide();
    else if (key == Qt::Key_F2)
        Label18->show();
}

bool Form1::Text8_KeyPress(int keyAscii)
{
    if (keyAscii == 13) {
        quantityEntered();
        return true;
    }
    return !((keyAscii >= '0' && keyAscii <= '9') || keyAscii == 8 || keyAscii == ',' ||
             keyAscii == '.');
}

void Form1::codeEntered()
{
    if (Text7->text().isEmpty()) {
        m_ctx.messages.inform(QStringLiteral("Debe ingresar el código del producto"));
        return;
    }
    if (Check1->isChecked()) {
        // Manual quantity: the code is checked after the quantity, by the addition or deduction.
        enterQuantityState();
        return;
    }
    std::optional<Product> found;
    if (!lookUpProduct(found))
        return;
    if (!found) {
        m_ctx.messages.inform(QStringLiteral("El Código ingresado no existe"));
        Text7->clear();
        return;
    }
    Text7->setEnabled(false);
    Text8->setEnabled(true);
    Text8->setText(QStringLiteral("1"));
    addFoundProduct(*found);
}

bool Form1::lookUpProduct(std::optional<Product>& found)
{
    try {
        found = findProductByCode(m_ctx.db, Text7->text());
        return true;
    } catch (const DbError& e) {
        reportDbError(QStringLiteral("No se pudo buscar el producto."), e);
        return false;
    }
}

void Form1::enterQuantityState()
{
    Check1->setEnabled(false);
    Text8->clear();
    Text7->setEnabled(false);
    Text8->setEnabled(true);
    Text8->setFocus();
}

void Form1::quantityEntered()
{
    if (Text8->text().isEmpty()) {
        m_ctx.messages.inform(QStringLiteral("Debe ingresar la cantidad a vender"));
        return;
    }
    const auto q = readNumber(Text8->text());
    if (!q) {
        m_ctx.messages.inform(QStringLiteral("«") + Text8->text() +
                              QStringLiteral("» no es una cantidad válida. Escriba la cantidad con "
                                             "un solo separador decimal, por ejemplo 2 o 0") +
                              QLocale().decimalPoint() + QStringLiteral("5."));
        Text8->clear();
        Text8->setFocus();
        return;
    }
    if (*q == 0) {
        ResetEntry();
        return;
    }
    if (deductionMode())
        DeductFromSale();
    else
        AddProductToSale();
}

void Form1::AddProductToSale()
{
    std::optional<Product> found;
    if (!lookUpProduct(found))
        return;
    if (!found) {
        m_ctx.messages.inform(QStringLiteral("El código ingresado no existe"));
        ResetEntry();
        return;
    }
    addFoundProduct(*found);
}

void Form1::addFoundProduct(const Product& product)
{
    const QString quantityText = Text8->text();
    const double q = readNumber(quantityText).value_or(0.0);
    const bool wasEmpty = ListView2.isEmpty();
    Text13 = mergeDetailLine(ListView2, product, Text7->text(), q, quantityText);
    if (wasEmpty)
        AppendSaleLine();
    else
        rebuildSaleList();
    ResetEntry();
    Text14 = product.criticalStock;
    Text15 = product.stock;
    setWarning(isCriticalStock(product.stock, Text14, Text13), product.name);
    ComputeTotal();
    ShowTotal();
}

void Form1::setWarning(bool critical, const QString& name)
{
    colour(Text8, QPalette::Base, critical ? QColor(255, 0, 0) : QColor(255, 255, 255));
    Label17->setText(name);
    Label17->setVisible(critical);
}

void Form1::DeductFromSale()
{
    const double q = readNumber(Text8->text()).value_or(0.0);
    switch (deductFromSale(ListView2, Text7->text(), q)) {
    case DeductResult::EmptySale:
        m_ctx.messages.inform(QStringLiteral("No hay nada que descontar mientras la lista esté vacía"));
        Text8->clear();
        Text8->setFocus();
        return;
    case DeductResult::TooMuch:
        m_ctx.messages.inform(QStringLiteral("No puede descontar una cantidad mayor a la vendida"));
        Text8->clear();
        Text8->setFocus();
        return;
    case DeductResult::NotInList:
        m_ctx.messages.inform(QStringLiteral("El código ingresado no está en la lista"));
        break;
    case DeductResult::Deducted:
        break;
    }
    rebuildSaleList();
    ResetEntry();
    ComputeTotal();
    ShowTotal();
}

void Form1::rebuildSaleList()
{
    // The list ends up as if emptied and rebuilt from the detail lines; rows that already show
    // the right texts are kept, so that an entry into a long sale does not redraw every row.
    const int lines = int(ListView2.size());
    while (ListView1->topLevelItemCount() > lines)
        delete ListView1->takeTopLevelItem(ListView1->topLevelItemCount() - 1);
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView1->topLevelItem(i);
        const QStringList row = saleListRow(ListView2[i], i + 1);
        for (int c = 0; c < row.size(); ++c) {
            if (item->text(c) != row[c])
                item->setText(c, row[c]);
        }
    }
    while (ListView1->topLevelItemCount() < lines)
        AppendSaleLine();
}

void Form1::AppendSaleLine()
{
    const int n = ListView1->topLevelItemCount();
    if (n >= ListView2.size())
        return;
    auto* item = new QTreeWidgetItem(saleListRow(ListView2[n], n + 1));
    for (int i = 0; i < int(std::size(kSaleListColumns)); ++i)
        item->setTextAlignment(i, kSaleListColumns[i].align | Qt::AlignVCenter);
    ListView1->addTopLevelItem(item);
}

void Form1::ComputeTotal()
{
    Label8->setText(plainNumber(computeTotal(ListView2)));
}

void Form1::ShowTotal()
{
    Text9 = Label8->text();
    Label8->setText(totalCaption(Text9));
}

void Form1::ClearSale()
{
    ListView1->clear();
    ListView2.clear();
    Text7->clear();
    Text8->clear();
    Text7->setEnabled(true);
    Text8->setText(QStringLiteral("1"));
    Text8->setEnabled(false);
    Check1->setEnabled(true);
    Label8->setText(QStringLiteral("0"));
    Label8->setText(formatPicture(0, QStringLiteral("$ ###,###,###")));
    colour(Text8, QPalette::Base, QColor(255, 255, 255));
    Label17->hide();
    Label18->hide();
}

void Form1::ResetEntry()
{
    Text7->clear();
    Text7->setEnabled(true);
    Text7->setFocus();
    Text8->setText(QStringLiteral("1"));
    Text8->setEnabled(false);
    Check1->setEnabled(true);
}

void Form1::Command2_Click()
{
    ClearSale();
    Text7->setFocus();
}

void Form1::Command3_Click()
{
    // The product search window comes with the catalogue work; until then the button does nothing.
}

void Form1::Check1_Click()
{
    if (Text7->isEnabled())
        Text7->setFocus();
    Label18->hide();
}

void Form1::Command1_Click()
{
    if (ListView1->topLevelItemCount() == 0) {
        m_ctx.messages.inform(QStringLiteral("La lista de productos a vender está vacía"));
        return;
    }
    setEnabled(false);
    auto* payment = new Form5(*this, m_ctx);
    m_payment = payment;
    payment->show();
    // Kept above the sales window by the window manager, without being its child: a child
    // window would be disabled together with the sales window.
    if (payment->windowHandle() && windowHandle())
        payment->windowHandle()->setTransientParent(windowHandle());
    payment->activateWindow();
    Frame2->setEnabled(false);
}

bool Form1::guardar()
{
    try {
        Text3 = recordSale(m_ctx.db, m_ctx.clock, {ListView2, Text3, Text4, Text9, Text10});
    } catch (const DbError& e) {
        reportDbError(QStringLiteral("No se pudo registrar la venta. No se guardó nada de ella: sigue "
                                     "en pantalla para cobrarla de nuevo."),
                      e);
        return false;
    }
    Command2_Click();
    return true;
}

void Form1::Command4_Click()
{
    try {
        if (auto stamp = firstTemporalStamp(m_ctx.db))
            Text3 = *stamp;
    } catch (const DbError& e) {
        reportDbError(QStringLiteral("No se pudo leer el inicio de ventas."), e);
    }
}

void Form1::Timer2_Timer()
{
    Command4_Click();
}

bool Form1::cierreDelDia()
{
    try {
        tarvino::cierreDelDia(m_ctx.db, m_ctx.clock, Text3);
        return true;
    } catch (const DbError& e) {
        reportDbError(QStringLiteral("No se pudo cerrar el día de ventas. El día sigue abierto con "
                                     "todas sus ventas y se ofrecerá cerrarlo en el próximo inicio."),
                      e);
        return false;
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A payment window left open would go on to settle the sale thrown away below.
    if (m_payment)
        m_payment->close();
    Frame2->setEnabled(true);
    Command2_Click();
    if (!m_ctx.messages.ask(kQuestionExit, kConfirmTitle)) {
        event->ignore();
        Text7->setFocus();
        return;
    }
    cierreDelDia();
    event->accept();
}

} // namespace tarvino
