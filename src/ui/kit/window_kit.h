// The window kit: how every window is built and behaves, one header for all of its parts.
#pragma once

#include "kit/captions.h"
#include "kit/error_reports.h"
#include "kit/keys.h"
#include "kit/lists.h"
#include "kit/look.h"
#include "kit/window_flow.h"
#include "common/services.h"
