#pragma once

// The gateway engine's classes: the PDU codec so far; the channel, the
// AT-command controllers and the gateway join it here.
#include "gateway/PDUs.h"
