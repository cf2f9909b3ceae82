// A record set over one query: walk its rows, read and assign columns by name, add, update, delete.
#include "data/recordset.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>

namespace tarvino {

RecordSet::Kind kindOfDeclaredType(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        return RecordSet::Kind::DateTime;
    if (t.contains(QLatin1String("INT")))
        return RecordSet::Kind::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("TEXT")))
        return RecordSet::Kind::Text;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("DEC")))
        return RecordSet::Kind::Real;
    return RecordSet::Kind::Other;
}

namespace {

QString quoteName(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QVariant columnValue(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)), sqlite3_column_bytes(stmt, i)));
    }
}

} // namespace

void RecordSet::open(Database& db, const QString& sql, const QVariantList& params)
{
    close();
    static const QRegularExpression fromTable(QStringLiteral("\\bfrom\\s+(\\w+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression leadingSelect(QStringLiteral("^\\s*select\\s+"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const auto match = fromTable.match(sql);
    m_table = match.hasMatch() ? match.captured(1) : QString();
    // The rowid rides along as column 0 so that changed rows can be written back.
    QString withRowid = sql;
    withRowid.replace(leadingSelect, QStringLiteral("select rowid, "));

    sqlite3_stmt* stmt = db.statement(withRowid);
    for (int i = 0; i < params.size(); ++i)
        Database::bind(stmt, i + 1, params[i]);

    // The columns are read after the first step: a cached statement prepared before the table
    // changed (the ValorUnitario upgrade) is prepared again by that step, and only then does it
    // list the table's present columns.
    int rc = sqlite3_step(stmt);
    const int count = sqlite3_column_count(stmt);
    for (int i = 1; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i));
        const char* declared = sqlite3_column_decltype(stmt, i);
        m_columns << name;
        m_kinds << kindOfDeclaredType(declared ? QString::fromUtf8(declared) : QString());
        m_index.insert(name.toLower(), i - 1);
    }
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        Row row;
        row.rowid = sqlite3_column_int64(stmt, 0);
        row.values.reserve(count - 1);
        for (int i = 1; i < count; ++i)
            row.values << columnValue(stmt, i);
        row.dirty.fill(false, count - 1);
        m_rows << std::move(row);
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        m_rows.clear();
        db.raise(rc);
    }
    m_db = &db;
    m_pos = 0;
}

void RecordSet::close()
{
    m_db = nullptr;
    m_table.clear();
    m_columns.clear();
    m_kinds.clear();
    m_index.clear();
    m_rows.clear();
    m_pos = 0;
}

bool RecordSet::eof() const
{
    return m_pos >= m_rows.size();
}

void RecordSet::moveFirst()
{
    m_pos = 0;
    while (m_pos < m_rows.size() && m_rows[m_pos].deleted)
        ++m_pos;
}

void RecordSet::moveNext()
{
    if (m_pos < m_rows.size())
        ++m_pos;
    while (m_pos < m_rows.size() && m_rows[m_pos].deleted)
        ++m_pos;
}

void RecordSet::moveLast()
{
    m_pos = m_rows.size() - 1;
    while (m_pos >= 0 && m_rows[m_pos].deleted)
        --m_pos;
    if (m_pos < 0)
        m_pos = m_rows.size();
}

int RecordSet::columnIndex(const QString& column) const
{
    const auto it = m_index.constFind(column.toLower());
    if (it == m_index.constEnd())
        throw DbError(QStringLiteral("La columna «%1» no existe en la tabla %2.").arg(column, m_table));
    return *it;
}

const RecordSet::Row& RecordSet::current() const
{
    if (m_pos < 0 || m_pos >= m_rows.size() || m_rows[m_pos].deleted)
        throw DbError(QStringLiteral("No hay un registro actual en la tabla %1.").arg(m_table));
    return m_rows[m_pos];
}

RecordSet::Row& RecordSet::current()
{
    return const_cast<Row&>(std::as_const(*this).current());
}

