// What every window is handed: the database connection and the services of the outside world.
#pragma once

namespace tarvino {

class Clock;
class Database;
class Messages;
class Printer;
class Spreadsheet;

struct Context {
    Database& db;
    Messages& messages;
    Clock& clock;
    Printer& printer;
    Spreadsheet& spreadsheet;
};

} // namespace tarvino
