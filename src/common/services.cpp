// The real clock and the way a database failure is told; the other real services need widgets and
// live with the windows.
#include "common/services.h"

#include "data/database.h"

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

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace tarvino
