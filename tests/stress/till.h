// A till without windows that works a shop file through the routines the windows call, at random,
// and says each step it takes in one line, so that whoever stops it knows what it was told.
#pragma once

#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"

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
//   B|iso|kind|total|code:quantity:amount,...   a sale is about to be recorded (iso: its FechaVenta)
//   R|iso       recorded            W|iso|failure   recorded, though the disk reported a failure
//   N|iso|why   nothing of it was stored            U|iso|why       whether it was stored is unknown
//   C|iso       the day's closing begins (iso: its FechaCierre)     c|iso|lines   closed
//   P|iso|code|editing|name|stock|cost|price|critical|category      a product is about to be saved
//   p|iso       saved               x|iso|message   refused
//   D|iso|code  a product is about to be deleted                    d|iso|count   deleted
//   E|message   an operation failed
// "About to" lines are said before the work starts, so the work of a stopped till is known.

// The products sold: codes 101 to 105, each with a stock of 1,000,000 and whole prices.
struct SoldProduct {
    QString code;
    QString name;
    double cost;
    double price;
};
const std::vector<SoldProduct>& soldProducts();
inline constexpr double kSoldStock = 1000000;
// The products the editor saves and deletes: codes 901 to 910.
QString editorCode(int i);
inline constexpr int kEditorCodes = 10;

// Makes a new shop file bd1 in folder with the sold products.
void makeShop(const QString& folder);

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

// The cashier of a till at start-up: answers the unclosed-day question at random and says so. Yes
// resumes the day; No has the load close it right away, one second on.
class RandomCashier final : public Messages {
public:
    RandomCashier(std::function<int(int)> draw, SteppingClock& clock, SalesDay& day,
                  std::function<void(const QString&)> say)
        : m_draw(std::move(draw)), m_clock(clock), m_day(day), m_say(std::move(say))
    {
    }
    void inform(const QString& text, const QString&, Icon) override { last = text; }
    bool ask(const QString&, const QString&) override
    {
        asked = true;
        m_say(QStringLiteral("S|") + m_day.openingStamp());
        if (m_draw(2) == 0) {
            m_say(QStringLiteral("Y"));
            return true;
        }
        m_clock.step();
        closingIso = isoText(m_clock.now());
        m_say(QStringLiteral("C|") + closingIso);
        return false;
    }
    // After the day's load: says what it did, then logs in (a resumed day reloads its stamp).
    // False, said with E, when the till cannot go on.
    bool openDay(SalesDay::Start start)
    {
        if (!asked)
            m_say(QStringLiteral("S|"));
        if (m_day.earlierDayUnclosed()) {
            m_say(QStringLiteral("E|") + oneLine(last));
            return false;
        }
        if (!closingIso.isEmpty())
            m_say(QStringLiteral("c|%1|%2").arg(closingIso).arg(m_day.linesClosed()));
        m_clock.step();
        m_day.begin(QStringLiteral("admin"));
        if (start == SalesDay::Start::Resume) {
            try {
                m_day.reload();
            } catch (const DbError& e) {
                m_say(QStringLiteral("E|") + oneLine(e.message()));
                return false;
            }
        }
        m_say(QStringLiteral("L|") + m_day.openingStamp());
        return true;
    }
    QString last;
    QString closingIso;
    bool asked = false;

private:
    std::function<int(int)> m_draw;
    SteppingClock& m_clock;
    SalesDay& m_day;
    std::function<void(const QString&)> m_say;
};

class Till final {
public:
    using Say = std::function<void(const QString&)>;
    Till(const QString& folder, quint64 seed, const QDateTime& clockStart, Say say);
    ~Till();

    // Start-up as the program does it: the file opened and checked, Temporal brought up to date,
    // the unclosed-day question answered at random (No closes that day), then the login.
    // Returns false when the start-up failed (said with F).
    bool startUp();
    // One operation chosen at random: a sale, the day's closing (and a new day), a product saved,
    // or a product deleted. Returns false when the till cannot go on (the file was left closed).
    bool step();
    // Called before each sale, so that a fault can be armed for it.
    std::function<void()> beforeSale;
    void close();
    Database& db() { return m_db; }

private:
    bool sale(bool retry);
    bool closing();
    bool saveProduct();
    bool deleteProduct();
    int draw(int below);

    QString m_folder;
    std::mt19937_64 m_random;
    SteppingClock m_clock;
    Say m_say;
    Database m_db;
    SalesDay m_day{m_db, m_clock};
    SaleLines m_lines; // the sale on screen, kept for charging it again
    QString m_kind;
};

} // namespace tarvino::stress
