// The sales day in the file: whether one is left open, its stamp, and closing it.
#include "sales/sales_day.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/queries.h"
#include "data/recordset.h"

#include <QStringList>
#include <QVector>

namespace tarvino {

namespace {
const QStringList kCopiedColumns = {
    QStringLiteral("CodigoProducto"), QStringLiteral("NombreProducto"), QStringLiteral("Cantidad"),
    QStringLiteral("TotalCosto"),     QStringLiteral("TotalVenta"),     QStringLiteral("TipoPago"),
    QStringLiteral("NombreUsuario"),  QStringLiteral("Categoria"),      QStringLiteral("FechaInicio"),
    QStringLiteral("FechaVenta")};
}

bool hasUnclosedDay(Database& db)
{
    RecordSet rs;
    rs.open(db, queries::kTemporalPrimera);
    return !rs.eof();
}

std::optional<QString> firstTemporalStamp(Database& db)
{
    RecordSet rs;
    rs.open(db, queries::kTemporalPrimera);
    if (rs.eof())
        return std::nullopt;
    return rs.text(QStringLiteral("FechaInicio"));
}

int cierreDelDia(Database& db, const Clock& clock, const QString& openingStamp)
{
    Transaction tx(db);

    // The closing buffer: the ten columns of each Temporal line, in the order the query gives.
    // The Temporal lines stay loaded so that they can be deleted at the end without a reread.
    QVector<QVariantList> buffer;
    RecordSet temporal;
    temporal.open(db, queries::kTemporal);
    for (; !temporal.eof(); temporal.moveNext()) {
        QVariantList row;
        row.reserve(kCopiedColumns.size());
        for (const QString& column : kCopiedColumns)
            row << temporal.value(column);
        buffer << row;
    }

    RecordSet rs;

    if (const auto iso = stampToIso(openingStamp)) {
        rs.open(db, queries::kTipoPagoDelDia, {*iso});
        if (!rs.eof()) {
            rs.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
            rs.update();
        }
        rs.close();
    }

    rs.open(db, queries::kRecaudacionNuevas);
    for (const QVariantList& row : std::as_const(buffer)) {
        rs.addNew();
        for (int i = 0; i < kCopiedColumns.size(); ++i)
            rs.setValue(kCopiedColumns[i], row[i]);
        rs.update();
    }
    rs.close();

    for (temporal.moveFirst(); !temporal.eof(); temporal.moveNext())
        temporal.deleteCurrent();
    temporal.close();

    tx.commit();
    return int(buffer.size());
}

} // namespace tarvino
