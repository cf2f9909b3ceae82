// What many tests need: the locales they run under, closed windows let go, a file's fingerprint,
// the window a test opened, what a list shows and the message of a refusal.
#include "support/test_support.h"

#include "data/query.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>

namespace tarvino::test {

void flushClosedWindows()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList shownRows(const QAbstractItemModel* model, int fromColumn)
{
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = fromColumn; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

qint64 countOf(Database& db, const QString& sql)
{
    Query rows(db, sql);
    return rows.next() ? rows.integer(0) : -1;
}

} // namespace tarvino::test
