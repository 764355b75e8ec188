#pragma once

#include <string>
#include <utility>
#include <vector>

class TAdoQuery;

namespace ado {

// Field names and the texts to assign to them.
using FieldTexts = std::vector<std::pair<std::string, std::string>>;

// Appends one row to table through q: closes q, opens "select * from
// <table>", appends, assigns each field as a string, posts and closes q
// again. Throws EDatabaseError as the query does; q is then left as the
// failing call left it.
void appendRow(TAdoQuery &q, const std::string &table, const FieldTexts &fields);

} // namespace ado
