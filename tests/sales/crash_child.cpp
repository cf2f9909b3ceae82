// A till process for the crash tests, killed at an arbitrary instant by the test that started it.
//
//   tarvino_crash_child FOLDER                    records the same sale without end
//   tarvino_crash_child FOLDER till SEED CLOCK    a till at random (see stress/till.h): start-up,
//                                                 sales, closings, products saved and deleted
//
// Each line it prints is said only once what it reports is done.
#include "catalogue/products.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/schema.h"
#include "sales/recording.h"
#include "stress/till.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

#include <cstdio>

using namespace tarvino;

namespace {

int recordTheSameSale(const QString& folder)
{
    Database db;
    db.open(QDir(folder).filePath(kDatabaseFileName));
    prepareDatabase(db);
    SystemClock clock;
    SaleLines lines;
    for (const char* code : {"100", "200", "100"}) {
        const Product product = *findProductByCode(db, QString::fromLatin1(code));
        mergeDetailLine(lines, product, product.code, 1, QStringLiteral("1"));
    }
    const QString total = QString::number(computeTotal(lines));
    for (int sale = 1; sale <= 1000000; ++sale) {
        recordSale(db, clock, {lines, QStringLiteral("09/03/2026 9:05:07"), QStringLiteral("admin"),
                               total, QStringLiteral("EFECTIVO")});
        // Said only once the sale is committed: the test holds the till to every sale it heard of.
        std::printf("%d\n", sale);
        std::fflush(stdout);
    }
    return 0;
}

int tillAtRandom(const QString& folder, quint64 seed, const QString& clockStart)
{
    const auto start = readIso(clockStart);
    if (!start)
        return 2;
    stress::Till till(folder, seed, *start, [](const QString& line) {
        std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    });
    if (!till.startUp())
        return 3;
    while (till.step()) {
    }
    return 4;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    const QStringList args = app.arguments();
    if (args.size() == 2)
        return recordTheSameSale(args[1]);
    if (args.size() == 5 && args[2] == QLatin1String("till"))
        return tillAtRandom(args[1], args[3].toULongLong(), args[4]);
    return 2;
}
