// What many tests need: the locales they run under, closed windows let go, a file's fingerprint.
#include "support/test_support.h"

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

} // namespace tarvino::test
