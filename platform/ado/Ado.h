#pragma once

// The data-access layer in one include: connection, query objects with their
// fields, data sources, the error type, the value-text helpers and appendRow.
#include "platform/ado/AdoConnection.h"
#include "platform/ado/AdoDataSource.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/AdoField.h"
#include "platform/ado/AdoQuery.h"
#include "platform/ado/AdoRows.h"
#include "platform/ado/AdoText.h"
