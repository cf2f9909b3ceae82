// Moving a shop from its file bd1 to a database server: every table copied in one transaction and
// checked, row counts and every cell, on both sides.
#pragma once

#include <QString>

namespace tarvino
{

class Database;

// True when the server database already holds a shop: a product, a line of an open or closed day,
// a day, or any user besides the administrator a new database starts with.
bool serverHoldsShop(Database& server);

// Copies every table of the shop file at filePath into the server database server is open on
// (its tables made first when it has none), in one transaction: the lines of the file's open day
// become the open day of server's till, and a file from before rights were applied gives its users
// their rights as its first start would (carryOverRights). Texts go byte for byte; a cell the
// server cannot hold as it is (bytes that are no UTF-8, a text in a number column) is refused
// naming its table, rowid and column. Before committing, every table is read back from the server
// and compared with the file, its rows and a checksum of each column's cells in rowid order.
// Returns the report, a line per table. Throws DbError, with nothing written, when the file cannot
// be read, the server already holds a shop, a write fails or the two sides differ. The file is
// only read.
QString copyShopToServer(const QString& filePath, Database& server);

} // namespace tarvino
