// Receipts on 58 mm and 80 mm roll printers, chosen by the user's receipt setting.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

namespace tarvino {

class Database;
class Printer;

struct ReceiptLine {
    QString name;
    QString quantity;
    QString unitPrice;
    QString total;
};

// What a receipt shows, as the sale list and the payment window hold it when the sale is settled.
struct Receipt {
    QDateTime when;
    QVector<ReceiptLine> lines;
    QString total;    // the total as the payment window shows it
    QString tendered; // the amount tendered as typed (may be empty)
    QString change;   // the change as shown (may be empty)
    QString flag;     // "0" cash, "1" card, "2" part cash, part card
    QString cashPart; // a split sale's parts as shown ("$ 10.000"); empty otherwise
    QString cardPart;
};

// One receipt each, on a roll of 58 or 80 mm, ending the print job.
void ticket58(Printer& printer, const Receipt& receipt);
void ticket80(Printer& printer, const Receipt& receipt);

// Prints the receipt in the layout the user's setting asks for (58 or 80), or nothing.
// Throws PrinterError when the printer fails. Returns the layout printed, 0 for none.
int imprimirTicket(Database& db, Printer& printer, const QString& user, const Receipt& receipt);

} // namespace tarvino
