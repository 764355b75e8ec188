#include "platform/ado/AdoRows.h"

#include "platform/ado/AdoQuery.h"

namespace ado {

void appendRow(TAdoQuery &q, const std::string &table, const FieldTexts &fields)
{
    q.Close();
    q.SetSQL("select * from " + table);
    q.Open();
    q.Append();
    for (const auto &[name, text] : fields)
        q.FieldByName(name)->SetAsString(text);
    q.Post();
    q.Close();
}

} // namespace ado
