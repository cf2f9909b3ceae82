// Works a shop folder as one day of the program does, without windows: opens bd1 as start-up does
// (making it when missing, converting it when this SQLCipher needs that), sells one unit of
// product 100, closes the day with its copy, and checks that the file and the copy open with the
// key alone. Run by builds against different SQLCipher versions in turn on the same folder, it
// shows whether a file passes from one to the other. Says what it sees; ends with 0 when all went
// well, 1 when the file was refused, 2 when something else failed.
#include "app/startup.h"
#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/backup.h"
#include "data/cipher_format.h"
#include "data/database.h"
#include "sales/recording.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <sqlite3.h>

using namespace tarvino;

namespace {

QTextStream out(stdout);

class SaidMessages final : public Messages {
public:
    void inform(const QString& text, const QString&, Icon) override
    {
        out << "Mensaje: " << text << Qt::endl;
    }
    bool ask(const QString& text, const QString&) override
    {
        out << "Pregunta: " << text << " -> Sí" << Qt::endl;
        return true;
    }
};

// Each run is a day after the last one the file holds, so that every copy has its own name.
class DayClock final : public Clock {
public:
    QDateTime now() const override { return m_now; }
    QDateTime m_now;
};

// The number in the first column of sql, read from path through a connection given the key alone;
// -1 when the file does not open that way.
int countWithKeyAlone(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const QByteArray key = QStringLiteral("PRAGMA key = '%1';").arg(kDatabaseKey).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_exec(db, key.constData(), nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

int work(const QString& folder)
{
    out << "SQLCipher " << cipherVersion() << Qt::endl;
    SaidMessages messages;
    Database db;
    if (!openShopDatabase(db, folder, messages))
        return 1;

    if (!findProductByCode(db, QStringLiteral("100"))) {
        const SaveResult saved = saveProduct(
            db, Product{"100", "Leche", "1000", "700", "990", "5", "Almacén"}, false);
        if (!saved.saved()) {
            out << "No se guardó el producto: " << saved.message << Qt::endl;
            return 2;
        }
    }
    DayClock clock;
    const int days = countWithKeyAlone(db.path(), "select count(*) from TipoPago");
    clock.m_now = QDateTime(QDate(2026, 3, 9).addDays(days < 0 ? 0 : days), QTime(9, 5, 7));
    const QString stamp = stampText(clock.now());

    SaleLines lines;
    const auto product = findProductByCode(db, QStringLiteral("100"));
    mergeDetailLine(lines, *product, product->code, 1, plainNumber(1));
    recordSale(db, clock, {lines, stamp, QStringLiteral("admin"), plainNumber(computeTotal(lines)),
                           QStringLiteral("EFECTIVO")});
    clock.m_now = clock.m_now.addSecs(8 * 3600);
    cierreDelDia(db, clock, stamp);
    if (const QString warning = backUpClosedDay(db, clock, stamp); !warning.isEmpty()) {
        out << "Copia: " << warning << Qt::endl;
        return 2;
    }
    const QString copy = newestBackup(db.path());
    const QString path = db.path();
    db.close();

    const int sold = countWithKeyAlone(path, "select count(*) from Recaudacion");
    const int inCopy = countWithKeyAlone(copy, "select count(*) from Recaudacion");
    out << "Ventas cerradas en bd1: " << sold << "; en la copia " << QDir(folder).relativeFilePath(copy)
        << ": " << inCopy << Qt::endl;
    return sold > 0 && sold == inCopy ? 0 : 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        out << "Uso: tarvino_shop_file CARPETA" << Qt::endl;
        return 2;
    }
    try {
        return work(QString::fromLocal8Bit(argv[1]));
    } catch (const DbError& e) {
        out << "Error: " << e.message() << Qt::endl;
        return 2;
    }
}
