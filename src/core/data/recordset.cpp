// A record set over one query: walk its rows, read and assign columns by name, add, update, delete.
#include "data/recordset.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/engine.h"
#include "data/query.h"

#include <QRegularExpression>

#include <cmath>
#include <vector>

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

QVariant columnValue(const Statement& stmt, int i)
{
    CellValue cell;
    stmt.cell(i, cell);
    switch (cell.kind) {
    case CellKind::Integer:
        return QVariant(qint64(cell.integer));
    case CellKind::Real:
        return QVariant(cell.real);
    case CellKind::Null:
        return QVariant();
    default:
        return QVariant(QString::fromUtf8(cell.text, cell.size));
    }
}

} // namespace

void RecordSet::openLocking(Database& db, const QString& sql, const QVariantList& params)
{
    open(db, db.lockingRead(sql), params);
}

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
    // A grouped query has no one row behind each of its rows; the server refuses a bare rowid
    // there, and takes the group's first.
    static const QRegularExpression grouped(QStringLiteral("\\bgroup\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString rowid = db.dialect().rowidColumn(grouped.match(sql).hasMatch());
    QString withRowid = sql;
    withRowid.replace(leadingSelect, QStringLiteral("select %1, ").arg(rowid));

    Statement& stmt = db.statement(withRowid);
    for (int i = 0; i < params.size(); ++i)
        stmt.bind(i + 1, params[i]);

    // The columns are read after the first step: a cached statement prepared before the table
    // changed (the ValorUnitario upgrade) is prepared again by that step, and only then does it
    // list the table's present columns. A server's table has rowid as a column of its own, which
    // "select *" lists again: it is shown once, as the row's.
    bool more = false;
    try {
        more = stmt.step();
    } catch (const DbError&) {
        stmt.reset();
        throw;
    }
    const int count = stmt.columnCount();
    std::vector<int> shown;
    for (int i = 1; i < count; ++i) {
        const QString name = stmt.columnName(i);
        if (name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            continue;
        shown.push_back(i);
        m_columns << name;
        m_kinds << kindOfDeclaredType(stmt.declaredType(i));
    }
    try {
        for (; more; more = stmt.step()) {
            Row row;
            CellValue id;
            stmt.cell(0, id);
            row.rowid = id.integer;
            row.values.reserve(qsizetype(shown.size()));
            for (int i : shown)
                row.values << columnValue(stmt, i);
            row.dirty.fill(false, qsizetype(shown.size()));
            m_rows << std::move(row);
        }
    } catch (const DbError&) {
        stmt.reset();
        close();
        throw;
    }
    stmt.reset();
    m_db = &db;
    m_pos = 0;
}

void RecordSet::close()
{
    m_db = nullptr;
    m_table.clear();
    m_columns.clear();
    m_kinds.clear();
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
    // A record set has a handful of columns, and every cell a sale reads or writes is looked up
    // here: a look along the names costs less than a lowered copy of the name to hash. Of two
    // columns of the same name, the last is the one.
    for (qsizetype i = m_columns.size() - 1; i >= 0; --i) {
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    throw DbError(QStringLiteral("La columna «%1» no existe en la tabla %2.").arg(column, m_table));
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
    const QString& column = m_columns[index];
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
    write(current());
}

void RecordSet::updateBatch()
{
    requireTable();
    RowBatch batch;
    batch.table = m_table;
    std::vector<qsizetype> members; // the record set's rows in the batch
    std::vector<qint64> rowids;     // and their rowids, when they are changed
    bool adding = false;
    QVector<bool> shape; // the columns the batch's rows give
    const auto flush = [&] {
        if (members.empty())
            return;
        if (adding) {
            const std::vector<qint64> added = m_db->insertRows(batch);
            for (size_t i = 0; i < members.size(); ++i) {
                m_rows[members[i]].rowid = added[i];
                m_rows[members[i]].isNew = false;
            }
        } else {
            m_db->updateRows(batch, rowids);
        }
        for (qsizetype i : members)
            m_rows[i].dirty.fill(false);
        members.clear();
        rowids.clear();
        batch.rows.clear();
    };
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        const bool changed = row.dirty.contains(true);
        if (row.deleted || (!changed && !row.isNew))
            continue;
        if (row.isNew != adding || row.dirty != shape)
            flush();
        if (!changed) {
            // An added row of nothing but defaults: a statement of its own.
            write(row);
            continue;
        }
        if (members.empty()) {
            adding = row.isNew;
            shape = row.dirty;
            batch.columns.clear();
            for (qsizetype c = 0; c < m_columns.size(); ++c) {
                if (shape[c])
                    batch.columns << m_columns[c];
            }
        }
        QVariantList values;
        values.reserve(batch.columns.size());
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            if (shape[c])
                values << row.values[c];
        }
        batch.rows.push_back(std::move(values));
        members.push_back(i);
        if (!adding)
            rowids.push_back(row.rowid);
    }
    flush();
}

void RecordSet::write(Row& row)
{
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
            sql = QStringLiteral("insert into %1 default values").arg(m_table);
        } else {
            QStringList marks;
            for (qsizetype i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(m_table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        Statement& stmt = m_db->statement(sql);
        for (int i = 0; i < values.size(); ++i)
            stmt.bind(i + 1, values[i]);
        m_db->stepWrite(stmt);
        row.rowid = m_db->lastInsertRowid();
        row.isNew = false;
    } else if (!names.isEmpty()) {
        QStringList sets;
        for (const QString& name : std::as_const(names))
            sets << name + QStringLiteral("=?");
        const QString sql = QStringLiteral("update %1 set %2 where rowid=?")
                                .arg(m_table, sets.join(QLatin1Char(',')));
        Statement& stmt = m_db->statement(sql);
        int i = 0;
        for (; i < values.size(); ++i)
            stmt.bind(i + 1, values[i]);
        stmt.bind(i + 1, row.rowid);
        m_db->stepWrite(stmt);
    }
    row.dirty.fill(false);
}

void RecordSet::deleteCurrent()
{
    requireTable();
    Row& row = current();
    if (!row.isNew) {
        Statement& stmt = m_db->statement(QStringLiteral("delete from %1 where rowid=?").arg(m_table));
        stmt.bind(1, row.rowid);
        m_db->stepWrite(stmt);
    }
    row.deleted = true;
}

} // namespace tarvino
