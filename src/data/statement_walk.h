// The earlier name of Query, kept while its last users move over; new code uses Query.
#pragma once

#include "data/query.h"

namespace tarvino {

using StatementWalk = Query;

} // namespace tarvino
