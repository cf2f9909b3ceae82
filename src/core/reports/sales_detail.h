// The sales of the open sales day one by one: what the sales detail window lists and shows for the
// sale chosen, read from the day's lines in Temporal.
#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace tarvino {

class Database;

// The sales of the open day, latest first: one per distinct FechaVenta, since the lines written
// for one sale carry the stamp of the second they were written in.
class DaySales final {
public:
    qsizetype size() const { return qsizetype(m_sales.size()); }
    bool isEmpty() const { return m_sales.empty(); }
    // "Fecha / Hora": the FechaVenta as a record set reads it, "dd/mm/yyyy h:mm:ss".
    QString stamp(qsizetype row) const { return m_sales[size_t(row)].stamp; }
    // "$": "E" for a cash sale, "T" for a card sale, "M" for one paid part cash, part card, empty
    // for any other payment kind; taken from the sale's first line.
    QString marker(qsizetype row) const { return m_sales[size_t(row)].marker; }
    // The FechaVenta as the file holds it, which finds the sale's lines.
    QVariant stored(qsizetype row) const { return m_sales[size_t(row)].stored; }

private:
    friend DaySales readDaySales(Database& db);
    struct Sale {
        QString stamp;
        QString marker;
        QVariant stored;
    };
    std::vector<Sale> m_sales;
};

// The sales of the open day, from the latest to the earliest in time.
DaySales readDaySales(Database& db);

// What the window shows for one sale.
struct SaleDetail {
    // ListView1's rows: "Item" (1, 2, 3 …), "Código", "Nombre", "Cantidad", "Valor Unitario" and
    // "Total Venta", numbers as plain number text and an empty cell for a missing value.
    QList<QStringList> rows;
    QString Label1; // "Venta realizada el dd/mm/yyyy a las h:mm:ss hrs."
    QString Label2; // "Valor Final " and the sum of the Total Venta cells as "$ ###,###,###.###"
    QString Label4; // the payment kind of the sale's last line, as stored
};

// The lines whose FechaVenta is stored (as DaySales::stored gives it) in the order they were
// written; shownStamp is the sale's text in the list, which the description repeats.
SaleDetail readSaleDetail(Database& db, const QVariant& stored, const QString& shownStamp,
                          const QLocale& locale = QLocale());

// "Venta realizada el " + the date + " a las " + the time + " hrs." for a stamp
// "dd/mm/yyyy h:mm:ss"; a text that is no stamp is repeated as it stands.
QString saleDescription(const QString& stamp);

} // namespace tarvino
