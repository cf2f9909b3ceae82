// The sales window: rings up a sale by product code, totals it, settles it and owns the sales day.
#include "sales/sales_window.h"

#include "app/login_window.h"
#include "app/placement.h"
#include "app/support_window.h"
#include "cash/cash_entry.h"
#include "cash/cash_report.h"
#include "cash/movement_window.h"
#include "cash/opening_cash_window.h"
#include "cash/count_window.h"
#include "cash/report_window.h"
#include "catalogue/editor_window.h"
#include "catalogue/stock_window.h"
#include "sales/search_window.h"
#include "kit/window_kit.h"
#include "kit/key_filter.h"
#include "common/numbers.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/payment_window.h"
#include "sales/quantity_entry.h"
#include "catalogue/products.h"
#include "sales/recording.h"
#include "sales/sales_day.h"
#include "reports/cash_counts_window.h"
#include "reports/day_takings_window.h"
#include "reports/sales_detail_window.h"
#include "reports/history_window.h"
#include "users/users.h"
#include "users/users_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace tarvino {

namespace {

// The total's size when it fits its frame.
constexpr double kTotalPoints = 54;

// As many characters as the editor's stock box takes.
constexpr int kQuantityLength = 8;

const ListColumn kSaleListColumns[] = {
    {"_", 0, Qt::AlignLeft},
    {"Código", 1900, Qt::AlignLeft, Fits::Code},
    {"Nombre", 6700, Qt::AlignLeft, Fits::Name},
    {"Cantidad", 1500, Qt::AlignRight},
    {"Valor Unitario", 2200, Qt::AlignHCenter},
    {"Valor Total", 2200, Qt::AlignHCenter},
    {"1/0", 0, Qt::AlignHCenter},
    {"Categoría", 0, Qt::AlignHCenter},
};

const QString kQuestionExit =
    QStringLiteral("¿Salir del sistema asumiendo el término de las ventas del día?");

} // namespace

