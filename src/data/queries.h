// The query texts the windows open their record sets with.
#pragma once

#include <QString>

namespace tarvino::queries {

inline const QString kProductos = QStringLiteral("select * from Productos order by NombreProducto");
// The first product in name order whose code equals the typed code, found through the index.
inline const QString kProductoPorCodigo =
    QStringLiteral("select * from Productos where CodigoProducto = ? order by NombreProducto");
inline const QString kTemporal = QStringLiteral("select * from Temporal");
// The first line of the open day only, and no line at all (for adding lines): the day can be long.
inline const QString kTemporalPrimera = QStringLiteral("select * from Temporal limit 1");
inline const QString kTemporalNuevas = QStringLiteral("select * from Temporal limit 0");
inline const QString kTipoPago = QStringLiteral("select * from TipoPago order by FechaInicio");
// The day row of one opening stamp (bound in its stored form).
inline const QString kTipoPagoDelDia =
    QStringLiteral("select * from TipoPago where FechaInicio = ? order by FechaInicio");
inline const QString kRecaudacion = QStringLiteral("select * from Recaudacion order by FechaInicio");
inline const QString kUsuariosPorNombre = QStringLiteral("select * from Usuarios order by NombreUsuario");
inline const QString kUsuarios = QStringLiteral("select * from Usuarios");

} // namespace tarvino::queries
