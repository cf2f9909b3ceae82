// Start-up before the login window: the single-copy rule and opening (or creating) bd1.
#pragma once

#include <QString>

namespace tarvino {

class Database;
class Messages;
class SingleCopy;

// Shows the single-copy message when another copy runs; true when this copy may go on.
bool singleCopyCheck(SingleCopy& lock, Messages& messages);

// Opens bd1 in folder. A missing file is created after the cashier agrees; a file that cannot be
// used is reported with one message naming it and the cause, and nothing is written to it.
// True when the database is open and ready; false when the program must end.
bool openShopDatabase(Database& db, const QString& folder, Messages& messages);

} // namespace tarvino
