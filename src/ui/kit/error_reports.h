// Error reports: work whose database failure is told to the user.
#pragma once

#include <QString>

#include <functional>

namespace tarvino {

class Messages;

// Runs work; a database failure is reported with what and false returned.
bool guarded(Messages& messages, const QString& what, const std::function<void()>& work);

} // namespace tarvino
