#pragma once

// The data-access layer in one include: connection, query objects with their
// fields, data sources, the error type and the value-text helpers.
#include "platform/AdoConnection.h"
#include "platform/AdoDataSource.h"
#include "platform/AdoError.h"
#include "platform/AdoField.h"
#include "platform/AdoQuery.h"
#include "platform/AdoText.h"
