// What the tills of a shop said they did, and the check of the shop's stored rows against it once
// they are stopped. The rows are read elsewhere, from the file or from the server (the check
// itself reads nothing), so that a test can hand it rows with a fault planted in them.
#pragma once

#include "common/money.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace tarvino::stress {

// Amounts the ledger compares: equal to the millionth, and written with two decimals.
inline bool same(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}
inline QString number(double value)
{
    return QString::number(value, 'f', 2);
}

// One line of Temporal or Recaudacion as stored; stamps in ISO text.
struct StoredLine {
    QString till; // the Caja column on a server; the one till's name on the file
    QString code;
    double quantity = 0;
    double amount = 0;
    QString kind;
    QString dayIso;  // FechaInicio
    QString soldIso; // FechaVenta
};

// A TipoPago row.
struct StoredDay {
    QString till;
    QString dayIso; // FechaInicio
    double cash = 0;
    double card = 0;
    QString closedIso; // FechaCierre
    double opening = 0; // CajaInicial
};

// A Productos row.
struct StoredProduct {
    QString code;
    QString name;
    double stock = 0, cost = 0, price = 0, critical = 0;
    QString category;
};

// A row of one of the drawer's tables (see kCashTables), amounts in cents.
struct StoredCash {
    QString till, dayIso, key, kind;
    std::vector<qint64> amounts;
    QString closedIso;
};

// Everything the check reads, lines in the order they were written (rowid).
struct StoredShop {
    std::vector<StoredLine> open;    // Temporal
    std::vector<StoredLine> history; // Recaudacion
    std::vector<StoredDay> days;     // TipoPago
    std::vector<StoredProduct> products;
    std::vector<StoredCash> openings, movements, payments, counts;
};

// The drawer's tables as the check reads them: day, key, kind, closing, then the amounts.
struct CashTable {
    std::vector<StoredCash> StoredShop::*rows;
    const char *table, *columns;
    int amounts;
};
inline const CashTable kCashTables[] = {
    {&StoredShop::openings, "FondoCaja", "FechaInicio, FechaInicio, '', FechaCierre, Monto", 1},
    {&StoredShop::movements, "MovimientosCaja", "FechaInicio, Fecha, Tipo, '', Monto", 1},
    {&StoredShop::payments, "PagosVenta", "FechaInicio, FechaVenta, TipoPago, '', Total, Efectivo, Tarjeta", 3},
    {&StoredShop::counts, "ArqueosCaja",
     "FechaInicio, FechaArqueo, '', '', Fondo, Efectivo, Tarjeta, Ingresos, Retiros, Esperado, Contado, Diferencia", 8},
};

class Ledger final {
public:
    // The products sold, by code: name and stock before any till sold. Every other product is the
    // editor's.
    struct Sold {
        QString name;
        double stock = 0;
    };
    explicit Ledger(QMap<QString, Sold> sold) : m_sold(std::move(sold)) {}

    // A till (re)starts: what it does next begins with its start-up.
    void beginRun(const QString& till);
    // One line the till said (see till.h).
    void hear(const QString& till, const QString& line);
    // What the till was doing when it was stopped: "arranque", "venta", "cierre",
    // "arqueo y cierre", "fondo de caja", "movimiento", "guardar producto", "eliminar producto" or "entre operaciones".
    QString phase(const QString& till) const { return m_tills.value(till).phase; }
    // Where the till's next clock starts: after every time it has used, so that its FechaVenta
    // stays unique.
    QDateTime nextClock(const QString& till) const;

    // Checks the shop against everything the tills said. One text per fault: every sale told
    // stored (R, W) is there exactly once and whole, and stays; none told not stored (N) is there;
    // one whose outcome was unknown (U) is there whole or not at all; no sale is there that no
    // till began; each sold product's stock is its start less every stored unit of every till;
    // each day of each till is wholly open or wholly closed, with one TipoPago row whose takings
    // are its lines'; each product of the editor is as one save left it, or gone as a deletion
    // left it. What was found becomes the ground the next check stands on, and the day the next
    // start-up of each till must ask about.
    QStringList check(const StoredShop& shop);

    struct Counts {
        int began = 0, stored = 0, storedDespiteFailure = 0, notStored = 0, unknown = 0;
        int closings = 0, productOps = 0;
        int countCloses = 0, movements = 0, openings = 0, splitSales = 0;
        int reconnectedAlone = 0, reconnectedByReopen = 0;
    };
    Counts counts(const QString& till) const { return m_tills.value(till).counts; }
    // The reasons the tills gave for a K|reopen line: what failed on the old connection while the
    // server was already back.
    QStringList reopenCauses() const { return m_reopenCauses; }

private:
    struct Line {
        QString code;
        double quantity = 0;
        double amount = 0;
    };
    // What a till said of something it stored, and what the checks found of it.
    struct Act {
        enum class Told { Nothing, Stored, NotStored, Unknown } told = Told::Nothing;
        enum class Seen { NotYet, Present, Absent } seen = Seen::NotYet;
        QString day;                 // the ISO day of an opening cash, movement or count
        QList<qint64> amounts; // what it was begun with, in cents (every try of an opening cash)
    };
    struct Sale : Act {
        QString kind;
        std::vector<Line> lines;
        qint64 cashPart = 0;
    };
    struct Till {
        QHash<QString, Sale> sales; // by FechaVenta (ISO)
        QStringList closings;       // FechaCierre (ISO) of every closing begun
        QStringList closingsDone;   // since the last check
        QHash<QString, Act> openingActs, movementActs, countActs; // by day, Fecha and FechaArqueo (ISO)
        QString phase = QStringLiteral("arranque");
        bool dayOpen = false;
        QString currentProduct;
        std::optional<QString> expectedStart; // the unclosed-day stamp the next start must find
        QDateTime lastTime{QDate(2026, 3, 9), QTime(8, 0, 0)};
        Counts counts;
    };
    struct Version {
        QString name;
        double stock = 0, cost = 0, price = 0, critical = 0;
        QString category;
        bool operator==(const Version&) const = default;
    };
    struct ProductOp {
        bool deletion = false;
        Version version;
        bool done = false;
        bool refused = false;
    };
    void note(Till& till, const QString& iso);
    void checkProducts(const StoredShop& shop, const std::map<QString, double>& taken, QStringList& faults);

    QMap<QString, Sold> m_sold;
    QMap<QString, Till> m_tills;
    std::map<QString, std::optional<Version>> m_products;   // editor products as last found
    std::map<QString, std::vector<ProductOp>> m_productOps; // since the last check
    QStringList m_reopenCauses;
    QStringList m_heardFaults;
};

} // namespace tarvino::stress
