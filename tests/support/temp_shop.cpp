// A shop in a temporary folder: a new bd1, its open connection and helpers to fill and read it.
#include "support/temp_shop.h"

#include "data/query.h"
#include "data/schema.h"

#include <QDir>

#include <stdexcept>

namespace tarvino::test {

QString insertInto(const QString& table)
{
    if (const TableSpec* known = knownTable(table)) {
        QStringList columns;
        for (const ColumnSpec& column : known->columns)
            columns << column.name;
        return QStringLiteral("insert into %1 (%2) ").arg(known->name, columns.join(QStringLiteral(", ")));
    }
    throw std::invalid_argument("no such table");
}

TempShop::TempShop()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    if (onServer()) {
        m_server = std::make_unique<ServerDatabase>();
        db.openServer(m_server->connection(), kTestTill);
        createServerSchema(db);
        return;
    }
    createDatabase(dbPath(), kDatabaseKey);
    db.open(dbPath(), kDatabaseKey);
    prepareDatabase(db);
}

TempShop::~TempShop()
{
    // The server's database is dropped once its connection is closed.
    db.close();
}

QString TempShop::dbPath() const
{
    return QDir(m_dir.path()).filePath(kDatabaseFileName);
}

int TempShop::execute(const QString& sql, const QVariantList& values)
{
    Query statement(db, sql);
    for (int i = 0; i < values.size(); ++i)
        statement.bind(i + 1, values[i]);
    return statement.execute();
}

void TempShop::addProduct(const ProductRow& row)
{
    execute(QStringLiteral(
                "insert into Productos (CodigoProducto, NombreProducto, Cantidad, PrecioCosto, "
                "PrecioVenta, StockCritico, Categoria) values (?,?,?,?,?,?,?)"),
            {row.code, row.name, row.stock, row.cost, row.price, row.critical, row.category});
}

void TempShop::addUser(const QString& name, const QString& password, double receipt)
{
    execute(QStringLiteral("insert into Usuarios (NombreUsuario, Contraseña, PermisoCruce, Nivel, "
                           "permisoproductos, permisorecaudacion) values (?,?,?,0,0,0)"),
            {name, password, receipt});
}

QVariantList TempShop::column(const QString& sql)
{
    QVariantList values;
    Query rows(db, sql);
    while (rows.next())
        values << rows.cell(0).stored();
    return values;
}

QVariantList TempShop::rows(const QString& sql)
{
    QVariantList all;
    Query rows(db, sql);
    while (rows.next()) {
        QStringList cells;
        for (int i = 0; i < rows.columnCount(); ++i) {
            const Cell cell = rows.cell(i);
            cells << (cell.isNull() ? QStringLiteral("NULL") : cell.utf8().toString());
        }
        all << cells.join(QLatin1Char('|'));
    }
    return all;
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
        Query rows(db, QStringLiteral("select * from %1 order by rowid").arg(table.name));
        while (rows.next()) {
            for (int i = 0; i < rows.columnCount(); ++i) {
                const Cell cell = rows.cell(i);
                all += (cell.isNull() ? QStringLiteral("NULL") : cell.utf8().toString()) +
                       QLatin1Char('|');
            }
            all += QLatin1Char('\n');
        }
    }
    return all;
}

int TempShop::count(const QString& table)
{
    return scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

} // namespace tarvino::test