QVariant RecordSet::value(const QString& column) const
{
    const int i = columnIndex(column);
    const QVariant& v = current().values[i];
    if (m_kinds[i] == Kind::DateTime && v.typeId() == QMetaType::QString) {
        if (auto stamp = isoToStamp(v.toString()))
            return *stamp;
    }
    return v;
}

QString RecordSet::text(const QString& column) const
{
    return storedText(value(column));
}

double RecordSet::number(const QString& column) const
{
    return storedNumber(value(column), column);
}

QVariant RecordSet::convertForColumn(int index, const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    const QString column = m_columns[index];
    switch (m_kinds[index]) {
    case Kind::Real:
    case Kind::Integer: {
        double number = 0;
        if (isText) {
            auto n = readNumber(value.toString());
            if (!n)
                throw DbError(QStringLiteral("«%1» no es un número válido para la columna %2.")
                                  .arg(value.toString(), column));
            number = *n;
        } else {
            number = value.toDouble();
        }
        if (m_kinds[index] == Kind::Integer)
            return QVariant(qint64(std::llround(number)));
        return QVariant(number);
    }
    case Kind::DateTime: {
        if (value.typeId() == QMetaType::QDateTime)
            return isoText(value.toDateTime());
        const QString text = value.toString();
        if (auto iso = stampToIso(text))
            return *iso;
        if (readIso(text))
            return text;
        throw DbError(QStringLiteral("«%1» no es una fecha y hora válida para la columna %2.")
                          .arg(text, column));
    }
    case Kind::Text:
        if (value.typeId() == QMetaType::Double)
            return plainNumber(value.toDouble());
        return value.toString();
    case Kind::Other:
        break;
    }
    return value;
}

void RecordSet::setValue(const QString& column, const QVariant& value)
{
    const int i = columnIndex(column);
    Row& row = current();
    row.values[i] = convertForColumn(i, value);
    row.dirty[i] = true;
}

void RecordSet::requireTable() const
{
    if (!m_db || m_table.isEmpty())
        throw DbError(QStringLiteral("El conjunto de registros no admite cambios."));
}

void RecordSet::addNew()
{
    requireTable();
    Row row;
    row.isNew = true;
    row.values.resize(m_columns.size());
    row.dirty.fill(false, m_columns.size());
    m_rows << row;
    m_pos = m_rows.size() - 1;
}

void RecordSet::update()
{
    requireTable();
    Row& row = current();
    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (row.dirty[i]) {
            names << quoteName(m_columns[i]);
            values << row.values[i];
        }
    }
    if (row.isNew) {
        QString sql;
        if (names.isEmpty()) {
            sql = QStringLiteral("insert into %1 default values").arg(quoteName(m_table));
        } else {
            QStringList marks;
            for (qsizetype i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(quoteName(m_table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        sqlite3_stmt* stmt = m_db->statement(sql);
        for (int i = 0; i < values.size(); ++i)
            Database::bind(stmt, i + 1, values[i]);
        m_db->stepWrite(stmt);
        row.rowid = m_db->lastInsertRowid();
        row.isNew = false;
    } else if (!names.isEmpty()) {
        QStringList sets;
        for (const QString& name : std::as_const(names))
            sets << name + QStringLiteral("=?");
        const QString sql = QStringLiteral("update %1 set %2 where rowid=?")
                                .arg(quoteName(m_table), sets.join(QLatin1Char(',')));
        sqlite3_stmt* stmt = m_db->statement(sql);
        int i = 0;
        for (; i < values.size(); ++i)
            Database::bind(stmt, i + 1, values[i]);
        Database::bind(stmt, i + 1, row.rowid);
        m_db->stepWrite(stmt);
    }
    row.dirty.fill(false);
}

void RecordSet::deleteCurrent()
{
    requireTable();
    Row& row = current();
    if (!row.isNew) {
        sqlite3_stmt* stmt =
            m_db->statement(QStringLiteral("delete from %1 where rowid=?").arg(quoteName(m_table)));
        Database::bind(stmt, 1, row.rowid);
        m_db->stepWrite(stmt);
    }
    row.deleted = true;
}

} // namespace tarvino
