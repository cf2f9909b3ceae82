// The sales day in the file: whether one is left open, its stamp, and closing it.
#include "sales/sales_day.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/window_data.h"

#include <QStringList>

#include <sqlite3.h>

namespace tarvino {

namespace {
const QStringList kCopiedColumns = {
    QStringLiteral("CodigoProducto"), QStringLiteral("NombreProducto"), QStringLiteral("Cantidad"),
    QStringLiteral("TotalCosto"),     QStringLiteral("TotalVenta"),     QStringLiteral("TipoPago"),
    QStringLiteral("NombreUsuario"),  QStringLiteral("Categoria"),      QStringLiteral("FechaInicio"),
    QStringLiteral("FechaVenta")};
}

std::optional<QString> firstTemporalStamp(Database& db)
{
    WindowData data(db);
    data.OpenTemporalFirstRow();
    if (data.rs.eof())
        return std::nullopt;
    return data.rs.text(QStringLiteral("FechaInicio"));
}

int cierreDelDia(Database& db, const Clock& clock, const QString& openingStamp)
{
    Transaction tx(db);

    // The day row of the stamp is closed, and so is the row of every other day whose lines are
    // still waiting here: a day whose closing failed at start-up is closed with the day after it.
    QStringList stamps;
    if (readStamp(openingStamp))
        stamps << openingStamp;
    {
        sqlite3_stmt* days = db.statement(QStringLiteral("select distinct FechaInicio from Temporal"));
        int rc;
        while ((rc = sqlite3_step(days)) == SQLITE_ROW) {
            const auto stamp = isoToStamp(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(days, 0))));
            if (stamp && !stamps.contains(*stamp))
                stamps << *stamp;
        }
        sqlite3_reset(days);
        if (rc != SQLITE_DONE)
            db.raise(rc);
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
    const int copied = db.stepWrite(db.statement(
        QStringLiteral("insert into Recaudacion (%1) select %1 from Temporal order by rowid").arg(columns)));
    db.stepWrite(db.statement(QStringLiteral("delete from Temporal")));

    tx.commit();
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
