// The stock window: lists the products by name, code or category, or those at critical stock,
// totals the investment of the listed rows and exports them to a spreadsheet.
#include "catalogue/stock_window.h"

#include "app/placement.h"
#include "kit/window_kit.h"
#include "catalogue/products.h"
#include "kit/key_filter.h"
#include "common/services.h"
#include "data/database.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <limits>

namespace tarvino {

namespace {

const ListColumn kStockColumns[] = {
    {"Item", 800, Qt::AlignLeft},
    {"Código", 1600, Qt::AlignLeft, Fits::Code},
    {"Nombre", 4500, Qt::AlignLeft, Fits::Name},
    {"Cantidad", 1500, Qt::AlignRight},
    {"Precio Costo", 1800, Qt::AlignRight},
    {"Precio Venta", 1800, Qt::AlignRight},
    {"Categoría", 3000, Qt::AlignLeft},
    {"Costo Total", 1600, Qt::AlignRight},
    {"Venta Total", 1600, Qt::AlignRight},
};

const QColor kCriticalRed(0xFF, 0x00, 0x00);
const QColor kButtonGrey(0xC0, 0xC0, 0xC0);
const QColor kLightRed(0xFF, 0x80, 0x80);

// The export's progress on ProgressBar1. The window is repainted now and then while the rows are
// written, but what the user does meanwhile waits until the export is over.
class BarProgress final : public ExportProgress {
public:
    explicit BarProgress(QProgressBar* bar) : m_bar(bar) { m_sinceRepaint.start(); }

    void setMaximum(qsizetype rows) override
    {
        if (m_bar)
            m_bar->setMaximum(int(std::min<qsizetype>(rows, std::numeric_limits<int>::max())));
        repaint();
    }

    void setValue(qsizetype rows) override
    {
        if (m_bar)
            m_bar->setValue(int(std::min<qsizetype>(rows, m_bar->maximum())));
        if (rows == 0 || m_sinceRepaint.hasExpired(kRepaintMs))
            repaint();
    }

private:
    static constexpr int kRepaintMs = 40;

    void repaint()
    {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_sinceRepaint.restart();
    }

    QPointer<QProgressBar> m_bar;
    QElapsedTimer m_sinceRepaint;
};

} // namespace

Form9::Form9(Context& context, QWidget* parent)
    : QMainWindow(parent), m_ctx(context)
{
    buildControls();
}

Form9* Form9::open(QWidget* caller, Context& context)
{
    Form9* stock = openMaximised<Form9>(caller, context);
    if (stock->Text1->isEnabled())
        stock->Text1->setFocus();
    return stock;
}

void Form9::buildControls()
{
    Picture1 = maximisedWindow(this, "Form9", arial(11.25, true));
    Label1 = banner(Picture1, "Label1", QStringLiteral("STOCK COMPLETO"), 15135, 495,
                    arialNarrow(20.25, true));

    ListView1 = place(new QTreeView(Picture1), "ListView1", 60, 480, 15015, 6495);
    m_model = attachModel<StockList>(
        ListView1, kStockColumns, [](const StockList& rows) { return rows.size(); },
        [](const StockList& rows, qsizetype row, int column) { return rows.text(row, column); }, this);
    SetUpStockList();

    ProgressBar1 = place(new QProgressBar(Picture1), "ProgressBar1", 60, 6975, 15015, 210);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    stretchAcrossWindow(Label1);
    stretchAcrossWindow(ListView1);
    stretchAcrossWindow(ProgressBar1);

    // The ruled box with the searches on the left and the total and the buttons on the right.
    Shape1 = place(new QFrame(Picture1), "Shape1", 60, 7320, 15015, 2760);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);

    Option3 = place(new QRadioButton(QStringLiteral("Stock completo por Categoría"), Picture1), "Option3", 360,
                    7560, 4080, 420);
    Combo1 = place(new QComboBox(Picture1), "Combo1", 4560, 7560, 4200, 420);
    Option1 = place(new QRadioButton(QStringLiteral("Nombre del Producto"), Picture1), "Option1", 360, 8280, 4080, 420);
    Text1 = place(new QLineEdit(Picture1), "Text1", 4560, 8280, 4200, 420);
    Text1->setMaxLength(40);
    Option2 = place(new QRadioButton(QStringLiteral("Código del Producto"), Picture1), "Option2", 360, 9000,
                    4080, 420);
    Text2 = place(new QLineEdit(Picture1), "Text2", 4560, 9000, 2400, 420);
    Text2->setMaxLength(15);
    Text2->setAlignment(Qt::AlignCenter);
    Text2->setEnabled(false);

