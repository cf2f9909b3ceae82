// The sales detail of the day: every sale of the open sales day, latest first, and the lines of the
// sale the cashier picks. It only reads.
#pragma once

#include "app/context.h"
#include "reports/sales_detail.h"

#include <QVariant>
#include <QWidget>

class QLabel;
class QTreeView;

namespace tarvino {

template <typename Rows>
class ListModel;

class Form12 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form12)

public:
    explicit Form12(Context& context);

    // Opens the window in place of caller, which is hidden until it closes. Nothing opens (after
    // a message) when the day's sales cannot be read.
    static Form12* open(QWidget* caller, Context& context);

    // Sets up both lists and lists the day's sales; false (after a message) when they cannot be read.
    bool Form_Load();
    // A sale chosen in ListView2: its stamp goes to Text1 and Command1 lists it.
    void ListView2_Click();
    // Hidden button: lists the lines of the sale in Text1.
    void Command1_Click();

    QWidget* Picture1;
    QLabel* Label3;       // title band
    QTreeView* ListView2; // the sales
    QTreeView* ListView1; // the lines of the chosen sale
    QLabel* Label1;       // description of the chosen sale
    QLabel* Label2;       // its final value
    QLabel* Label4;       // its payment kind

    // Hidden working field: the FechaVenta of the chosen sale, as the list shows it.
    QString Text1;

    // The lists' rows, as shown.
    const DaySales& saleRows() const;
    const SaleDetail& lineRows() const;

private:
    void clearSale();

    Context& m_ctx;
    ListModel<DaySales>* m_salesModel;
    ListModel<SaleDetail>* m_linesModel;
    QVariant m_chosen; // the chosen sale's FechaVenta as the file holds it
};

} // namespace tarvino
