#pragma once

// Included ahead of every source of the extension: SQLite's calls go through
// the table of routines the loading program hands over, so the extension
// never binds a second copy of the library.
#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT3