    Label2 = place(new QLabel(Picture1), "Label2", 8880, 7500, 6000, 480);
    Label2->setFont(arial(14.25, true));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Command2 = place(new QPushButton(QStringLiteral("BUSCAR"), Picture1), "Command2", 9240, 8400, 1680, 1200);
    setButtonColours(Command2, kButtonGrey);
    Command1 = place(new QPushButton(QStringLiteral("Exportar"), Picture1), "Command1", 11220, 8400, 1680, 1200);
    Command1->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    setButtonColours(Command1, kButtonGrey);
    Command1->setEnabled(false);
    Command3 = place(new QPushButton(QStringLiteral("Stock Crítico"), Picture1), "Command3", 13200, 8400, 1680, 1200);
    setButtonColours(Command3, kLightRed);
    for (QPushButton* button : {Command2, Command1, Command3})
        keyboardButton(button);

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    connect(Option3, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option3_Click();
    });
    connect(Command2, &QPushButton::clicked, this, &Form9::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form9::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form9::Command3_Click);
    connect(Combo1, &QComboBox::activated, this, [this] { RunStockSearch(); });

    // Any character goes into the name; Enter searches and never reaches the box.
    KeyHandler* nameKeys = KeyHandler::install(Text1);
    nameKeys->keyPress = [this](int keyAscii) {
        if (keyAscii != 13)
            return false;
        RunStockSearch();
        return true;
    };
    installKeys(Text2, KeyClass::Code, [this] { RunStockSearch(); });

    setTabOrder(Option3, Combo1);
    setTabOrder(Combo1, Option1);
    setTabOrder(Option1, Text1);
    setTabOrder(Text1, Option2);
    setTabOrder(Option2, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Command3);
}

void Form9::SetUpStockList()
{
    setUpReportList(ListView1, kStockColumns, arial(12, true), arial(12, true));
}

void Form9::setListLook(StockList::Look look)
{
    if (look == StockList::Look::Critical)
        listColours(ListView1, QApplication::palette().color(QPalette::Base), kCriticalRed);
    else
        listColours(ListView1);
}

void Form9::showRows(StockList rows)
{
    m_model->setRows(std::move(rows));
    // Each listing starts at its first column, where the codes and names are.
    ListView1->horizontalScrollBar()->setValue(0);
}

const StockList& Form9::stockRows() const
{
    return m_model->rows();
}

void Form9::Form_Load()
{
    bool empty = false;
    const bool read = guarded(m_ctx.messages, QStringLiteral("No se pudo leer la lista de productos."),
                              [&] { empty = catalogueIsEmpty(m_ctx.db); });
    ScreenSize(screenWidth, screenHeight);
    CentreContainer(Picture1, screenWidth, screenHeight);
    Label2->clear();
    if (!read || empty) {
        for (QWidget* control : std::initializer_list<QWidget*>{Option1, Option2, Option3, Text1, Text2,
                                                                 Command2, Command3, Combo1})
            control->setEnabled(false);
        return;
    }
    Option1->setChecked(true);
}

void Form9::Option1_Click()
{
    Text1->clear();
    Text2->clear();
    Label2->clear();
    Combo1->clear();
    showRows(StockList());
    Command1->setEnabled(false);
    Combo1->setEnabled(false);
    Text2->setEnabled(false);
    Text1->setEnabled(true);
    Text1->setFocus();
}

void Form9::Option2_Click()
{
    Text1->clear();
    Label2->clear();
    Text1->setEnabled(false);
    Text2->setEnabled(true);
    Combo1->setEnabled(false);
    Text2->setFocus();
}

void Form9::Option3_Click()
{
    Text1->clear();
    Text2->clear();
    Label2->clear();
    Command1->setEnabled(false);
    showRows(StockList());
    Text1->setEnabled(false);
    Text2->setEnabled(false);
    Combo1->setEnabled(true);
    QStringList categories;
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer las categorías."),
            [&] { categories = productCategories(m_ctx.db); });
    Combo1->clear();
    Combo1->addItems(categories);
    Combo1->setCurrentIndex(-1);
}

void Form9::Command2_Click()
{
    RunStockSearch();
}

void Form9::Command5_Click()
{
    SearchStockByName();
}

