// The database objects of a window: one record set on the program's connection, opened by one
// query routine per query text and closed by CloseDatabase at the end of each operation.
#include "data/window_data.h"

#include "common/timestamps.h"
#include "data/database.h"

namespace tarvino {

namespace {
const QString kProductos = QStringLiteral("select * from Productos order by NombreProducto");
// The first product in name order whose code equals the typed code, found through the index.
const QString kProductoPorCodigo =
    QStringLiteral("select * from Productos where CodigoProducto = ? order by NombreProducto");
// The first line of the open day only, and no line at all (for adding lines): the day can be long.
const QString kTemporalPrimera = QStringLiteral("select * from Temporal limit 1");
const QString kTemporalNuevas = QStringLiteral("select * from Temporal limit 0");
// The day row of one opening stamp (bound in its stored form).
const QString kTipoPagoDelDia =
    QStringLiteral("select * from TipoPago where FechaInicio = ? order by FechaInicio");
const QString kUsuariosPorNombre = QStringLiteral("select * from Usuarios order by NombreUsuario");
const QString kUsuarios = QStringLiteral("select * from Usuarios");
const QString kProductosPorCodigo = QStringLiteral("select * from Productos order by CodigoProducto");
const QString kProductosPorCantidad = QStringLiteral("select * from Productos order by Cantidad");
const QString kProductosDeNombre = QStringLiteral("select * from Productos where NombreProducto = ?");
const QString kProductosNuevos = QStringLiteral("select * from Productos limit 0");
const QString kCategorias = QStringLiteral("select Categoria from Productos Group by Categoria");
const QString kUsuariosDeNombre =
    QStringLiteral("select * from Usuarios where NombreUsuario = ? order by NombreUsuario");
const QString kUsuariosNuevos = QStringLiteral("select * from Usuarios limit 0");
} // namespace

void WindowData::OpenProductos()
{
    rs.open(m_db, kProductos);
}

void WindowData::OpenProductosByCode()
{
    rs.open(m_db, kProductosPorCodigo);
}

void WindowData::OpenProductosByQuantity()
{
    rs.open(m_db, kProductosPorCantidad);
}

void WindowData::OpenProductosWithCode(const QString& code)
{
    rs.open(m_db, kProductoPorCodigo, {code});
}

void WindowData::OpenProductosWithCodeLocking(const QString& code)
{
    rs.openLocking(m_db, kProductoPorCodigo, {code});
}

void WindowData::OpenProductosWithName(const QString& name)
{
    rs.open(m_db, kProductosDeNombre, {name});
}

void WindowData::OpenProductosForAdding()
{
    rs.open(m_db, kProductosNuevos);
}

void WindowData::OpenCategorias()
{
    rs.open(m_db, kCategorias);
}

void WindowData::OpenTemporalFirstRow()
{
    rs.open(m_db, kTemporalPrimera);
}

void WindowData::OpenTemporalForAdding()
{
    rs.open(m_db, kTemporalNuevas);
}

void WindowData::OpenTipoPagoOfDay(const QString& openingStamp)
{
    const auto iso = stampToIso(openingStamp);
    if (!iso)
        throw DbError(QStringLiteral("La fecha de inicio de ventas «%1» no es válida.").arg(openingStamp));
    rs.open(m_db, kTipoPagoDelDia, {*iso});
}

void WindowData::OpenUsuarios()
{
    rs.open(m_db, kUsuariosPorNombre);
}

void WindowData::OpenUsuariosUnordered()
{
    rs.open(m_db, kUsuarios);
}

void WindowData::OpenUsuariosWithName(const QString& name)
{
    rs.open(m_db, kUsuariosDeNombre, {name});
}

void WindowData::OpenUsuariosForAdding()
{
    rs.open(m_db, kUsuariosNuevos);
}

void WindowData::CloseDatabase()
{
    rs.close();
}

} // namespace tarvino
