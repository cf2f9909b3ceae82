// The real clock; the other real services need widgets and live with the windows.
#include "common/services.h"

namespace tarvino {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace tarvino
