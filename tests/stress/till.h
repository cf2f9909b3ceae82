// A till without windows that works a shop, on its file or on its server, through the routines
// the windows call, at random, and says each step it takes in one line, so that whoever stops it
// knows what it was told.
#pragma once

#include "common/services.h"
#include "data/database.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"
#include "stress/ledger.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <random>

namespace tarvino::stress {

// What the till says, one line each, fields separated by "|". A line is said only once what it
// reports is done, so that a till stopped at any instant has said nothing that did not happen:
//   S|stamp     start-up reached the unclosed-day question; stamp empty when Temporal was empty
//   F|message   the start-up failed
//   Y           the cashier answered that the interrupted day goes on
//   L|stamp     the sales day is open under this opening stamp
//   B|iso|kind|total|code:quantity:amount,...|cash   a sale is about to be recorded (iso: its
//                   FechaVenta; cash: a split sale's cash part in cents, else 0)
//   R|iso       recorded            W|iso|failure   recorded, though the disk reported a failure
//   N|iso|why   nothing of it was stored            U|iso|why       whether it was stored is unknown
//   C|iso       the day's closing begins (iso: its FechaCierre)     c|iso|lines   closed
//   O|iso|day|cents   the day's opening cash begins    M|..., A|... a movement (below 0 a cash out),
//                     the count and the close begin (iso: its Fecha, FechaArqueo; day: the day's
//                     FechaInicio in ISO; cents: the amount)     o|iso|day, m|..., a|...   done
//   P|iso|code|editing|name|stock|cost|price|critical|category      a product is about to be saved
//   p|iso       saved               x|iso|message   refused
//   D|iso|code  a product is about to be deleted                    d|iso|count   deleted
//   E|message   an operation failed
//   K|sola            the server came back and the connection went on by itself
//   K|reopen|failure  the server came back, the connection still failed (failure), reopen() fixed it
// "About to" lines are said before the work starts, so the work of a stopped till is known.

// The products sold: codes 1001 onwards, "Producto 1" onwards, each with this stock.
inline constexpr double kSoldStock = 1000000;
QString soldCode(int i);
QString soldName(int i);
// The few products sold most, so that two tills often take the same product at once.
inline constexpr int kBusyProducts = 5;
// Adds the first count sold products to a new shop.
void addSoldProducts(Database& db, int count);
// The first count sold products as a ledger knows them before any sale.
QMap<QString, Ledger::Sold> soldBeforeSales(int count);
// The products the editor saves and deletes: codes 901 to 910.
QString editorCode(int i);
inline constexpr int kEditorCodes = 10;

// True when a failure says the server could not be reached.
bool serverLost(const QString& message);

// A clock that stands still until told to move on one second, so that every line of one sale,
// and the day row it changes, carry the same time, and no two operations share one.
class SteppingClock final : public Clock {
public:
    explicit SteppingClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void step() { m_now = m_now.addSecs(1); }

private:
    QDateTime m_now;
};

// A message as one field of a said line: no line breaks, no field separators.
inline QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('|'), QLatin1Char('/'));
}

class Till final {
public:
    using Say = std::function<void(const QString&)>;
    // A till on the shop file in folder: it sells the first kBusyProducts products and edits
    // products too. A failure of the file is final.
    Till(const QString& folder, quint64 seed, const QDateTime& clockStart, Say say);
    // A till named name on the server of connection, one of several tills selling at once from
    // the same sold products (the first `products` of them). It edits no product: the edits of two tills on one product come in
    // an order nobody outside the server sees. It outlives a server that goes away: what it was
    // doing is told truthfully (N or U), then it waits for the server (serverAnswers tells
    // whether it takes connections) and goes on.
    Till(const QString& connection, const QString& name, int products, std::function<bool()> serverAnswers,
         quint64 seed, const QDateTime& clockStart, Say say);
    ~Till();

    // Start-up as the program does it: the shop opened and checked, the unclosed-day question
    // answered at random (No closes that day), then the login. On a server, one still down or the
    // till's name still held by the session of a till just killed is waited for a while. Returns
    // false when the start-up failed (said with F or E).
    bool startUp();
    // One operation chosen at random: a sale, the day's closing (and a new day), a product saved,
    // or a product deleted. Returns false when the till cannot go on: the file failed, the server
    // did not come back, or a sale's outcome is unknown (the connection stays closed until the
    // program starts again).
    bool step();
    // Called before each sale is recorded, so that a fault can be armed for it.
    std::function<void()> beforeSale;
    void close();

private:
    bool open(QString& failure);
    bool sale();
    bool closing();
    // The drawer's acts, as the till says them: O (opening cash), M (movement), A (count and close).
    bool drawer(char act);
    // Runs a stored act; after a failure, says it (E) and returns regain().
    bool store(const std::function<void()>& work);
    bool saveProduct();
    bool deleteProduct();
    // After an operation failed: on a server, waits until it answers again and this till can use
    // it, first on its own connection, else through reopen(), and says K; on the file, only an
    // open file goes on. failed: the failure that sent the till here.
    bool regain(const QString& failed);
    int draw(int below);

    QString m_folder; // empty on a server
    QString m_connection; // empty on the file
    QString m_name;
    int m_products = kBusyProducts;
    std::function<bool()> m_serverAnswers;
    std::mt19937_64 m_random;
    SteppingClock m_clock;
    Say m_say;
    Database m_db;
    SalesDay m_day{m_db, m_clock};
};

} // namespace tarvino::stress
