// Moving a shop from its file bd1 to a database server: every table copied in one transaction and
// checked, counts and sums, on both sides.
#include "data/server_copy.h"

#include "common/numbers.h"
#include "data/database.h"
#include "data/query.h"
#include "data/recordset.h"
#include "data/schema.h"

#include <QLocale>

#include <cmath>
#include <vector>

namespace tarvino {

namespace {

// Rows sent in one statement: few round trips to the server, well within its parameter limit.
constexpr int kRowsPerInsert = 200;

bool isNumberColumn(const ColumnSpec& column)
{
    return column.type.startsWith(QLatin1String("REAL")) ||
           column.type.startsWith(QLatin1String("INTEGER"));
}

// The columns of table that the file has, in the order the program knows them: a file from before
// a column was added copies without it, and the server's default fills it.
QStringList columnsInFile(Database& file, const TableSpec& table)
{
    RecordSet rs;
    rs.open(file, QStringLiteral("select * from %1 limit 0").arg(table.name));
    const QStringList present = rs.columns();
    QStringList columns;
    for (const ColumnSpec& column : table.columns) {
        for (const QString& name : present) {
            if (name.compare(column.name, Qt::CaseInsensitive) == 0) {
                columns << column.name;
                break;
            }
        }
    }
    return columns;
}

struct Totals {
    qint64 rows = 0;
    std::vector<double> sums;
};

Totals totalsOf(Database& db, const QString& table, const QStringList& numberColumns)
{
    QString sql = QStringLiteral("select count(*)");
    for (const QString& column : numberColumns)
        sql += QStringLiteral(", coalesce(sum(%1), 0)").arg(column);
    sql += QStringLiteral(" from %1").arg(table);
    Query totals(db, sql);
    Totals found;
    if (totals.next()) {
        found.rows = totals.integer(0);
        for (int i = 0; i < numberColumns.size(); ++i)
            found.sums.push_back(totals.cell(i + 1).real());
    }
    return found;
}

// Sums of the same numbers taken in another order may differ in their last bits; a peso's
// millionth is far below anything a shop counts.
bool sameSum(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 + 1e-12 * std::fabs(a);
}

void copyTable(Database& file, Database& server, const QString& table, const QStringList& columns)
{
    const QString names = columns.join(QStringLiteral(", "));
    const QString oneRow = QStringLiteral("(") +
                           QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
                           QStringLiteral(")");
    std::vector<QVariant> pending;
    const auto flush = [&] {
        if (pending.empty())
            return;
        const qsizetype rows = qsizetype(pending.size()) / columns.size();
        QStringList tuples(rows, oneRow);
        Query insert(server, QStringLiteral("insert into %1 (%2) values %3")
                                 .arg(table, names, tuples.join(QStringLiteral(", "))));
        for (size_t i = 0; i < pending.size(); ++i)
            insert.bind(int(i) + 1, pending[i]);
        insert.execute();
        pending.clear();
    };
    // In the order the rows were written, which the server's own numbering then keeps.
    Query rows(file, QStringLiteral("select %1 from %2 order by rowid").arg(names, table));
    while (rows.next()) {
        for (int i = 0; i < columns.size(); ++i)
            pending.push_back(rows.cell(i).stored());
        if (pending.size() >= size_t(kRowsPerInsert * columns.size()))
            flush();
    }
    flush();
}

} // namespace

bool serverHoldsShop(Database& server)
{
    for (const QString& table : {QStringLiteral("Productos"), QStringLiteral("Temporal"),
                                 QStringLiteral("TipoPago"), QStringLiteral("Recaudacion")}) {
        Query any(server, QStringLiteral("select 1 from %1 limit 1").arg(table));
        if (any.next())
            return true;
    }
    Query users(server, QStringLiteral("select count(*) from Usuarios where NombreUsuario <> 'admin'"));
    return users.next() && users.integer(0) > 0;
}

QString copyShopToServer(const QString& filePath, Database& server)
{
    Database file;
    file.open(filePath);
    checkSchema(file);

    if (serverDatabaseEmpty(server))
        createServerSchema(server);
    if (serverHoldsShop(server))
        throw DbError(QStringLiteral("La base de datos %1 ya tiene los datos de una tienda; no se "
                                     "copió nada. Use una base de datos vacía.")
                          .arg(server.place()));

    QStringList report;
    const QLocale locale;
    Transaction tx(server);
    // The administrator a new server database starts with gives way to the file's own users.
    Query(server, QStringLiteral("delete from Usuarios")).execute();
    for (const TableSpec& table : tableSpecs()) {
        const QStringList columns = columnsInFile(file, table);
        if (columns.isEmpty())
            continue;
        copyTable(file, server, table.name, columns);

        QStringList numbers;
        for (const ColumnSpec& column : table.columns) {
            if (isNumberColumn(column) && columns.contains(column.name))
                numbers << column.name;
        }
        const Totals there = totalsOf(file, table.name, numbers);
        const Totals here = totalsOf(server, table.name, numbers);
        bool same = there.rows == here.rows;
        for (size_t i = 0; same && i < there.sums.size(); ++i)
            same = sameSum(there.sums[i], here.sums[i]);
        if (!same)
            throw DbError(QStringLiteral("La tabla %1 no quedó igual en el servidor (%2 filas en el "
                                         "archivo, %3 en el servidor, o sus sumas difieren); no se "
                                         "copió nada.")
                              .arg(table.name, locale.toString(there.rows), locale.toString(here.rows)));
        QString line = QStringLiteral("%1: filas %2").arg(table.name, locale.toString(here.rows));
        if (here.rows > 0) {
            QStringList sums;
            for (int i = 0; i < numbers.size(); ++i)
                sums << QStringLiteral("%1 %2").arg(numbers[i], plainNumber(here.sums[size_t(i)], locale));
            if (!sums.isEmpty())
                line += QStringLiteral("; sumas: ") + sums.join(QStringLiteral(", "));
        }
        report << line;
    }
    tx.commit();
    report << QStringLiteral("Filas y sumas iguales en el archivo y en el servidor.");
    return report.join(QLatin1Char('\n'));
}

} // namespace tarvino
