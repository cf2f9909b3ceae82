// Drives a real sales window on a temporary shop, the way a cashier does at the keyboard.
#pragma once

#include "sales/sales_window.h"
#include "support/temp_shop.h"
#include "support/test_support.h"

#include <QStringList>

#include <memory>

namespace tarvino::test {

class SalesDriver {
public:
    // A shop with two products: "100" (Leche, stock 10, critical 5, cost 700, price 990) and
    // "200" (Pan, stock 50, critical 2, cost 900, price 1500,5).
    SalesDriver();
    ~SalesDriver();

    // Makes the sales window as the login does: load, show, then user and opening stamp.
    Form1& open(const QString& user = QStringLiteral("admin"));

    void typeCode(const QString& code);
    // Rings up one unit of code and records the sale straight away, as settling does.
    bool sell(const QString& code, const QString& kind = QStringLiteral("EFECTIVO"));
    void typeQuantity(const QString& quantity);
    // PAGAR clicked: the payment window that opened (the test ends when none does).
    Form5& pay();
    // An amount typed into the payment window and confirmed with Enter.
    static void typeAmount(Form5& payment, const QString& amount);

    // Pays the sale in cash with 5000 tendered and lets the payment window go.
    void settleInCash();

    // Ticks or unticks "Cantidad Manual" with a click, as the cashier does.
    void setManual(bool on);

    // The visible sale list, one "code|name|quantity|unit|total" text per row.
    QStringList saleList() const;
    // The sale detail list, one "code|name|quantity|unitcost|totalcost|unit|total|flag|category".
    QStringList detailList() const;

    TempShop shop;
    std::unique_ptr<Form1> form;
    QString openingStamp = QStringLiteral("09/03/2026 9:05:07");
};

} // namespace tarvino::test
