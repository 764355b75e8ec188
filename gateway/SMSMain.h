#pragma once

// The gateway window TFMain (global FMain); it lives in the window library
// (gateway/window), which the engine library does not link.
#include "gateway/window/SMSMain.h"
