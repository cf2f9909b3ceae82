// Why a file operation failed, in words for the cashier.
#pragma once

#include <QString>

namespace tarvino {

// Why a file operation failed, in words for the cashier, from the system's error number.
QString systemErrorText(int errorNumber);

} // namespace tarvino
