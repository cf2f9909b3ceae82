// What many tests need: the locales they run under, closed windows let go, a file's fingerprint.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace tarvino::test {

// A decimal-comma locale, the shop's own; QLocale::c() stands for the decimal-point ones.
inline const QLocale kChile(QLocale::Spanish, QLocale::Chile);

// Runs pending work (deferred refreshes) and deletes the windows closed meanwhile, as the event
// loop would between two user actions.
void flushClosedWindows();

// SHA-256 of a file's bytes; empty when it cannot be read.
QByteArray fileHash(const QString& path);

} // namespace tarvino::test
