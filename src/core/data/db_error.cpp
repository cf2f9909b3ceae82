// How a database failure is told to the cashier.
#include "data/db_error.h"

#include "common/services.h"

namespace tarvino {

void reportDbError(Messages& messages, const QString& what, const DbError& error)
{
    // A connection closed until the program starts again refuses everything alike; what was
    // being done, and what became of it, would only blur the one instruction that counts.
    if (dynamic_cast<const DatabaseClosedUntilRestart*>(&error)) {
        messages.inform(error.message(), kAppTitle, Messages::Icon::Critical);
        return;
    }
    messages.inform(what + QStringLiteral("\n\n") + error.message(), kAppTitle, Messages::Icon::Critical);
}

} // namespace tarvino
