// The sales day in the file: whether one is left open, its stamp, and closing it.
#include "sales/sales_day.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/window_data.h"

#include <QStringList>

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

    // A day without a valid stamp has no day row to stamp.
    if (readStamp(openingStamp)) {
        WindowData data(db);
        data.OpenTipoPagoOfDay(openingStamp);
        if (!data.rs.eof()) {
            data.rs.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
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

} // namespace tarvino