Form1::Form1(Context& context, QWidget* parent) : QMainWindow(parent), m_ctx(context), m_day(context.db, context.clock)
{
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
    Picture1 = maximisedWindow(this, "Form1", arial(10), PanelFace::Plain);
    Label13 = banner(Picture1, "Label13", QStringLiteral("LISTA DE PRODUCTOS A VENDER"), 15135, 480, arial(14, true));

    ListView1 = place(new QTreeWidget(Picture1), "ListView1", 0, 480, 15135, 5700);
    setCaption(Label13, ListView1); // the list's name for screen readers
    // Every key the window answers to, where the cashier sees it: F1 and F2 especially, which
    // nothing else on screen shows.
    Label19 = place(new QLabel(QStringLiteral(
                        "Enter: agregar el código o la cantidad    "
                        "F2: descontar unidades (con Cantidad Manual)    F1: volver a agregar    "
                        "Tab: siguiente casilla o botón    Enter o Espacio: pulsar el botón marcado"),
                               Picture1),
                    "Label19", 0, 6210, 15135, 330);
    Label19->setFont(arial(9, true));
    Label19->setAlignment(Qt::AlignCenter);
    setBackColour(Label19, QColor(224, 224, 224));
    stretchAcrossWindow(Label13);
    stretchAcrossWindow(ListView1);
    stretchAcrossWindow(Label19);

    Label17 = place(new QLabel(Picture1), "Label17", 120, 6600, 7200, 450);
    Label17->setFont(arial(14, true));
    setTextColour(Label17, QColor(255, 0, 0));
    Label17->hide();

    Check1 = place(new QCheckBox(QStringLiteral("Cantidad Manual"), Picture1), "Check1", 7800, 6600, 3300, 450);
    Check1->setFont(arial(12, true));
    keyboardButton(Check1);
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);

    Frame2 = place(new QFrame(Picture1), "Frame2", 0, 7170, 7500, 3000);
    Frame2->setFrameShape(QFrame::StyledPanel);

    Label18 = place(new QLabel(QStringLiteral("DESCONTAR PRODUCTO"), Frame2), "Label18", 150, 90, 3750, 390);
    Label18->setFont(arial(12, true));
    Label18->setAlignment(Qt::AlignCenter);
    setBackColour(Label18, QColor(255, 255, 0));
    Label18->hide();

    Label5 = place(new QLabel(QStringLiteral("Código Producto"), Frame2), "Label5", 150, 630, 2100, 390);
    Label5->setFont(arial(11, true));
    Text7 = captioned(Label5, place(new QLineEdit(Frame2), "Text7", 2250, 570, 3000, 480));
    Text7->setFont(arial(14));
    Command3 = place(new QPushButton(Frame2), "Command3", 5310, 570, 480, 480);
    Command3->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    Command3->setAccessibleName(QStringLiteral("Buscar producto por nombre"));
    Command3->setToolTip(Command3->accessibleName());
    keyboardButton(Command3);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    Label6 = place(new QLabel(QStringLiteral("Cantidad"), Frame2), "Label6", 150, 1290, 2100, 390);
    Label6->setFont(arial(11, true));
    Text8 = captioned(Label6, place(new QLineEdit(QStringLiteral("1"), Frame2), "Text8", 2250, 1230, 3000, 480));
    Text8->setFont(arial(14));
    Text8->setEnabled(false);
    Text8->setMaxLength(kQuantityLength);

    Command1 = place(new QPushButton(QStringLiteral("PAGAR"), Frame2), "Command1", 5970, 570, 1380, 1140);
    Command1->setFont(arial(12, true));
    setButtonColours(Command1, QColor(0, 192, 0), Qt::white);
    keyboardButton(Command1);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    Command2 = place(new QPushButton(QStringLiteral("CANCELAR"), Frame2), "Command2", 150, 2100, 2100, 720);
    Command2->setFont(arial(12, true));
    setButtonColours(Command2, QColor(255, 0, 0), Qt::white);
    keyboardButton(Command2);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    FrameTotal = place(new QFrame(Picture1), "FrameTotal", 7635, 7170, 7500, 3000);
    FrameTotal->setFrameShape(QFrame::StyledPanel);
    Label7 = place(new QLabel(QStringLiteral("TOTAL"), FrameTotal), "Label7", 210, 120, 3000, 510);
    Label7->setFont(arial(18, true));
    Label8 = place(new QLabel(FrameTotal), "Label8", 210, 690, 7080, 2100);
    Label8->setFont(arial(kTotalPoints, true));
    Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(Label8, QColor(0, 0, 255));

    // The keyboard walks the entry frame in reading order, then the switch below the list.
    setTabOrder(Text7, Command3);
    setTabOrder(Command3, Text8);
    setTabOrder(Text8, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Check1);

    // Back from any window it opened, the cursor is in the code box, or in the quantity box while a
    // code waits for its quantity: the next scan lands there, never on a button.
    setEntryBox(this, [this]() -> QWidget* { return Text7->isEnabled() ? Text7 : Text8; });

    KeyHandler* text7Keys = installKeys(Text7, KeyClass::Code, [this] { codeEntered(); });
    text7Keys->keyDown = [this](int key) { Text7_KeyDown(key); };
    installKeys(Text8, KeyClass::Decimal, [this] { quantityEntered(); });
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
    informes->addSeparator();
    arqueos = named(informes->addAction(QStringLiteral("ARQUEOS DE CAJA")), "arqueos");
    soporte = named(bar->addAction(QStringLiteral("SOPORTE")), "soporte");
    // The drawer's money, after the menus a cashier's keyboard already knows its way through.
    caja = bar->addMenu(QStringLiteral("CAJA"));
    caja->setObjectName(QStringLiteral("caja"));
    fondoCaja = named(caja->addAction(QStringLiteral("FONDO DE CAJA")), "fondoCaja");
    ingresoDinero = named(caja->addAction(QStringLiteral("INGRESO DE DINERO")), "ingresoDinero");
    retiroDinero = named(caja->addAction(QStringLiteral("RETIRO DE DINERO")), "retiroDinero");
    informeX = named(caja->addAction(QStringLiteral("INFORME X")), "informeX");
    cambiarCajero = named(caja->addAction(QStringLiteral("CAMBIAR CAJERO")), "cambiarCajero");
    caja->addSeparator();
    arqueoCierre = named(caja->addAction(QStringLiteral("ARQUEO Y CIERRE DE CAJA")), "arqueoCierre");
    connect(edicionProductos, &QAction::triggered, this, [this] { Form2::open(this, m_ctx); });
    connect(stock, &QAction::triggered, this, [this] { Form9::open(this, m_ctx); });
    connect(usuarios, &QAction::triggered, this, [this] { Form8::open(this, m_ctx, m_day.user()); });
    connect(recaudacion, &QAction::triggered, this, [this] { Form7::open(this, m_ctx); });
    connect(arqueos, &QAction::triggered, this, [this] { Form18::open(this, m_ctx); });
    connect(recaudaciondeldia, &QAction::triggered, this, [this] { Form6::open(*this, m_ctx); });
    connect(ventaparcial, &QAction::triggered, this, [this] { Form12::open(this, m_ctx); });
    connect(soporte, &QAction::triggered, this, [this] { Form13::open(this, m_ctx, QStringLiteral("0")); });
    connect(fondoCaja, &QAction::triggered, this, &Form1::askOpeningCash);
    connect(ingresoDinero, &QAction::triggered, this,
            [this] { Form15::open(*this, m_ctx, CashMovement::Kind::In); });
    connect(retiroDinero, &QAction::triggered, this,
            [this] { Form15::open(*this, m_ctx, CashMovement::Kind::Out); });
    connect(cambiarCajero, &QAction::triggered, this, &Form1::cambiarCajero_Click);
    connect(informeX, &QAction::triggered, this, [this] { Form17::openX(*this, m_ctx); });
    connect(arqueoCierre, &QAction::triggered, this, [this] { Form16::open(*this, m_ctx); });
}

