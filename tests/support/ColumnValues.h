#pragma once

#include <string>
#include <string_view>
#include <vector>

class TAdoQuery;

// Opens sql on q and returns the text of field in every row, in the order
// returned; q is left open on sql. Throws EDatabaseError as the query does.
std::vector<std::string> columnValues(TAdoQuery &q, const std::string &sql, std::string_view field);
