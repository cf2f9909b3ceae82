// The database objects of a window: the record set they share. The query routines live with the
// table they read (see the header).
#include "data/window_data.h"

namespace tarvino {

void WindowData::CloseDatabase()
{
    rs.close();
}

} // namespace tarvino