void Form1::applyRights(const UserRights& rights)
{
    m_rights = rights;
    const MenuAccess access = menuAccess(rights);
    // The menu's own entry as well as its item: a greyed PRODUCTOS does not even open.
    productos->menuAction()->setEnabled(access.productos);
    edicionProductos->setEnabled(access.productos);
    usuarios->setEnabled(access.usuarios);
    recaudacion->setEnabled(access.recaudacion);
    arqueos->setEnabled(access.recaudacion);
    stock->setEnabled(access.stock);
}

void Form1::ConfigureSaleList()
{
    configureList(ListView1, kSaleListColumns);
    ListView1->setFocusPolicy(Qt::NoFocus);
    // The column titles in the list's own font, so that they stand over their figures.
    ListView1->setFont(arial(18, true));
    ListView1->header()->setFont(arial(18, true));
    listColours(ListView1);
}

bool Form1::Form_Load()
{
    ConfigureSaleList();
    ScreenSize(Text1, Text2);
    CentreContainer(Picture1, Text1, Text2);
    switch (m_day.load(m_ctx.messages)) {
    case SalesDay::Start::Refused:
        return false;
    case SalesDay::Start::Resume:
        // The login writes its own time first; the timer puts the resumed day's stamp back.
        Timer2->start();
        break;
    case SalesDay::Start::NewDay:
        break;
    }
    Text7->clear();
    Text8->clear();
    Text8->setEnabled(false);
    Command2_Click();
    return true;
}

void Form1::askOpeningCash()
{
    Form14::open(*this, m_ctx);
}

void Form1::cambiarCajero_Click()
{
    // A sale on screen belongs to the cashier who rang it up; handing it over would put it under
    // another name.
    if (ListView1->topLevelItemCount() > 0) {
        m_ctx.messages.inform(QStringLiteral("Termine o cancele la venta antes de cambiar de cajero."));
        Text7->setFocus();
        return;
    }
    const QString leaving = m_day.user();
    bool offer = false;
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer la configuración de boletas del usuario."),
            [&] { offer = printsReceipts(m_ctx.db, leaving); });
    if (offer && m_ctx.messages.ask(QStringLiteral("¿Imprimir el informe X de %1?").arg(leaving), kConfirmTitle)) {
        try {
            const CashSummary share = summarise(m_ctx.db, {m_day.openingStamp(), leaving, m_day.userSince()});
            printReport(m_ctx.db, m_ctx.printer, leaving, xReportLines(share, m_ctx.db.till(), m_ctx.clock.now()));
        } catch (const PrinterError& e) {
            m_ctx.messages.inform(QStringLiteral("No se pudo imprimir el informe X: ") + e.message(), kAppTitle,
                                  Messages::Icon::Exclamation);
        } catch (const DbError& e) {
            reportDbError(m_ctx.messages, QStringLiteral("No se pudo imprimir el informe X."), e);
        }
    }
    auto* login = new Form4(m_ctx, *this);
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    login->activateWindow();
    hide();
}

Form5* Form1::paymentWindow() const
{
    return m_payment;
}

bool Form1::deductionMode() const
{
    return !Label18->isHidden();
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
    return guarded(m_ctx.messages, QStringLiteral("No se pudo buscar el producto."),
                   [&] { found = findProductByCode(m_ctx.db, Text7->text()); });
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
    const QuantityAnswer read = QuantityEntry::read(Text8->text());
    if (!goesOn(read))
        return;
    if (deductionMode())
        DeductFromSale(read.quantity);
    else
        AddProductToSale(read.quantity);
}

bool Form1::goesOn(const QuantityAnswer& answer)
{
    switch (answer.kind) {
    case QuantityAnswer::Kind::Tell:
        m_ctx.messages.inform(answer.text);
        return false;
    case QuantityAnswer::Kind::Refuse:
        refuse(m_ctx.messages, Text8, answer.text);
        return false;
    case QuantityAnswer::Kind::Ask:
        if (m_ctx.messages.ask(answer.text, kConfirmTitle))
            return true;
        // The code stays: the cashier types the quantity meant for it.
        Text8->clear();
        Text8->setFocus();
        return false;
    case QuantityAnswer::Kind::Drop:
        if (!answer.text.isEmpty())
            m_ctx.messages.inform(answer.text);
        ResetEntry();
        return false;
    case QuantityAnswer::Kind::GoOn:
        if (!answer.text.isEmpty())
            m_ctx.messages.inform(answer.text);
        return true;
    }
    return false;
}

