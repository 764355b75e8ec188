#pragma once

#include <string>
#include <vector>

// Makes the files a first start needs in a work folder: the database
// "dbvord.mdb" (all tables, the supervisor Kelvo, the "QM" row, the group
// "手机电话本"), "TreeView.Txt", the phrase files "smsbook/<category>.txt", an
// empty "SMSLog.TXT" and "smsset.ini". A file that exists is never touched.
// What it makes is its owner's alone: folders 0700, files 0600 (the
// database's log files too), whatever the umask.
namespace workfolder {

// The phrase categories, in the order the compose dialog shows them.
const std::vector<std::string> &phraseCategories();

struct Result {
    std::vector<std::string> created; // file names relative to the folder
    std::vector<std::string> kept;
};

// Makes folder (and "smsbook" in it) when missing, then each missing file.
// Throws std::runtime_error (EDatabaseError for the database) on the first
// failure; files made before it stay, the database never half-made.
Result create(const std::string &folder);

} // namespace workfolder
