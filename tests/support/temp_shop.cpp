// A shop in a temporary folder: a new bd1, its open connection and helpers to fill and read it.
#include "support/temp_shop.h"

#include "data/schema.h"

#include <QDir>

#include <sqlite3.h>

#include <stdexcept>

namespace tarvino::test {

TempShop::TempShop()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    createDatabase(dbPath(), kDatabaseKey);
    db.open(dbPath(), kDatabaseKey);
    prepareDatabase(db);
}

QString TempShop::dbPath() const
{
    return QDir(m_dir.path()).filePath(kDatabaseFileName);
}

void TempShop::addProduct(const ProductRow& row)
{
    sqlite3_stmt* stmt = db.statement(QStringLiteral(
        "insert into Productos (CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, "
        "StockCritico, Categoria) values (?,?,?,?,?,?,?)"));
    const QVariantList values{row.code, row.name, row.stock, row.cost, row.price, row.critical, row.category};
    for (int i = 0; i < values.size(); ++i)
        Database::bind(stmt, i + 1, values[i]);
    db.stepWrite(stmt);
}

void TempShop::addUser(const QString& name, const QString& password, double receipt)
{
    sqlite3_stmt* stmt = db.statement(QStringLiteral(
        "insert into Usuarios (NombreUsuario, \"Contraseña\", PermisoCruce, Nivel, permisoproductos, "
        "permisorecaudacion) values (?,?,?,0,0,0)"));
    Database::bind(stmt, 1, name);
    Database::bind(stmt, 2, password);
    Database::bind(stmt, 3, receipt);
    db.stepWrite(stmt);
}

QVariantList TempShop::column(const QString& sql)
{
    QVariantList values;
    sqlite3_stmt* stmt = db.statement(sql);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        switch (sqlite3_column_type(stmt, 0)) {
        case SQLITE_INTEGER:
            values << QVariant(qint64(sqlite3_column_int64(stmt, 0)));
            break;
        case SQLITE_FLOAT:
            values << QVariant(sqlite3_column_double(stmt, 0));
            break;
        case SQLITE_NULL:
            values << QVariant();
            break;
        default:
            values << QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))));
        }
    }
    sqlite3_reset(stmt);
    return values;
}

QVariant TempShop::scalar(const QString& sql)
{
    const QVariantList values = column(sql);
    return values.isEmpty() ? QVariant() : values.first();
}

QString TempShop::dump()
{
    QString all;
    for (const TableSpec& table : tableSpecs()) {
        all += table.name + QLatin1Char('\n');
        sqlite3_stmt* stmt = db.statement(QStringLiteral("select * from \"%1\" order by rowid").arg(table.name));
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                all += (text ? QString::fromUtf8(text) : QStringLiteral("NULL")) + QLatin1Char('|');
            }
            all += QLatin1Char('\n');
        }
        sqlite3_reset(stmt);
    }
    return all;
}

int TempShop::count(const QString& table)
{
    return scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

} // namespace tarvino::test
