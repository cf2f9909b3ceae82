// The sales day: whether one is left open, its stamp, the sales recorded into it and closing it.
#include "sales/sales_day.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/query.h"
#include "data/window_data.h"

#include <QStringList>

namespace tarvino {

namespace {
const QStringList kCopiedColumns = {
    QStringLiteral("CodigoProducto"), QStringLiteral("NombreProducto"), QStringLiteral("Cantidad"),
    QStringLiteral("TotalCosto"),     QStringLiteral("TotalVenta"),     QStringLiteral("TipoPago"),
    QStringLiteral("NombreUsuario"),  QStringLiteral("Categoria"),      QStringLiteral("FechaInicio"),
    QStringLiteral("FechaVenta")};
} // namespace

const QString kQuestionUnclosedDay = QStringLiteral(
    "El sistema se cerró en forma inesperada, ¿continuar con el inicio de ventas anterior?. Si "
    "presiona NO se cerrará la venta anterior y comenzará un nuevo inicio de ventas");
const QString kClosingFailed = QStringLiteral(
    "No se pudo cerrar el día de ventas. El día sigue abierto con todas sus ventas y se ofrecerá "
    "cerrarlo en el próximo inicio.");

SalesDay::SalesDay(Database& db, const Clock& clock) : m_db(db), m_clock(clock) {}

SalesDay::Start SalesDay::load(Messages& messages)
{
    // Without the column check and the look for an unclosed day, a sale could land in an old day
    // nobody was asked about: the till does not open then.
    std::optional<QString> interrupted;
    try {
        actualizarTemporal(m_db);
        interrupted = firstTemporalStamp(m_db);
    } catch (const DbError& e) {
        reportDbError(messages,
                      QStringLiteral("No se pudo preparar el día de ventas, por lo que el programa se "
                                     "cerrará sin registrar ventas. Los datos guardados no cambiaron."),
                      e);
        return Start::Refused;
    }
    if (!interrupted) {
        // A day whose opening cash was recorded, and nothing sold yet, goes on without a question.
        std::optional<QString> counted;
        try {
            counted = openOpeningCashDay(m_db);
        } catch (const DbError& e) {
            reportDbError(messages,
                          QStringLiteral("No se pudo preparar el día de ventas, por lo que el programa "
                                         "se cerrará sin registrar ventas. Los datos guardados no "
                                         "cambiaron."),
                          e);
            return Start::Refused;
        }
        if (!counted)
            return Start::NewDay;
        m_openingStamp = *counted;
        m_goesOn = true;
        m_keepStamp = true;
        return Start::Resume;
    }
    // Until the login the day at hand is the one left open: it is the one asked about and closed.
    m_openingStamp = *interrupted;
    if (messages.ask(kQuestionUnclosedDay, kConfirmTitle)) {
        m_goesOn = true;
        return Start::Resume;
    }
    try {
        close();
    } catch (const DbError& e) {
        // That day's lines keep waiting: the sales of this run keep a day of their own, and the
        // exit closes both days.
        reportDbError(messages, kClosingFailed, e);
        m_earlierDayUnclosed = true;
    }
    return Start::NewDay;
}

void SalesDay::begin(const QString& user)
{
    begin(user, stampText(m_clock.now()));
}

void SalesDay::begin(const QString& user, const QString& openingStamp)
{
    m_user = user;
    m_userSince = m_clock.now();
    // A day whose opening cash was recorded and nothing sold keeps its stamp: no line in
    // Temporal would bring it back.
    if (!m_keepStamp)
        m_openingStamp = openingStamp;
    m_keepStamp = false;
}

void SalesDay::changeUser(const QString& user)
{
    m_user = user;
    m_userSince = m_clock.now();
}

void SalesDay::startNewDay(const QString& user)
{
    m_goesOn = false;
    m_keepStamp = false;
    m_earlierDayUnclosed = false;
    begin(user);
}

void SalesDay::reload()
{
    // The first lines waiting are those of an earlier day that could not be closed: this run's
    // sales keep their own day.
    if (m_earlierDayUnclosed)
        return;
    if (auto stamp = firstTemporalStamp(m_db))
        m_openingStamp = *stamp;
}

RecordedSale SalesDay::record(const SaleLines& lines, const QString& total, const QString& paymentKind,
                              Cents cashPart)
{
    SaleToRecord sale{lines, m_openingStamp, m_user, total, paymentKind};
    sale.cashPart = cashPart;
    sale.earlierDayUnclosed = m_earlierDayUnclosed;
    RecordedSale recorded = recordSale(m_db, m_clock, sale);
    m_openingStamp = recorded.openingStamp;
    return recorded;
}

int SalesDay::close()
{
    m_linesClosed = cierreDelDia(m_db, m_clock, m_openingStamp);
    m_earlierDayUnclosed = false;
    return m_linesClosed;
}

QString SalesDay::backUp() const
{
    return backUpClosedDay(m_db, m_clock, m_openingStamp);
}

// ---- The record-set routines on Temporal and TipoPago ------------------------------------------

// Only the first line, and no line at all (for adding lines): the day can be long.
void WindowData::OpenTemporalFirstRow()
{
    rs.open(m_db, QStringLiteral("select * from Temporal limit 1"));
}

void WindowData::OpenTemporalForAdding()
{
    rs.open(m_db, QStringLiteral("select * from Temporal limit 0"));
}

// The stamp is bound in its stored form.
void WindowData::OpenTipoPagoOfDay(const QString& openingStamp)
{
    rs.open(m_db, QStringLiteral("select * from TipoPago where FechaInicio = ? order by FechaInicio"),
            {storedDayStamp(openingStamp)});
}

std::optional<QString> firstTemporalStamp(Database& db)
{
    WindowData data(db);
    data.OpenTemporalFirstRow();
    if (data.rs.eof())
        return std::nullopt;
    return data.rs.text(QStringLiteral("FechaInicio"));
}

QString storedDayStamp(const QString& openingStamp)
{
    const auto iso = stampToIso(openingStamp);
    if (!iso)
        throw DbError(QStringLiteral("La fecha de inicio de ventas «%1» no es válida.").arg(openingStamp));
    return *iso;
}

std::optional<Cents> openingCashOf(Database& db, const QString& dayStamp)
{
    Query read(db,
               QStringLiteral("select Monto from FondoCaja where FechaInicio = ? order by rowid desc limit 1"),
               {storedDayStamp(dayStamp)});
    if (read.next())
        return toCents(read.number(0));
    return std::nullopt;
}

std::optional<QString> openOpeningCashDay(Database& db)
{
    Query read(db, QStringLiteral("select FechaInicio from FondoCaja where FechaCierre is null "
                                  "order by FechaInicio desc limit 1"));
    if (read.next())
        return read.stamp(0);
    return std::nullopt;
}

qint64 wholePesos(Cents cents)
{
    return cents / 100;
}

int cierreDelDia(Database& db, const Clock& clock, const QString& openingStamp)
{
    Transaction tx(db);
    const int copied = closeOpenDays(db, clock, openingStamp);
    tx.commit();
    return copied;
}

int closeOpenDays(Database& db, const Clock& clock, const QString& openingStamp)
{
    // The day row of the stamp is closed, and so is the row of every other day whose lines are
    // still waiting here: a day whose closing failed at start-up is closed with the day after it.
    QStringList stamps;
    if (readStamp(openingStamp))
        stamps << openingStamp;
    {
        Query days(db, QStringLiteral("select distinct FechaInicio from Temporal"));
        while (days.next()) {
            const auto stamp = isoToStamp(days.text(0));
            if (stamp && !stamps.contains(*stamp))
                stamps << *stamp;
        }
    }
    const QString closedAt = stampText(clock.now());
    for (const QString& stamp : std::as_const(stamps)) {
        WindowData data(db);
        data.OpenTipoPagoOfDay(stamp);
        if (!data.rs.eof()) {
            data.rs.setValue(QStringLiteral("FechaCierre"), closedAt);
            data.rs.update();
        }
        data.CloseDatabase();
    }

    // The day's lines move to the history as they are stored, in the order they were written;
    // a day of many thousand lines is copied in one statement rather than row by row.
    const QString columns = kCopiedColumns.join(QStringLiteral(", "));
    const int copied =
        Query(db, QStringLiteral("insert into Recaudacion (%1) select %1 from Temporal order by rowid")
                      .arg(columns))
            .execute();
    Query(db, QStringLiteral("delete from Temporal")).execute();
    // An opening cash recorded for a day closed here, sold in or not, is not offered again.
    Query(db, QStringLiteral("update FondoCaja set FechaCierre = ? where FechaCierre is null"),
          {isoText(clock.now())})
        .execute();
    return copied;
}

QString exitAfterFailedClosingQuestion(const QString& cause)
{
    return QStringLiteral(
               "No se pudo cerrar el día de ventas.\n\n%1\n\nEl día sigue abierto con todas sus "
               "ventas; no se perdió nada.\n\n¿Salir de todos modos? Al volver a abrir el "
               "programa se ofrecerá cerrar el día. Con «No» el programa sigue abierto: resuelva "
               "la causa (por ejemplo, libere espacio en el disco) y vuelva a salir.")
        .arg(cause);
}

QString backUpClosedDay(Database& db, const Clock& clock, const QString& openingStamp)
{
    const QDateTime opened = readStamp(openingStamp).value_or(clock.now());
    try {
        return backUpDatabase(db, opened).warning;
    } catch (const DbError& e) {
        return QStringLiteral("El día de ventas quedó cerrado y guardado, pero falló su copia de "
                              "respaldo.\n\n%1\n\n"
                              "Las copias anteriores de la carpeta «%2» no cambiaron.")
            .arg(e.message(), backupFolder(db.path()));
    }
}

} // namespace tarvino
