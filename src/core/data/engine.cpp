// The seam between the data layer and the database engine behind it.
#include "data/engine.h"

#include "data/db_error.h"

namespace tarvino {

int Engine::write(Statement& stmt)
{
    try {
        stmt.step();
    } catch (const DbError&) {
        stmt.reset();
        throw;
    }
    stmt.reset();
    return stmt.changes();
}

} // namespace tarvino
