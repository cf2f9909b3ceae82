// Moving a shop from its file bd1 to a database server: every table copied in one transaction and
// checked, row counts and every cell, on both sides.
#include "data/server_copy.h"

#include "common/numbers.h"
#include "data/database.h"
#include "data/query.h"
#include "data/schema.h"

#include <QDate>
#include <QLocale>
#include <QStringDecoder>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace tarvino
{

namespace
{

// Rows sent in one statement: few round trips to the server, well within its parameter limit.
constexpr int kRowsPerInsert = 200;
// Rows read in one statement: a server sends a statement's whole result at once, and the history
// may hold a million lines.
constexpr int kRowsPerRead = 5000;

struct CopiedColumn {
    QString name;
    bool number = false; // REAL or INTEGER; any other column is text (DATETIME is ISO text)
    bool whole = false;  // INTEGER
    bool stamp = false;  // DATETIME
};

// A stamp as the program stores it, "yyyy-mm-dd hh:mm:ss", of a day and time that exist; the
// server's timestamp column reads it back as the same text.
bool isStoredStamp(const QByteArray& text)
{
    if (text.size() != 19 || text[10] != ' ')
        return false;
    const QString date = QString::fromLatin1(text.left(10));
    const QString time = QString::fromLatin1(text.mid(11));
    return QDate::fromString(date, QStringLiteral("yyyy-MM-dd")).isValid() &&
           QTime::fromString(time, QStringLiteral("HH:mm:ss")).isValid();
}

// A cell as the copy sends it and as both sides are compared: NULL, a whole number, a real or
// the exact bytes of a text.
struct CopyCell {
    CellKind kind = CellKind::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray text;
};

// The length of the UTF-8 sequence that starts at p, or 0 when it is none a server's text can
// hold: a stray or missing continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or NUL.
int sequenceLength(const unsigned char* p, qsizetype left)
{
    const unsigned char lead = p[0];
    if (lead == 0)
        return 0;
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return length;
}

// The text as a person can find it again: what is UTF-8 as it reads, each other byte as \xNN.
// Empty when every byte is text a server holds.
QString badBytesShown(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString shown;
    bool bad = false;
    for (qsizetype i = 0; i < size;) {
        const int length = sequenceLength(p + i, size - i);
        if (length > 0) {
            shown += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        } else {
            shown += QStringLiteral("\\x") +
                     QStringLiteral("%1").arg(p[i], 2, 16, QLatin1Char('0')).toUpper();
            bad = true;
            ++i;
        }
    }
    return bad ? shown : QString();
}

QString cellPlace(const QString& table, qint64 rowid, const QString& column)
{
    return QStringLiteral("En la tabla %1, la fila de rowid %2, la columna %3")
        .arg(table, QString::number(rowid), column);
}

QString fixIt(const QString& table, qint64 rowid, const QString& column)
{
    return QStringLiteral(
               "No se copió nada. Corrija ese valor en el archivo (en el shell sqlcipher: "
               "UPDATE %1 SET %3 = … WHERE rowid = %2;) y copie de nuevo.")
        .arg(table, QString::number(rowid), column);
}

// A cell read the same way on both sides: by the column's type, not by how the engine happens to
// store it. An empty text in a number or stamp column is no value, as everywhere in the program,
// and goes as NULL (the server's columns of those types hold no text). What the server cannot hold
// as it is, a text that is no number in a number column, a fraction in a whole-number column, a
// stamp not in the program's form or bytes that are no UTF-8, is refused naming the row, rather
// than changed on the way.
CopyCell copyCell(const Cell& cell, const CopiedColumn& column, const QString& table, qint64 rowid)
{
    CopyCell out;
    if (cell.isNull())
        return out;
    if (!column.number) {
        const QUtf8StringView bytes = cell.utf8();
        out.kind = CellKind::Text;
        out.text = QByteArray(bytes.data(), bytes.size());
        if (const QString shown = badBytesShown(out.text); !shown.isEmpty())
            throw DbError(
                QStringLiteral("%1 tiene un texto que el servidor no puede guardar tal "
                               "cual: «%2» (los \\x son bytes que no forman texto UTF-8). %3")
                    .arg(cellPlace(table, rowid, column.name), shown,
                         fixIt(table, rowid, column.name)));
        if (!column.stamp)
            return out;
        // No stamp, to the program as to the server's column, which holds no text.
        if (out.text.isEmpty())
            return {};
        if (!isStoredStamp(out.text))
            throw DbError(
                QStringLiteral("%1 tiene «%2», que no es una fecha y hora como las guarda "
                               "el programa (AAAA-MM-DD HH:MM:SS). %3")
                    .arg(cellPlace(table, rowid, column.name), QString::fromUtf8(out.text),
                         fixIt(table, rowid, column.name)));
        return out;
    }
    if (cell.kind() == CellKind::Text && cell.utf8().isEmpty())
        return out;
    if (!cell.isNumber())
        throw DbError(QStringLiteral("%1 tiene «%2», que no es un número. %3")
                          .arg(cellPlace(table, rowid, column.name), cell.utf8().toString(),
                               fixIt(table, rowid, column.name)));
    const double value = cell.real();
    if (!column.whole) {
        out.kind = CellKind::Real;
        out.real = value;
        return out;
    }
    if (cell.kind() == CellKind::Real && (value != std::trunc(value) || std::fabs(value) > 9e15))
        throw DbError(QStringLiteral("%1 tiene %2, que no es un número entero. %3")
                          .arg(cellPlace(table, rowid, column.name), cell.utf8().toString(),
                               fixIt(table, rowid, column.name)));
    out.kind = CellKind::Integer;
    out.integer = cell.kind() == CellKind::Integer ? cell.integer() : qint64(value);
    return out;
}

QVariant boundValue(const CopyCell& cell)
{
    switch (cell.kind) {
    case CellKind::Integer:
        return QVariant(cell.integer);
    case CellKind::Real:
        return QVariant(cell.real);
    case CellKind::Text:
    case CellKind::Blob: {
        // Checked to be UTF-8, which comes back to the same bytes when the value is bound; a
        // leading byte-order mark is a character of the text, which fromUtf8 would drop.
        QStringDecoder decode(QStringConverter::Utf8,
                              QStringConverter::Flag::Stateless |
                                  QStringConverter::Flag::ConvertInitialBom);
        return QVariant(QString(decode(cell.text)));
    }
    case CellKind::Null:
        break;
    }
    return {};
}

// What is compared of a table: its rows, and for each column a checksum of its cells in rowid
// order (FNV-1a over each cell's kind, value and length) and the sum of its numbers.
class TableDigest final
{
public:
    explicit TableDigest(qsizetype columns)
        : m_checksums(size_t(columns), kOffset), m_sums(size_t(columns), 0.0)
    {
    }

    void add(const std::vector<CopyCell>& row)
    {
        ++m_rows;
        for (size_t i = 0; i < row.size(); ++i) {
            const CopyCell& cell = row[i];
            quint64& sum = m_checksums[i];
            const auto kind = char(cell.kind);
            mix(sum, &kind, 1);
            switch (cell.kind) {
            case CellKind::Integer:
                mix(sum, &cell.integer, sizeof cell.integer);
                m_sums[i] += double(cell.integer);
                break;
            case CellKind::Real:
                mix(sum, &cell.real, sizeof cell.real);
                m_sums[i] += cell.real;
                break;
            case CellKind::Text:
            case CellKind::Blob: {
                const qint64 size = cell.text.size();
                mix(sum, &size, sizeof size);
                mix(sum, cell.text.constData(), size_t(size));
                break;
            }
            case CellKind::Null:
                break;
            }
        }
    }

    qint64 rows() const { return m_rows; }
    double sum(qsizetype column) const { return m_sums[size_t(column)]; }
    // The first column whose cells differ from other's; -1 when none does.
    qsizetype firstDifference(const TableDigest& other) const
    {
        for (size_t i = 0; i < m_checksums.size(); ++i) {
            if (m_checksums[i] != other.m_checksums[i])
                return qsizetype(i);
        }
        return -1;
    }
    // The whole table's checksum, as the report prints it.
    QString checksum() const
    {
        quint64 whole = kOffset;
        for (const quint64 column : m_checksums)
            mix(whole, &column, sizeof column);
        return QStringLiteral("%1").arg(whole, 16, 16, QLatin1Char('0'));
    }

private:
    static constexpr quint64 kOffset = 14695981039346656037ULL;
    static void mix(quint64& hash, const void* data, size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash ^= bytes[i];
            hash *= 1099511628211ULL;
        }
    }

    qint64 m_rows = 0;
    std::vector<quint64> m_checksums;
    std::vector<double> m_sums;
};

// Walks the rows of table in rowid order, a page at a time, handing each row's cells as copyCell
// reads them.
template <typename EachRow>
void walkRows(Database& db, const QString& table, const std::vector<CopiedColumn>& columns,
              EachRow eachRow)
{
    QStringList names;
    for (const CopiedColumn& column : columns)
        names << column.name;
    const QString sql =
        QStringLiteral("select rowid, %1 from %2 where rowid > ? order by rowid limit %3")
            .arg(names.join(QStringLiteral(", ")), table)
            .arg(kRowsPerRead);
    std::vector<CopyCell> row(columns.size());
    qint64 after = std::numeric_limits<qint64>::min();
    for (bool more = true; more;) {
        Query rows(db, sql, {after});
        int read = 0;
        while (rows.next()) {
            ++read;
            after = rows.integer(0);
            for (size_t i = 0; i < columns.size(); ++i)
                row[i] = copyCell(rows.cell(int(i) + 1), columns[i], table, after);
            eachRow(row);
        }
        more = read == kRowsPerRead;
    }
}

// Before rights were applied every user reached every menu; the file gets them at its first
// start with this version (carryOverRights). The copy gives them on the way, leaving the file as
// it is: a user whose three columns are all empty gets all three. Returns whether it did.
bool giveEarlierRights(std::vector<CopyCell>& user, const std::vector<CopiedColumn>& columns)
{
    std::vector<size_t> rights;
    for (size_t i = 0; i < columns.size(); ++i) {
        const QString& name = columns[i].name;
        if (name == QLatin1String("Nivel") || name == QLatin1String("permisoproductos") ||
            name == QLatin1String("permisorecaudacion"))
            rights.push_back(i);
    }
    if (rights.size() != 3)
        return false;
    for (const size_t i : rights) {
        if (user[i].kind != CellKind::Null)
            return false;
    }
    for (const size_t i : rights) {
        user[i].kind = CellKind::Integer;
        user[i].integer = 1;
    }
    return true;
}

struct TableCopy {
    TableDigest file;
    int usersGivenRights = 0;
};

TableCopy copyTable(Database& file, Database& server, const QString& table,
                    const std::vector<CopiedColumn>& columns, bool giveRights)
{
    QStringList names;
    for (const CopiedColumn& column : columns)
        names << column.name;
    const QString oneRow =
        QStringLiteral("(") +
        QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
        QStringLiteral(")");
    std::vector<QVariant> pending;
    const auto flush = [&] {
        if (pending.empty())
            return;
        const qsizetype rows = qsizetype(pending.size() / columns.size());
        QStringList tuples(rows, oneRow);
        Query insert(server, QStringLiteral("insert into %1 (%2) values %3")
                                 .arg(table, names.join(QStringLiteral(", ")),
                                      tuples.join(QStringLiteral(", "))));
        for (size_t i = 0; i < pending.size(); ++i)
            insert.bind(int(i) + 1, pending[i]);
        insert.execute();
        pending.clear();
    };
    // In the order the rows were written, which the server's own numbering then keeps.
    TableCopy copy{TableDigest(qsizetype(columns.size()))};
    walkRows(file, table, columns, [&](std::vector<CopyCell>& row) {
        if (giveRights && giveEarlierRights(row, columns))
            ++copy.usersGivenRights;
        copy.file.add(row);
        for (const CopyCell& cell : row)
            pending.push_back(boundValue(cell));
        if (pending.size() >= size_t(kRowsPerInsert) * columns.size())
            flush();
    });
    flush();
    return copy;
}

int fileVersion(Database& file)
{
    Query version(file, QStringLiteral("PRAGMA user_version"));
    return version.next() ? int(version.integer(0)) : 0;
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
    Query users(server,
                QStringLiteral("select count(*) from Usuarios where NombreUsuario <> 'admin'"));
    return users.next() && users.integer(0) > 0;
}

QString copyShopToServer(const QString& filePath, Database& server)
{
    Database file;
    file.open(filePath);
    checkSchema(file);
    const bool giveRights = fileVersion(file) < kRightsCarriedOver;

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
        // A file from before a column was added copies without it, and the server's default
        // fills it; a table the file lacks altogether stays empty.
        const QStringList present = tableColumns(file, table.name);
        std::vector<CopiedColumn> columns;
        for (const ColumnSpec& column : table.columns) {
            if (!present.contains(column.name, Qt::CaseInsensitive))
                continue;
            const bool whole = column.type.startsWith(QLatin1String("INTEGER"));
            columns.push_back({column.name, whole || column.type.startsWith(QLatin1String("REAL")),
                               whole, column.type.startsWith(QLatin1String("DATETIME"))});
        }
        if (columns.empty())
            continue;
        const TableCopy copied = copyTable(file, server, table.name, columns,
                                           giveRights && table.name == QLatin1String("Usuarios"));

        // Read back from the server and taken the same way as from the file.
        TableDigest here(qsizetype(columns.size()));
        walkRows(server, table.name, columns,
                 [&](const std::vector<CopyCell>& row) { here.add(row); });
        const TableDigest& there = copied.file;
        if (there.rows() != here.rows())
            throw DbError(
                QStringLiteral("La tabla %1 no quedó igual en el servidor (%2 filas en el "
                               "archivo, %3 en el servidor); no se copió nada.")
                    .arg(table.name, locale.toString(there.rows()), locale.toString(here.rows())));
        if (const qsizetype differs = there.firstDifference(here); differs >= 0)
            throw DbError(QStringLiteral("La tabla %1 no quedó igual en el servidor: la columna %2 "
                                         "guardó otros valores que los del archivo (el servidor no "
                                         "admite alguno tal como está escrito); no se copió nada. "
                                         "Revise esa columna en el archivo con el shell sqlcipher.")
                              .arg(table.name, columns[size_t(differs)].name));

        QString line = QStringLiteral("%1: filas %2").arg(table.name, locale.toString(here.rows()));
        if (here.rows() > 0) {
            QStringList sums;
            for (size_t i = 0; i < columns.size(); ++i) {
                if (columns[i].number)
                    sums << QStringLiteral("%1 %2").arg(
                        columns[i].name, plainNumber(here.sum(qsizetype(i)), locale));
            }
            if (!sums.isEmpty())
                line += QStringLiteral("; sumas: ") + sums.join(QStringLiteral(", "));
            line += QStringLiteral("; control ") + here.checksum();
        }
        if (copied.usersGivenRights > 0)
            line += QStringLiteral("; %1 con los tres permisos vacíos recibieron los tres, como al "
                                   "abrir el archivo con esta versión")
                        .arg(copied.usersGivenRights == 1
                                 ? QStringLiteral("1 usuario")
                                 : QStringLiteral("%1 usuarios").arg(copied.usersGivenRights));
        report << line;
    }
    tx.commit();
    report << QStringLiteral("Filas, sumas y cada celda iguales en el archivo y en el servidor.");
    return report.join(QLatin1Char('\n'));
}

} // namespace tarvino
