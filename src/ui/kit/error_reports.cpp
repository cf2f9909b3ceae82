// Error reports: work whose database failure is told to the user.
#include "kit/error_reports.h"

#include "data/db_error.h"

namespace tarvino {

bool guarded(Messages& messages, const QString& what, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const DbError& e) {
        reportDbError(messages, what, e);
        return false;
    }
}

} // namespace tarvino
