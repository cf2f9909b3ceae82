// What every benchmark shares: timing runs, checking the timed work, the result table and a
// catalogue of many products. Benchmarks print figures; they are never run as tests.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace tarvino {
class Database;
}
namespace tarvino::test {
class TempShop;
}

namespace tarvino::bench {

using Samples = std::vector<qint64>; // nanoseconds, one per timed run

// Runs body warmup times untimed, then runs times timed.
Samples measure(int warmup, int runs, const std::function<void()>& body);
// The same with setup, when given, run untimed before each run.
Samples measure(int warmup, int runs, const std::function<void()>& setup, const std::function<void()>& body);

// Adds a row to the result table; a target of 0 means a figure shown only for comparison.
void report(const char* operation, double targetMs, Samples ns);
// Prints every row: runs, min, median and max, the target and whether median and max meet it.
void printTable();

// The work is checked as it is timed: a fast figure for work that did not happen is worthless.
void check(bool ok, const char* what);
// Checks that failed so far; a benchmark's exit status.
int failures();

// The last column of every row a statement gives, joined by "; " (for PRAGMA answers). The file's
// own statements mean nothing to a server: there it says so instead.
QString pragmaText(Database& db, const QString& sql);

// After a shop is filled, before anything is measured: on the file the journal is folded into bd1,
// as the program does once idle; on a server the tables are analysed, as its autovacuum would do
// soon after so many rows arrive, so that plans are made on what the tables hold.
void settle(Database& db);

// The resident memory of this process in MiB, read from /proc.
double residentMiB();

// One random sequence for every benchmark run, so that runs compare.
std::mt19937& rng();

// The code of product i of fillCatalogue.
QString productCode(int i);
// count products in one transaction, named "<word> <number>" with the numbers shuffled so that
// name order is neither code order nor quantity order; a twentieth of them share each word.
// Prices and quantities repeat as a shop's do, a fiftieth have a zero sale price, and the
// categories are thirteen of the words. The journal is folded into the file at the end.
void fillCatalogue(test::TempShop& shop, int count);
// The words names start with ("Leche", "Pan", "Galleta", …).
const std::vector<QString>& catalogueWords();

} // namespace tarvino::bench
