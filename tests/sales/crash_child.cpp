// A till that records sales without end until it is killed; the crash test kills it mid-write.
#include "common/services.h"
#include "data/database.h"
#include "data/schema.h"
#include "catalogue/products.h"
#include "sales/recording.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace tarvino;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Database db;
    db.open(QDir(QString::fromLocal8Bit(argv[1])).filePath(kDatabaseFileName));
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
