// A shop in a temporary folder: a new bd1, its open connection and helpers to fill and read it.
// In a run of the tests on the server engine (TARVINO_ENGINE=servidor) the shop's data is a new
// database on the server of TARVINO_TEST_SERVER instead, opened as the till kTestTill.
#pragma once

#include "app/context.h"
#include "data/database.h"
#include "support/fakes.h"
#include "support/faulty_engine.h"
#include "support/test_server.h"
#include "support/test_support.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

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

// "insert into Table (its columns in order) ": a row given by position lands in the same columns
// on a server, whose tables have rowid (and the day's tables the till) as columns of their own.
QString insertInto(const QString& table);

// The till a test shop on a server is opened as.
inline const QString kTestTill = QStringLiteral("Caja 1");

class TempShop {
public:
    TempShop();
    ~TempShop();
    TempShop(const TempShop&) = delete;
    TempShop& operator=(const TempShop&) = delete;
    QString folder() const { return m_dir.path(); }
    QString dbPath() const;
    // The server database's connection string; empty on the file.
    QString connection() const { return m_server ? m_server->connection() : QString(); }

    void addProduct(const ProductRow& row);
    void addUser(const QString& name, const QString& password, double receipt = 0);
    // Runs a query and returns the first column of each row (NULL as an invalid QVariant).
    QVariantList column(const QString& sql);
    QVariant scalar(const QString& sql);
    // Runs a query and returns each row's cells joined by "|", a number written as the file's
    // engine writes it (2.0, 1500.5) and NULL as "NULL": the same text on the file and on a server.
    QVariantList rows(const QString& sql);
    int count(const QString& table);
    // Runs a statement that changes rows, with its values bound in order.
    int execute(const QString& sql, const QVariantList& values = {});
    // Every row of every table, in rowid order, as text: equal dumps mean equal contents.
    QString dump();

private:
    // First, for the context's data folder.
    QTemporaryDir m_dir;

public:
    Database db;
    std::shared_ptr<WriteFaults> faults = faultyWrites(db);
    FakeMessages messages;
    FakeClock clock;
    FakePrinter printer;
    FakeSpreadsheet spreadsheet;
    Context context{db, messages, clock, printer, spreadsheet, m_dir.path()};

private:
    std::unique_ptr<ServerDatabase> m_server;
};

} // namespace tarvino::test
