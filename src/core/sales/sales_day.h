// The sales day: its opening stamp and user, the start-up look for a day left open, the sales
// recorded into it and its closing. No widget: the sales window owns one and shows it.
#pragma once

#include "common/money.h"
#include "sales/recording.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tarvino {

class Clock;
class Database;
class Messages;

class SalesDay final {
public:
    SalesDay(Database& db, const Clock& clock);

    // How the start-up left the day.
    enum class Start {
        Refused, // the file could not be prepared (told to the cashier): no sale may be taken
        NewDay,  // nothing was left open, or what was has been closed: the login opens a new day
        Resume,  // the cashier goes on with the day left open: its stamp is reloaded after login
    };
    // Brings Temporal up to date and looks for a day left open; when there is one, asks whether to
    // go on with it and otherwise closes it. Failures are told through messages. While the
    // question is open, openingStamp() is the stamp of the day left open.
    Start load(Messages& messages);

    // The login: a new day for user, stamped with the clock's time or with the given stamp. A day
    // the start-up went on with because its opening cash was recorded keeps its own stamp.
    void begin(const QString& user);
    void begin(const QString& user, const QString& openingStamp);
    // A change of cashier: the day, its stamp and its start-up stay; the next sales carry user.
    void changeUser(const QString& user);
    // After the day was closed with its count, the next day for the same user, as a login would
    // begin it.
    void startNewDay(const QString& user);

    // Reloads the stamp from the first Temporal line, the day a resumed run sells into. Kept as it
    // is while an earlier day waits to be closed. Throws DbError.
    void reload();

    // Records a settled sale into the day (see recordSale) and follows the day it went to.
    RecordedSale record(const SaleLines& lines, const QString& total, const QString& paymentKind,
                        Cents cashPart = 0);

    // Closes the day, and with it any earlier day still waiting; returns the lines copied.
    // Throws DbError, leaving the day open with all its lines.
    int close();

    // A copy of the file after the closing; what the cashier must be told, empty when all went well.
    QString backUp() const;

    const QString& openingStamp() const { return m_openingStamp; }
    const QString& user() const { return m_user; }
    // When the user at the till logged in (the start of a change of cashier's share).
    const QDateTime& userSince() const { return m_userSince; }
    // Whether the start-up went on with a day left open rather than starting a new one.
    bool goesOn() const { return m_goesOn; }
    // The closing of an earlier day failed at start-up: its lines still wait in Temporal.
    bool earlierDayUnclosed() const { return m_earlierDayUnclosed; }
    // The lines the latest closing copied into the history.
    int linesClosed() const { return m_linesClosed; }

private:
    Database& m_db;
    const Clock& m_clock;
    QString m_openingStamp;
    QString m_user;
    QDateTime m_userSince;
    bool m_goesOn = false;
    bool m_keepStamp = false;
    bool m_earlierDayUnclosed = false;
    int m_linesClosed = 0;
};

// The question asked at start-up when Temporal still holds the lines of a day.
extern const QString kQuestionUnclosedDay;
// What the cashier is told when the closing failed.
extern const QString kClosingFailed;

// A day's opening stamp ("dd/mm/yyyy h:mm:ss") in its stored form, to bind. Throws DbError
// naming a stamp that is none.
QString storedDayStamp(const QString& openingStamp);

// The opening cash recorded for the day of the stamp (FondoCaja), when there is one.
std::optional<Cents> openingCashOf(Database& db, const QString& dayStamp);

// The stamp of a day whose opening cash was recorded and which has not been closed: a start that
// finds no line waiting goes on with it without asking.
std::optional<QString> openOpeningCashDay(Database& db);

// CajaInicial of a day row for an opening cash: its whole pesos.
qint64 wholePesos(Cents cents);

// The FechaInicio of the first Temporal row, when there is one.
std::optional<QString> firstTemporalStamp(Database& db);

// Closes the sales day of the given stamp: copies every Temporal line to Recaudacion, stamps the
// FechaCierre of its day row, and of the day row of every other day with lines in Temporal, with
// the current time and empties Temporal, in one transaction. After a
// failure (DbError) the day is still open with all its lines, so running it again is safe.
// Returns the number of lines copied.
int cierreDelDia(Database& db, const Clock& clock, const QString& openingStamp);
// The closing's work inside a transaction the caller holds, so that more may be stored with it
// (the count of the drawer); the opening cash of every day still open is marked closed too.
int closeOpenDays(Database& db, const Clock& clock, const QString& openingStamp);

// The question asked when the closing at exit failed with cause: leave anyway (the day stays open
// and is offered for closing at the next start) or stay and try again.
QString exitAfterFailedClosingQuestion(const QString& cause);

// After the day of the given stamp has closed: a copy of the file in the folder of copies, named
// by the day's opening (the clock's time when the stamp is not one). Never throws: returns what
// the cashier must be told, empty when all went well.
QString backUpClosedDay(Database& db, const Clock& clock, const QString& openingStamp);

} // namespace tarvino
