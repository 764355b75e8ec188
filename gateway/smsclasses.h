#pragma once

// The gateway engine's classes: the PDU codec, the channel with its
// scheduler and line builder, the AT-command controllers, the gateway with
// its TCP command server, the drive thread, the engine host with the queue
// files, and the engine's clock, lock, reports, database writes and log file.
#include "codec/PDUs.h"
#include "gateway/Channel.h"
#include "gateway/CmppServer.h"
#include "gateway/Controllers.h"
#include "gateway/DriveThread.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineHost.h"
#include "gateway/EngineReports.h"
#include "gateway/EngineStore.h"
#include "gateway/GateWay.h"
#include "gateway/QueueFiles.h"
#include "gateway/SmsLog.h"
