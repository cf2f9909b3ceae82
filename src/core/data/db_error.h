// The failures of the database, and how one is told to the cashier.
#pragma once

#include <QString>

#include <stdexcept>

namespace tarvino {

class Messages;

// A database failure; message() is Spanish and fit to show to the cashier.
class DbError : public std::runtime_error {
public:
    // Contents: what the file holds is the cause (empty, not encrypted, another key, damaged, not
    // the program's tables), so another copy of the file would do; Other: the disk, a permission
    // or the engine, which no copy mends.
    enum class Cause { Other, Contents };
    explicit DbError(const QString& message, Cause cause = Cause::Other)
        : std::runtime_error(message.toStdString()), m_message(message), m_cause(cause)
    {
    }
    QString message() const { return m_message; }
    Cause cause() const { return m_cause; }

private:
    QString m_message;
    Cause m_cause;
};

// Every use of a connection that was closed until the program starts again: message() is the
// instruction for the cashier given when it was closed, and says all there is to say.
class DatabaseClosedUntilRestart : public DbError {
public:
    using DbError::DbError;
};

// A database failure told to the cashier: what could not be done, then the cause.
void reportDbError(Messages& messages, const QString& what, const DbError& error);

} // namespace tarvino
