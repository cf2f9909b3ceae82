// What every window is handed: the database connection and the services of the outside world.
#pragma once

#include "app/cash_setting.h"

#include <QString>

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
    // The data folder the program was started on: where bd1 or tarvino.conf is, and the files
    // the shop keeps beside them (soporte.txt), whichever engine holds the data.
    QString dataFolder;
    // The till's drawer settings, [caja] of tarvino.conf.
    CashSetting cash = {};
};

} // namespace tarvino
