// Receipts on 58 mm and 80 mm roll printers, chosen by the user's receipt setting.
#include "sales/receipt.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "users/users.h"

namespace tarvino {

namespace {
void line(Printer& p, const QString& text)
{
    p.print(text, true);
}

void blank(Printer& p)
{
    p.print(QStringLiteral(" "), true);
}

void at(Printer& p, int twips, const QString& text, bool lineEnds)
{
    p.setCurrentX(twips);
    p.print(text, lineEnds);
}
// What was paid: the amount tendered and the change, or for a split sale what each part paid
// (nothing is tendered against a card, so a split has no change).
void payment(Printer& p, int twips, const Receipt& r)
{
    if (r.flag == QLatin1String("2")) {
        at(p, twips, QStringLiteral("Efectivo    ") + r.cashPart, true);
        at(p, twips, QStringLiteral("Tarjeta     ") + r.cardPart, true);
        return;
    }
    at(p, twips, QStringLiteral("Efectivo    ") + r.tendered, true);
    at(p, twips, QStringLiteral("Vuelto      $ ") + r.change, true);
}

QString paymentKind(const Receipt& r)
{
    if (r.flag == QLatin1String("0"))
        return QStringLiteral("EFECTIVO ");
    if (r.flag == QLatin1String("1"))
        return QStringLiteral("TARJETA ");
    if (r.flag == QLatin1String("2"))
        return QStringLiteral("MIXTO ");
    return {};
}
} // namespace

void ticket80(Printer& p, const Receipt& r)
{
    p.setRollWidth(80);
    line(p, QString(20, QLatin1Char(' ')) + stampText(r.when));
    line(p, QString(62, QLatin1Char('-')));
    blank(p);
    line(p, QStringLiteral("Descripcion") + QString(28, QLatin1Char(' ')) + QStringLiteral("Cantidad") +
                QString(8, QLatin1Char(' ')) + QStringLiteral("Total"));
    blank(p);
    for (const ReceiptLine& item : r.lines) {
        at(p, 0, item.name, false);
        at(p, 2500, item.quantity, false);
        at(p, 3200, item.total, false);
        line(p, QStringLiteral(" "));
    }
    line(p, QString(60, QLatin1Char(' ')) + QString(11, QLatin1Char('_')));
    at(p, 2500, QStringLiteral("Total       ") + r.total, true);
    payment(p, 2500, r);
    line(p, QString(42, QLatin1Char('=')));
    blank(p);
    if (const QString kind = paymentKind(r); !kind.isEmpty())
        line(p, QString(20, QLatin1Char(' ')) + QStringLiteral("Forma de pago : ") + kind);
    for (int i = 0; i < 4; ++i)
        blank(p);
    p.endDocument();
}

void ticket58(Printer& p, const Receipt& r)
{
    p.setRollWidth(58);
    p.setFontSize(10);
    p.setBold(false);
    line(p, QStringLiteral("   ") + stampText(r.when));
    line(p, QStringLiteral("   ") + QString(26, QLatin1Char('-')));
    blank(p);
    line(p, QStringLiteral("Detalle:"));
    blank(p);
    for (const ReceiptLine& item : r.lines) {
        at(p, 0, item.name, false);
        line(p, QStringLiteral(" "));
        at(p, 0, item.quantity + QStringLiteral(" x "), false);
        at(p, 500, item.unitPrice + QStringLiteral(" = "), false);
        at(p, 1500, item.total, false);
        line(p, QStringLiteral(" "));
    }
    line(p, QString(16, QLatin1Char(' ')) + QString(11, QLatin1Char('_')));
    p.setBold(true);
    p.setFontSize(11);
    at(p, 500, QStringLiteral("Total       ") + r.total, true);
    p.setBold(false);
    p.setFontSize(10);
    payment(p, 500, r);
    line(p, QString(20, QLatin1Char('=')));
    blank(p);
    if (const QString kind = paymentKind(r); !kind.isEmpty())
        line(p, QStringLiteral("  Forma de pago : ") + kind);
    for (int i = 0; i < 4; ++i)
        blank(p);
    p.endDocument();
}

int imprimirTicket(Database& db, Printer& printer, const QString& user, const Receipt& receipt)
{
    const double setting = receiptSetting(db, user);
    if (setting == 58) {
        ticket58(printer, receipt);
        return 58;
    }
    if (setting == 80) {
        ticket80(printer, receipt);
        return 80;
    }
    return 0;
}

} // namespace tarvino
