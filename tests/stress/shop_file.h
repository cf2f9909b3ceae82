// The stress run's own hands on the shop file: making it, and reading it back, as a stop left
// it, for the check.
#pragma once

#include "stress/ledger.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tarvino::stress {

// Makes a new shop file bd1 in folder with kBusyProducts sold products.
void makeShop(const QString& folder);

// Reads a copy of bd1 and its journal as the stop left them in folder: what a start after this
// instant would find. The copy is read, so that the next till meets the files exactly as the stop
// left them. Every line is the one till's, named till. What is wrong with the file itself (it
// does not open, fails integrity_check, the program refuses it) goes to faults; nothing is
// returned when its rows could not be read.
std::optional<StoredShop> readShopFile(const QString& folder, const QString& till, QStringList& faults);

} // namespace tarvino::stress
