// What two tills on one server said they did, and the check of the server's rows against it once
// both are stopped. The rows are read elsewhere (the check itself needs no server), so that a
// test can hand it rows with a fault planted in them.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

namespace tarvino::stress {

// One line of Temporal or Recaudacion as the server holds it; stamps in ISO text.
struct StoredLine {
    QString till; // the Caja column
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
};

// Everything the check reads, lines in the order they were written (rowid).
struct StoredShop {
    std::vector<StoredLine> open;    // Temporal
    std::vector<StoredLine> history; // Recaudacion
    std::vector<StoredDay> days;     // TipoPago
    QMap<QString, double> stock;     // Productos: Cantidad by CodigoProducto
};

class ServerLedger final {
public:
    // Each product's stock before any till sold.
    explicit ServerLedger(QMap<QString, double> startStock) : m_startStock(std::move(startStock)) {}

    // A till (re)starts: what it does next begins with its start-up.
    void beginRun(const QString& till);
    // One line the till said (see till.h for the letters; K|how: it reached the server again).
    void hear(const QString& till, const QString& line);
    // Where the till's next clock starts: after every time it has used, so that its FechaVenta
    // stays unique.
    QDateTime nextClock(const QString& till) const;

    // Checks the shop against everything the tills said. One text per violation: every sale told
    // stored (R, W) is there exactly once and whole; none told not stored (N) is there; one whose
    // outcome was unknown (U) is there whole or not at all; no sale is there that no till began;
    // each product's stock is its start less every stored unit of both tills; each day of each
    // till is wholly open or wholly closed, with one TipoPago row whose takings are its lines'.
    QStringList check(const StoredShop& shop) const;

    struct Counts {
        int began = 0, stored = 0, storedDespiteFailure = 0, notStored = 0, unknown = 0;
        int closings = 0, failures = 0, startFailures = 0;
        int reconnectedAlone = 0, reconnectedByReopen = 0;
    };
    Counts counts(const QString& till) const { return m_tills.value(till).counts; }
    QStringList tills() const { return m_tills.keys(); }
    // The reasons the tills gave for a K|reopen line: what failed on the old connection while the
    // server was already back.
    QStringList reopenCauses() const { return m_reopenCauses; }

private:
    struct Line {
        QString code;
        double quantity = 0;
        double amount = 0;
    };
    struct Sale {
        QString kind;
        std::vector<Line> lines;
        enum class Told { Nothing, Stored, NotStored, Unknown } told = Told::Nothing;
    };
    struct Till {
        QHash<QString, Sale> sales; // by FechaVenta (ISO)
        QStringList closings;       // FechaCierre (ISO) of every closing begun
        QStringList closingsDone;
        QDateTime lastTime{QDate(2026, 3, 9), QTime(8, 0, 0)};
        Counts counts;
    };
    void note(Till& till, const QString& iso);

    QMap<QString, double> m_startStock;
    QMap<QString, Till> m_tills;
    QStringList m_reopenCauses;
    QStringList m_heardFaults;
};

} // namespace tarvino::stress
