// The entry point that ".load zhcollate" (the sqlcipher shell) or
// sqlite3_load_extension() finds by the file's name.
#include "platform/ado/AdoCollation.h"

#include <exception>

SQLITE_EXTENSION_INIT1

extern "C" __attribute__((visibility("default"))) int sqlite3_zhcollate_init(sqlite3 *db, char **error,
                                                                             const sqlite3_api_routines *api)
{
    SQLITE_EXTENSION_INIT2(api);
    try {
        ado::registerCollation(db);
    } catch (const std::exception &e) {
        if (error)
            *error = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}
