// Start-up before the login window: the single-copy rule and opening (or creating) bd1.
#pragma once

#include <QString>

namespace tarvino {

class Database;
class Messages;
class SingleCopy;
struct ServerSetting;

// Shows the single-copy message when another copy runs; true when this copy may go on.
bool singleCopyCheck(SingleCopy& lock, Messages& messages);

// Opens bd1 in folder. A file that cannot be used is reported with one message naming it and the
// cause, and nothing is written to it. When bd1 is missing, or refused for what it holds (empty,
// not encrypted, another key, damaged, not the program's tables), and there are copies in the
// folder of copies, the newest is offered first: accepted, it is checked and copied into bd1's
// place, the old file and its journal files set aside under a free name, and the start goes on
// with it; a copy that proves unusable leads to the next older. A missing file is otherwise
// created after the cashier agrees, the copies of the old one then kept in a folder of their own.
// True when the database is open and ready; false when the program must end.
// Every page of the file is read before it is prepared: a damaged one is refused like a file
// that does not open, before the login and before anything is written into it.
bool openShopDatabase(Database& db, const QString& folder, Messages& messages);

// Opens the shop's database on the server that setting names, as its till. A server that cannot
// be reached, refuses the connection, holds another program's tables or already has a till of
// that name at work is reported with one message naming the server, and nothing is written. An
// empty server database is made the shop's after the cashier agrees. A till held by a session of
// this same machine (left behind by a power cut) is taken over, ending that session, when the
// cashier agrees. True when the database is open and ready; false when the program must end.
bool openShopServer(Database& db, const ServerSetting& setting, Messages& messages);

// The copy asked with --copiar-a-servidor: the shop file at filePath into the server that the
// tarvino.conf of folder names (machineName names the till when the file does not). Returns what
// to tell whoever typed the command; copied says whether the copy was made.
QString copyToServer(const QString& folder, const QString& filePath, const QString& machineName,
                     bool& copied);

} // namespace tarvino
