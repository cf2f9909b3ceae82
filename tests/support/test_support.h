// What many tests need: the locales they run under, closed windows let go, a file's fingerprint,
// the window a test opened, what a list shows and the message of a refusal.
#pragma once

#include "data/db_error.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

class QAbstractItemModel;
class QWidget;
struct QMetaObject;

namespace tarvino {
class Database;
}

namespace tarvino::test {

// A decimal-comma locale, the shop's own; QLocale::c() stands for the decimal-point ones.
inline const QLocale kChile(QLocale::Spanish, QLocale::Chile);

// Sets the default locale while it lives, then puts the previous one back.
class LocaleGuard final {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(m_previous); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale m_previous;
};

// Runs pending work (deferred refreshes) and deletes the windows closed meanwhile, as the event
// loop would between two user actions.
void flushClosedWindows();

// SHA-256 of a file's bytes; empty when it cannot be read.
QByteArray fileHash(const QString& path);

// The first visible top-level window of the class type, if any. Only the window part of the support
// has it: a core test has no window to look for.
QWidget* visibleTopLevel(const QMetaObject& type);
// The visible window of class W, if any: the one a menu or a button has just opened.
template <typename W>
W* visibleWindow()
{
    return static_cast<W*>(visibleTopLevel(W::staticMetaObject));
}

// The rows of a list as shown, one line per row with the cells from column fromColumn on joined
// by "|".
QStringList shownRows(const QAbstractItemModel* model, int fromColumn = 0);

// The first column of the first row of sql, as a whole number; -1 when there is no row.
qint64 countOf(tarvino::Database& db, const QString& sql);

// The message of the DbError that f throws, or an empty text when it throws none.
template <typename F>
QString errorOf(F&& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.message();
    }
    return {};
}

} // namespace tarvino::test