void Form1::AddProductToSale(double quantity)
{
    std::optional<Product> found;
    if (!lookUpProduct(found))
        return;
    if (!goesOn(QuantityEntry::add(found, quantity)))
        return;
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
    setBackColour(Text8, critical ? QColor(255, 0, 0) : QColor(255, 255, 255));
    Label17->setText(name);
    Label17->setVisible(critical);
}

void Form1::DeductFromSale(double quantity)
{
    if (!goesOn(QuantityEntry::deduct(ListView2, Text7->text(), quantity)))
        return;
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
        item->setTextAlignment(i, kSaleListColumns[size_t(i)].align | Qt::AlignVCenter);
    ListView1->addTopLevelItem(item);
}

void Form1::setTotalCaption(const QString& caption)
{
    // A long total shrinks to fit its frame rather than losing its first digits.
    QFont font = Label8->font();
    font.setPointSizeF(kTotalPoints);
    while (font.pointSizeF() > 12 &&
           QFontMetrics(font).horizontalAdvance(caption) > Label8->contentsRect().width())
        font.setPointSizeF(font.pointSizeF() - 2);
    Label8->setFont(font);
    Label8->setText(caption);
}

void Form1::ComputeTotal()
{
    setTotalCaption(plainNumber(computeTotal(ListView2)));
}

void Form1::ShowTotal()
{
    Text9 = Label8->text();
    setTotalCaption(totalCaption(Text9));
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
    setTotalCaption(QStringLiteral("0"));
    setTotalCaption(formatPicture(0, QStringLiteral("$ ###,###,###")));
    setBackColour(Text8, QColor(255, 255, 255));
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
    openSearch();
}

ProductSearch* Form1::openSearch()
{
    const QPointer<Form1> sales(this);
    // The chosen product arrives in the code box, ready for a quantity.
    const auto handOver = [sales](const QString& code) {
        if (!sales)
            return;
        sales->Text7->setText(code);
        sales->Text7->setEnabled(false);
        sales->Text8->setEnabled(true);
        sales->Text8->clear();
        sales->setEnabled(true);
        sales->Text8->setFocus();
        // Ticking it from unticked runs Check1_Click, which ends deduction mode; already ticked,
        // nothing runs and a deduction under way goes on.
        sales->Check1->setChecked(true);
        sales->Check1->setEnabled(false);
    };
    // Closed without a choice, the kit enables this window again with the cursor in its entry box.
    return ProductSearch::open(this, m_ctx, "Form11", handOver);
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
    auto* payment = new Form5(*this, m_ctx);
    m_payment = payment;
    openFixed(this, payment, CallerState::Disabled, CentreOn::Caller, [this] { Frame2->setEnabled(true); });
    Frame2->setEnabled(false);
}

bool Form1::guardar()
{
    // The recording itself finds out what a failed commit left in the file, so each message below
    // says what the file holds: a sale is cleared only once it is stored, and one kept on screen
    // to be charged again is not in the file.
    RecordedSale recorded;
    try {
        recorded = m_day.record(ListView2, Text9, Text10, splitCashPart);
    } catch (const SaleOutcomeUnknown& e) {
        m_ctx.messages.inform(outcomeUnknownText(e), kAppTitle, Messages::Icon::Critical);
        return false;
    } catch (const DbError& e) {
        reportDbError(m_ctx.messages,
                      QStringLiteral("No se pudo registrar la venta. No se guardó nada de ella: sigue "
                                     "en pantalla para cobrarla de nuevo."),
                      e);
        return false;
    }
    Command2_Click();
    if (!recorded.commitFailure.isEmpty())
        m_ctx.messages.inform(storedDespiteFailureText(recorded), kAppTitle,
                              Messages::Icon::Exclamation);
    return true;
}

void Form1::Command4_Click()
{
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer el inicio de ventas."), [this] { m_day.reload(); });
}

void Form1::Timer2_Timer()
{
    Command4_Click();
}

bool Form1::cierreDelDia()
{
    return guarded(m_ctx.messages, kClosingFailed, [this] { m_day.close(); });
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
    try {
        m_day.close();
    } catch (const DbError& e) {
        // Nothing of the closing was stored: the cashier may stay, mend the cause and leave again.
        if (m_ctx.messages.ask(exitAfterFailedClosingQuestion(e.message()), kConfirmTitle)) {
            event->accept();
        } else {
            event->ignore();
            Text7->setFocus();
        }
        return;
    }
    // The window goes at once; the copy of the file follows, and a failure of it never keeps the
    // day open.
    hide();
    if (const QString problem = m_day.backUp(); !problem.isEmpty())
        m_ctx.messages.inform(problem, kAppTitle, Messages::Icon::Exclamation);
    event->accept();
}

} // namespace tarvino
