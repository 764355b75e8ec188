#pragma once

#include "platform/ado/AdoQuery.h"

#include <string>
#include <string_view>
#include <vector>

// Opens sql on q and returns the text of field in every row, in the order
// returned; q is left open on sql. Throws EDatabaseError as the query does.
// Header only: the caller links platform_ado, the support library does not.
inline std::vector<std::string> columnValues(TAdoQuery &q, const std::string &sql, std::string_view field)
{
    q.SetSQL(sql);
    q.Open();
    std::vector<std::string> out;
    for (; !q.Eof(); q.Next())
        out.push_back(q.FieldByName(field)->AsString());
    return out;
}
