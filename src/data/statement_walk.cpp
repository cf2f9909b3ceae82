// Reading the rows of one of the connection's cached statements straight off the engine.
#include "data/statement_walk.h"

#include "data/database.h"

#include <sqlite3.h>

namespace tarvino {

StatementWalk::StatementWalk(Database& db, const QString& sql, std::initializer_list<QVariant> values)
    : m_db(db), m_stmt(db.statement(sql))
{
    int index = 1;
    for (const QVariant& value : values)
        Database::bind(m_stmt, index++, value);
}

StatementWalk::~StatementWalk()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool StatementWalk::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_db.raise(rc);
    return false;
}

QString StatementWalk::text(int i) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i)) : QString();
}

double StatementWalk::number(int i) const
{
    return sqlite3_column_double(m_stmt, i);
}

bool StatementWalk::isNull(int i) const
{
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

} // namespace tarvino
