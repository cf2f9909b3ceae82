// What a till said it did, and the check of the shop file against it after the till was stopped.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace tarvino::stress {

// Amounts the ledgers compare: equal to the millionth, and written with two decimals.
inline bool same(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}
inline QString number(double value)
{
    return QString::number(value, 'f', 2);
}

class Ledger final {
public:
    // A new till starts on the file.
    void beginRun();
    // One line the till said (see till.h).
    void hear(const QString& line);
    // What the till was doing when it was stopped: "arranque", "venta", "cierre",
    // "guardar producto", "eliminar producto" or "entre operaciones".
    QString phase() const { return m_phase; }
    // Checks a copy of bd1 and its journal as the stop left them in folder: the file is sound and
    // passes the program's own check; every sale the till reported is there and every sale there
    // is whole (its lines, the stock they took, its day's takings); a day is wholly open or wholly
    // closed, each line in Recaudacion once; each product is as one save left it, or gone as a
    // deletion left it. Returns one text per fault found (none: the file is whole). What was
    // found becomes the ground the next check stands on.
    QStringList check(const QString& folder);
    // Where the next till's clock starts: after every time a till has used.
    QDateTime nextClock() const { return m_lastTime.addSecs(1); }

    int salesReported() const { return m_salesReported; }
    int closingsReported() const { return m_closingsReported; }
    int productOpsReported() const { return m_productOpsReported; }
    int salesToldStoredDespiteFailure() const { return m_toldStoredDespiteFailure; }
    int salesToldNotStored() const { return m_toldNotStored; }
    int salesOutcomeUnknown() const { return m_outcomeUnknown; }

private:
    struct Line {
        QString code;
        double quantity = 0;
        double amount = 0;
    };
    struct Sale {
        QString kind;
        std::vector<Line> lines;
        bool reported = false;   // said R or W
        bool toldAbsent = false; // said N
        enum class Seen { NotYet, Present, Absent } seen = Seen::NotYet;
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

    void note(const QDateTime& when);
    void noteIso(const QString& iso);

    QString m_phase = QStringLiteral("arranque");
    bool m_dayOpen = false;
    QDateTime m_lastTime{QDate(2026, 3, 9), QTime(8, 0, 0)};
    QHash<QString, Sale> m_sales; // by FechaVenta in stored form
    QStringList m_closings;       // FechaCierre of every closing begun, stored form
    QStringList m_closingsDone;
    std::map<QString, std::optional<Version>> m_products; // editor products as last found
    std::map<QString, std::vector<ProductOp>> m_productOps; // since the last check
    QString m_currentProduct;
    std::optional<QString> m_expectedStart; // the unclosed-day stamp the next start must find
    QStringList m_heardFaults;

    int m_salesReported = 0;
    int m_closingsReported = 0;
    int m_productOpsReported = 0;
    int m_toldStoredDespiteFailure = 0;
    int m_toldNotStored = 0;
    int m_outcomeUnknown = 0;
};

} // namespace tarvino::stress
