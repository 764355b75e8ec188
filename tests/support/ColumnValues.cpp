#include "support/ColumnValues.h"

#include "platform/ado/AdoQuery.h"

std::vector<std::string> columnValues(TAdoQuery &q, const std::string &sql, std::string_view field)
{
    q.SetSQL(sql);
    q.Open();
    std::vector<std::string> out;
    for (; !q.Eof(); q.Next())
        out.push_back(q.FieldByName(field)->AsString());
    return out;
}
