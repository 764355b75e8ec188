#pragma once

#include <cstdint>

struct sqlite3;

// The collation of every text column: Chinese (pinyin) order from ICU,
// letter case not distinguished, so "kelvo" finds "Kelvo" and a unique key
// refuses "KELVO". Texts that ICU ranks equal apart from case stay distinct
// when their case-folded bytes differ (full-width letters, ignorable marks),
// so no two keys meant to differ ever collide.
namespace ado {

inline constexpr const char *CollationName = "ZH_CI";

// Registers the collation on a connection; throws EDatabaseError when ICU or
// SQLite refuses.
void registerCollation(sqlite3 *db);

// A positive number that changes when ICU's ordering may have changed (a new
// ICU or Unicode version); indices built under another one must be rebuilt.
int32_t collationVersion();

} // namespace ado
