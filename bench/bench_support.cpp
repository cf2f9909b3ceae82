// What every benchmark shares: timing runs, checking the timed work, the result table and a
// catalogue of many products.
#include "bench_support.h"

#include "data/database.h"
#include "data/file_engine.h"
#include "support/temp_shop.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace tarvino::bench {

namespace {
struct Row {
    const char* operation;
    double targetMs;
    Samples ns;
};
std::vector<Row>& table()
{
    static std::vector<Row> rows;
    return rows;
}
int g_failures = 0;

QByteArray shown(double ns, bool micro)
{
    return micro ? QByteArray::number(ns / 1e3, 'f', 1) + " us" : QByteArray::number(ns / 1e6, 'f', 2) + " ms";
}
} // namespace

Samples measure(int warmup, int runs, const std::function<void()>& body)
{
    return measure(warmup, runs, {}, body);
}

Samples measure(int warmup, int runs, const std::function<void()>& setup, const std::function<void()>& body)
{
    Samples ns;
    for (int i = 0; i < warmup + runs; ++i) {
        if (setup)
            setup();
        QElapsedTimer timer;
        timer.start();
        body();
        const qint64 elapsed = timer.nsecsElapsed();
        if (i >= warmup)
            ns.push_back(elapsed);
    }
    return ns;
}

void report(const char* operation, double targetMs, Samples ns)
{
    table().push_back({operation, targetMs, std::move(ns)});
}

void printTable()
{
    std::printf("\n%-62s %5s %12s %12s %12s %9s  %s\n", "operation", "runs", "min", "median", "max",
                "target", "verdict (median / max)");
    for (Row& row : table()) {
        Samples& s = row.ns;
        if (s.empty())
            continue;
        std::sort(s.begin(), s.end());
        const size_t n = s.size();
        const double median = n % 2 ? double(s[n / 2]) : (double(s[n / 2 - 1]) + double(s[n / 2])) / 2.0;
        const bool micro = median < 1e6;
        const double target = row.targetMs * 1e6;
        const char* verdict = row.targetMs == 0            ? "-"
                              : median >= target           ? "NOT met"
                              : double(s.back()) < target  ? "met / met"
                                                           : "met / over";
        std::printf("%-62s %5zu %12s %12s %12s %6g ms  %s\n", row.operation, n,
                    shown(double(s.front()), micro).constData(), shown(median, micro).constData(),
                    shown(double(s.back()), micro).constData(), row.targetMs, verdict);
    }
    if (g_failures)
        std::printf("\n%d CHECKS FAILED: the figures above are not to be trusted.\n", g_failures);
    else
        std::printf("\nAll checks on the measured work passed.\n");
}

void check(bool ok, const char* what)
{
    if (!ok && ++g_failures <= 10)
        std::printf("  CHECK FAILED: %s\n", what);
}

int failures()
{
    return g_failures;
}

QString pragmaText(Database& db, const QString& sql)
{
    if (!fileConnection(db))
        return QStringLiteral("(no aplica en el servidor)");
    sqlite3_stmt* stmt = nullptr;
    QString text;
    if (sqlite3_prepare_v2(fileConnection(db), sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const int last = sqlite3_column_count(stmt) - 1;
            const auto* cell = reinterpret_cast<const char*>(sqlite3_column_text(stmt, last));
            text += (text.isEmpty() ? "" : "; ") + QString::fromUtf8(cell);
        }
    }
    sqlite3_finalize(stmt);
    return text;
}

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

std::mt19937& rng()
{
    static std::mt19937 generator(20260309);
    return generator;
}

QString productCode(int i)
{
    return QString::number(7'800'000'000'000 + i);
}

const std::vector<QString>& catalogueWords()
{
    static const std::vector<QString> words = {
        QStringLiteral("Leche"),  QStringLiteral("Pan"),    QStringLiteral("Vino"),    QStringLiteral("Queso"),
        QStringLiteral("Ñandú"),  QStringLiteral("Café"),   QStringLiteral("Azúcar"),  QStringLiteral("Arroz"),
        QStringLiteral("Aceite"), QStringLiteral("Jugo"),   QStringLiteral("Galleta"), QStringLiteral("Té"),
        QStringLiteral("Harina"), QStringLiteral("Fideos"), QStringLiteral("Atún"),    QStringLiteral("Sal"),
        QStringLiteral("Jabón"),  QStringLiteral("Champú"), QStringLiteral("Cerveza"), QStringLiteral("Agua")};
    return words;
}

void fillCatalogue(test::TempShop& shop, int count)
{
    const std::vector<QString>& words = catalogueWords();
    const int wordCount = int(words.size());
    std::vector<int> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        numbers[size_t(i)] = i;
    std::shuffle(numbers.begin(), numbers.end(), rng());
    Transaction tx(shop.db);
    for (int i = 0; i < count; ++i) {
        const int n = numbers[size_t(i)];
        const QString name = QStringLiteral("%1 %2").arg(words[size_t(n % wordCount)]).arg(n, 6, 10, QLatin1Char('0'));
        shop.addProduct({productCode(i), name, (n % 5000) / 4.0, double(300 + i % 7000),
                         i % 50 == 0 ? 0.0 : 500 + (i % 9000) * 1.5, 5, words[size_t(i % 13)]});
    }
    tx.commit();
    settle(shop.db);
}

void settle(Database& db)
{
    db.execute(fileConnection(db) ? QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)") : QStringLiteral("ANALYZE"));
}

} // namespace tarvino::bench
