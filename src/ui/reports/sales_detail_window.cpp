// The sales detail of the day: every sale of the open sales day, latest first, and the lines of the
// sale the cashier picks. It only reads.
#include "reports/sales_detail_window.h"

#include "kit/window_kit.h"
#include "common/services.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

namespace tarvino {

namespace {

// Wider than the lists' own widths add up to by 600 twips, so that the lines of a sale show a whole
// 40-character name beside their figures; the total and the payment kind stay at its right edge.
constexpr int kWider = 600;
constexpr int kPanelWidth = 14535 + kWider;
constexpr int kPanelHeight = 6975;
constexpr int kPanelMargin = 120;

const ListColumn kSalesColumns[] = {
    {"Fecha / Hora", 2600, Qt::AlignLeft},
    {"$", 500, Qt::AlignLeft},
};

const ListColumn kLineColumns[] = {
    {"Item", 0, Qt::AlignLeft},
    {"Código", 0, Qt::AlignLeft, Fits::Code},
    {"Nombre", 5000, Qt::AlignLeft, Fits::Name},
    {"Cantidad", 1400, Qt::AlignRight},
    {"Valor Unitario", 2000, Qt::AlignRight},
    {"Total Venta", 1800, Qt::AlignRight},
};

QLabel* yellowLabel(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* label = place(new QLabel(parent), name, left, top, width, height);
    label->setFont(arial(12, true));
    setBackColour(label, QColor(255, 255, 0));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

Form12::Form12(Context& context) : QWidget(nullptr), m_ctx(context)
{
    fixedWindow(this, "Form12", QSize(px(kPanelWidth + 2 * kPanelMargin), px(kPanelHeight + 2 * kPanelMargin)));
    setFont(arial(10));

    Picture1 = place(new QWidget(this), "Picture1", kPanelMargin, kPanelMargin, kPanelWidth, kPanelHeight);

    Label3 = banner(Picture1, "Label3", QStringLiteral("DETALLE DE VENTA PARCIAL DEL DÍA"), kPanelWidth, 495,
                    arial(18, true));

    ListView2 = place(new QTreeView(Picture1), "ListView2", 120, 720, 3495, 6135);
    m_salesModel = attachModel<DaySales>(
        ListView2, kSalesColumns, [](const DaySales& sales) { return sales.size(); },
        [](const DaySales& sales, qsizetype row, int column) {
            return column == 0 ? sales.stamp(row) : sales.marker(row);
        },
        this);
    listColours(ListView2, QColor(255, 255, 192));

    ListView1 = place(new QTreeView(Picture1), "ListView1", 3840, 720, 10575 + kWider, 4935);
    m_linesModel = attachModel<SaleDetail>(
        ListView1, kLineColumns, [](const SaleDetail& sale) { return sale.rows.size(); },
        [](const SaleDetail& sale, qsizetype row, int column) { return sale.rows[row][column]; }, this);

    for (QTreeView* list : {ListView2, ListView1}) {
        list->setFont(arial(12, true));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    }

    Label1 = yellowLabel(Picture1, "Label1", 4080, 5760, 6735, 375);
    Label2 = yellowLabel(Picture1, "Label2", 10800 + kWider, 5760, 3495, 495);
    Label2->setFont(arial(14, true));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4 = yellowLabel(Picture1, "Label4", 11640 + kWider, 6240, 2655, 375);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // A sale is chosen by a click or by moving through the list with the keyboard; the first row
    // made current by the list taking the focus is not a choice.
    connect(ListView2->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Form12::ListView2_Click);
    setTabOrder(ListView2, ListView1);
}

Form12* Form12::open(QWidget* caller, Context& context)
{
    auto* form = new Form12(context);
    if (!form->Form_Load()) {
        delete form;
        return nullptr;
    }
    openFixed(caller, form, CallerState::Hidden, CentreOn::Screen);
    form->ListView2->setFocus();
    return form;
}

bool Form12::Form_Load()
{
    configureList(ListView2, kSalesColumns);
    configureList(ListView1, kLineColumns);
    DaySales sales;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo leer las ventas del día."),
                 [&] { sales = readDaySales(m_ctx.db); }))
        return false;
    m_salesModel->setRows(std::move(sales));
    clearSale();
    return true;
}

const DaySales& Form12::saleRows() const
{
    return m_salesModel->rows();
}

const SaleDetail& Form12::lineRows() const
{
    return m_linesModel->rows();
}

void Form12::ListView2_Click()
{
    const QModelIndexList chosen = ListView2->selectionModel()->selectedRows();
    const DaySales& sales = saleRows();
    if (sales.isEmpty() || chosen.isEmpty())
        return;
    const int row = chosen.first().row();
    // The stamp as stored finds the lines, so a sale at midnight is found like any other.
    Text1 = sales.stamp(row);
    m_chosen = sales.stored(row);
    Command1_Click();
}

void Form12::Command1_Click()
{
    clearSale();
    SaleDetail detail;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo leer el detalle de la venta."),
                 [&] { detail = readSaleDetail(m_ctx.db, m_chosen, Text1); }))
        return;
    // A sale whose lines are gone shows nothing rather than the figures of another.
    if (detail.rows.isEmpty())
        return;
    m_linesModel->setRows(std::move(detail));
    const SaleDetail& shown = lineRows();
    Label1->setText(shown.Label1);
    Label2->setText(shown.Label2);
    Label4->setText(shown.Label4);
}

void Form12::clearSale()
{
    m_linesModel->clear();
    Label1->clear();
    Label2->clear();
    Label4->clear();
}

} // namespace tarvino