void Form9::RunStockSearch()
{
    if (Option1->isChecked()) {
        showRows(StockList());
        if (Text1->text().isEmpty())
            m_ctx.messages.inform(stockMessages::kNombreVacio);
        else
            SearchStockByName();
    } else if (Option2->isChecked()) {
        SearchStockByCode();
    } else {
        SearchStockByCategory();
    }
    ShowInvestmentTotal();
}

void Form9::SearchStockByName()
{
    setListLook(StockList::Look::Plain);
    StockList rows;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo buscar el producto."),
                 [&] { rows = stockByName(m_ctx.db, Text1->text()); })) {
        showRows(StockList());
        Command1->setEnabled(false);
        return;
    }
    showRows(std::move(rows));
    if (!stockRows().isEmpty()) {
        Command1->setEnabled(true);
        return;
    }
    m_ctx.messages.inform(stockMessages::kNoEncontrado);
    Text1->setFocus();
    Text1->clear();
    Command1->setEnabled(false);
}

void Form9::SearchStockByCode()
{
    showRows(StockList());
    setListLook(StockList::Look::Plain);
    if (Text2->text().isEmpty()) {
        m_ctx.messages.inform(stockMessages::kCodigoVacio);
        Command1->setEnabled(false);
        Text2->setFocus();
        return;
    }
    StockList rows;
    const bool read = guarded(m_ctx.messages, QStringLiteral("No se pudo buscar el producto."),
                              [&] { rows = stockByCode(m_ctx.db, Text2->text()); });
    Text2->clear();
    showRows(std::move(rows));
    if (!stockRows().isEmpty()) {
        Command1->setEnabled(true);
    } else {
        if (read)
            m_ctx.messages.inform(stockMessages::kNoEncontrado);
        Text2->setFocus();
        Text2->clear();
        Command1->setEnabled(false);
    }
    Text2->setFocus();
}

void Form9::SearchStockByCategory()
{
    showRows(StockList());
    setListLook(StockList::Look::Plain);
    StockList rows;
    const bool chosen = Combo1->currentIndex() >= 0;
    bool empty = false;
    const bool read = guarded(m_ctx.messages, QStringLiteral("No se pudo buscar la categoría."), [&] {
        // The choice is asked for only where there is a product to compare it with.
        if (!chosen)
            empty = catalogueIsEmpty(m_ctx.db);
        else
            rows = stockByCategory(m_ctx.db, Combo1->currentText());
    });
    if (!read) {
        Command1->setEnabled(false);
        return;
    }
    if (!chosen && !empty) {
        m_ctx.messages.inform(stockMessages::kCategoriaVacia);
        Command1->setEnabled(false);
        Combo1->setFocus();
        return;
    }
    showRows(std::move(rows));
    if (!stockRows().isEmpty()) {
        Command1->setEnabled(true);
        return;
    }
    m_ctx.messages.inform(stockMessages::kCategoriaSinProductos);
    Combo1->setFocus();
    Command1->setEnabled(false);
}

void Form9::Command3_Click()
{
    ListCriticalStock();
}

void Form9::ListCriticalStock()
{
    showRows(StockList());
    Text1->clear();
    Text2->clear();
    Label2->clear();
    Combo1->clear();
    StockList rows;
    const bool read = guarded(m_ctx.messages, QStringLiteral("No se pudo leer el stock crítico."),
                              [&] { rows = criticalStock(m_ctx.db); });
    if (!rows.isEmpty())
        setListLook(StockList::Look::Critical);
    showRows(std::move(rows));
    if (!stockRows().isEmpty()) {
        Command1->setEnabled(true);
    } else {
        if (read)
            m_ctx.messages.inform(stockMessages::kSinCriticos);
        Command1->setEnabled(false);
    }
    // An exclusive option cannot be cleared by itself; the others keep their state.
    if (Option3->isChecked()) {
        Option3->setAutoExclusive(false);
        Option3->setChecked(false);
        Option3->setAutoExclusive(true);
    }
}

void Form9::ShowInvestmentTotal()
{
    Label2->setText(investmentCaption(stockRows().investmentTotal()));
}

void Form9::Command1_Click()
{
    if (stockRows().isEmpty()) {
        m_ctx.messages.inform(stockMessages::kNadaQueExportar);
        return;
    }
    // The export repaints the window as it goes; it holds the rows it writes (they are never
    // changed, only replaced) and nothing else of the window, which may be closed meanwhile.
    const std::shared_ptr<const StockList> rows = m_model->sharedRows();
    Context& context = m_ctx;
    BarProgress progress(ProgressBar1);
    Exportar_Excel(context.spreadsheet, context.messages, *rows, &progress);
}

} // namespace tarvino
