// The till's settings for its drawer: the section [caja] of tarvino.conf in the data folder.
#pragma once

#include "common/money.h"

#include <QString>

#include <vector>

namespace tarvino {

struct CashSetting {
    // Ask for the opening cash when the login starts a new sales day.
    bool askOpeningCash = false;
    // The coins and notes the count offers, smallest first (Chile's unless the file says others).
    std::vector<Cents> coins{1000, 5000, 10000, 50000};
    std::vector<Cents> notes{100000, 200000, 500000, 1000000, 2000000};
};

struct CashSettingRead {
    CashSetting setting;
    // Why the file cannot be used, naming the file and the line; empty when it can.
    QString error;
};

// Reads [caja] of tarvino.conf (other sections are another subject's):
//   [caja]
//   pedir_fondo=si
//   monedas=10,50,100,500
//   billetes=1000,2000,5000,10000,20000
// Denominations are whole numbers or with "." for decimals, separated by commas. No file, or no
// section, gives the defaults. Anything else in [caja] is refused, naming the line.
CashSettingRead readCashSetting(const QString& dataFolder);

} // namespace tarvino
