// The database objects of a window: one record set on the program's connection, opened by one
// query routine per query text and closed by CloseDatabase at the end of each operation.
#pragma once

#include "data/recordset.h"

#include <QString>

namespace tarvino {

class Database;

// The query routines are defined beside their query texts in the home of their table, each the
// only code that reads or writes it; this class holds only the record set they share.
class WindowData final {
public:
    explicit WindowData(Database& db) : m_db(db) {}
    ~WindowData() { CloseDatabase(); }
    WindowData(const WindowData&) = delete;
    WindowData& operator=(const WindowData&) = delete;

    // The window record set, left on the first row of the last query opened.
    RecordSet rs;
    Database& db() const { return m_db; }
    void CloseDatabase();

    // ---- Productos (catalogue/products.cpp) ----
    // The whole catalogue in name, code or quantity order.
    void OpenProductos();
    void OpenProductosByCode();
    void OpenProductosByQuantity();
    // The products whose code equals code, in name order.
    void OpenProductosWithCode(const QString& code);
    // The products whose code is one of codes, by code and within a code in name order, locked
    // in that order against the other tills' changes until the transaction ends.
    void OpenProductosWithCodesLocking(const QStringList& codes);
    // The products whose name is exactly name.
    void OpenProductosWithName(const QString& name);
    // No product at all, for adding one.
    void OpenProductosForAdding();
    // One row per distinct Categoria.
    void OpenCategorias();

    // ---- Temporal and TipoPago (sales/sales_day.cpp) ----
    // Only the first line of the open day, or none; the day can hold many thousand lines.
    void OpenTemporalFirstRow();
    // No line at all, for adding lines.
    void OpenTemporalForAdding();
    // The day row of an opening stamp "dd/mm/yyyy h:mm:ss"; DbError when it is no stamp.
    void OpenTipoPagoOfDay(const QString& openingStamp);

    // ---- Usuarios (users/users.cpp) ----
    void OpenUsuarios();
    // The users in the order the file keeps them.
    void OpenUsuariosUnordered();
    // The users named name, in name order.
    void OpenUsuariosWithName(const QString& name);
    // No user at all, for adding one.
    void OpenUsuariosForAdding();

private:
    Database& m_db;
};

} // namespace tarvino
