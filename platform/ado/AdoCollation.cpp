#include "platform/ado/AdoCollation.h"

#include "platform/ado/AdoError.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uscript.h>

namespace ado {

namespace {

// One per connection: ICU collators are not to be shared across threads,
// and the fold buffers are reused between comparisons.
struct Collation {
    UCollator *collator = nullptr;
    UCaseMap *caseMap = nullptr;
    std::string foldA, foldB;

    ~Collation()
    {
        if (collator)
            ucol_close(collator);
        if (caseMap)
            ucasemap_close(caseMap);
    }

    void fold(const char *s, int n, std::string &out)
    {
        out.resize(size_t(n) * 3 + 16);
        UErrorCode status = U_ZERO_ERROR;
        int32_t len = ucasemap_utf8FoldCase(caseMap, out.data(), int32_t(out.size()), s, n, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(size_t(len));
            status = U_ZERO_ERROR;
            len = ucasemap_utf8FoldCase(caseMap, out.data(), int32_t(out.size()), s, n, &status);
        }
        if (U_FAILURE(status))
            out.assign(s, size_t(n));
        else
            out.resize(size_t(len));
    }
};

int compareBytes(const void *a, int na, const void *b, int nb)
{
    int r = std::memcmp(a, b, size_t(std::min(na, nb)));
    if (r != 0)
        return r < 0 ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

int compare(void *context, int na, const void *a, int nb, const void *b)
{
    if (na == nb && std::memcmp(a, b, size_t(na)) == 0)
        return 0;
    auto *c = static_cast<Collation *>(context);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r =
        ucol_strcollUTF8(c->collator, static_cast<const char *>(a), na, static_cast<const char *>(b), nb, &status);
    if (U_FAILURE(status))
        return compareBytes(a, na, b, nb);
    if (r != UCOL_EQUAL)
        return r == UCOL_LESS ? -1 : 1;
    c->fold(static_cast<const char *>(a), na, c->foldA);
    c->fold(static_cast<const char *>(b), nb, c->foldB);
    return compareBytes(c->foldA.data(), int(c->foldA.size()), c->foldB.data(), int(c->foldB.size()));
}

void destroy(void *context) { delete static_cast<Collation *>(context); }

UCollator *openCollator(UErrorCode &status)
{
    UCollator *collator = ucol_open("zh", &status);
    if (U_SUCCESS(status)) {
        ucol_setStrength(collator, UCOL_SECONDARY); // case is a tertiary difference
        // ICU's Chinese order puts Han first; Windows' Chinese (PRC) order,
        // which the stored data grew up with, puts Latin letters first.
        const int32_t order[] = {USCRIPT_LATIN, USCRIPT_HAN};
        ucol_setReorderCodes(collator, order, 2, &status);
    }
    return collator;
}

} // namespace

void registerCollation(sqlite3 *db)
{
    auto *c = new Collation;
    UErrorCode status = U_ZERO_ERROR;
    c->collator = openCollator(status);
    if (U_SUCCESS(status))
        c->caseMap = ucasemap_open(nullptr, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        delete c;
        throw EDatabaseError(0, std::string("ICU collation unavailable: ") + u_errorName(status));
    }
    // On failure SQLite may or may not have called destroy (it changed
    // between versions); a leak on this path is safer than a double free.
    int rc = sqlite3_create_collation_v2(db, CollationName, SQLITE_UTF8, c, compare, destroy);
    if (rc != SQLITE_OK)
        throw EDatabaseError(rc, sqlite3_errmsg(db));
}

int32_t collationVersion()
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = openCollator(status);
    UVersionInfo v{};
    if (U_SUCCESS(status)) {
        ucol_getVersion(collator, v);
        ucol_close(collator);
    }
    UVersionInfo unicode{};
    u_getUnicodeVersion(unicode);
    // Bump the seed whenever openCollator's settings change.
    uint32_t h = 2166136261u ^ 1u;
    for (uint8_t b : v)
        h = (h ^ b) * 16777619u;
    for (uint8_t b : unicode)
        h = (h ^ b) * 16777619u;
    return int32_t(h & 0x7fffffff) | 1;
}

} // namespace ado
