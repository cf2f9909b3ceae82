// A shop in a temporary folder: a new bd1, its open connection and helpers to fill and read it.
#pragma once

#include "app/context.h"
#include "data/database.h"
#include "support/fakes.h"
#include "support/test_support.h"

#include <QTemporaryDir>
#include <QVariant>

namespace tarvino::test {

struct ProductRow {
    QString code;
    QString name;
    double stock = 10;
    double cost = 100;
    double price = 150;
    int critical = 0;
    QString category = QStringLiteral("General");
};

class TempShop {
public:
    TempShop();
    QString folder() const { return m_dir.path(); }
    QString dbPath() const;

    void addProduct(const ProductRow& row);
    void addUser(const QString& name, const QString& password, double receipt = 0);
    // Runs a query and returns the first column of each row (NULL as an invalid QVariant).
    QVariantList column(const QString& sql);
    QVariant scalar(const QString& sql);
    int count(const QString& table);
    // Every row of every table, in rowid order, as text: equal dumps mean equal contents.
    QString dump();

    Database db;
    FakeMessages messages;
    FakeClock clock;
    FakePrinter printer;
    FakeSpreadsheet spreadsheet;
    Context context{db, messages, clock, printer, spreadsheet};

private:
    QTemporaryDir m_dir;
};

} // namespace tarvino::test
