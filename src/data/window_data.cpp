// The database objects of a window: one record set on the program's connection, opened by one
// query routine per query text and closed by CloseDatabase at the end of each operation.
#include "data/window_data.h"

#include "common/timestamps.h"
#include "data/database.h"
#include "data/queries.h"

namespace tarvino {

namespace {
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
    rs.open(m_db, queries::kProductos);
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
    rs.open(m_db, queries::kProductoPorCodigo, {code});
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
    rs.open(m_db, queries::kTemporalPrimera);
}

void WindowData::OpenTemporalForAdding()
{
    rs.open(m_db, queries::kTemporalNuevas);
}

void WindowData::OpenTipoPagoOfDay(const QString& openingStamp)
{
    const auto iso = stampToIso(openingStamp);
    if (!iso)
        throw DbError(QStringLiteral("La fecha de inicio de ventas «%1» no es válida.").arg(openingStamp));
    rs.open(m_db, queries::kTipoPagoDelDia, {*iso});
}

void WindowData::OpenUsuarios()
{
    rs.open(m_db, queries::kUsuariosPorNombre);
}

void WindowData::OpenUsuariosUnordered()
{
    rs.open(m_db, queries::kUsuarios);
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
