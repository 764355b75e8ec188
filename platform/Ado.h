#pragma once

// The data-access layer in one include: connection, query objects with their
// fields, data sources, the error type, the value-text helpers and appendRow.
#include "platform/AdoConnection.h"
#include "platform/AdoDataSource.h"
#include "platform/AdoError.h"
#include "platform/AdoField.h"
#include "platform/AdoQuery.h"
#include "platform/AdoRows.h"
#include "platform/AdoText.h"
