#pragma once

#include <QString>
#include <string>
#include <vector>

// What the compose and reply dialogs share: the checks before a message is
// saved and the "未发" rows of sms_tosend that the dispatch loop hands to the
// gateway. Nothing here talks to the engine. Main thread.
namespace outbox {

// The most GBK bytes of one row of the compose dialog.
inline constexpr std::size_t PieceBytes = 140;

// The checks before a save: a text, then a number, each with more than
// blanks, the number one the engine sends to (desk::mobileAccepted); the
// first that fails is told ("消息内容不能为空!", "手机号码不能为空!", the
// wrong number) and false returned.
bool ready(const QString &text, const QString &phone);

// The text cut into pieces of at most PieceBytes bytes in GBK, in order; a
// cut never splits a double-byte character (it moves back one byte), so the
// pieces put together give the text. A character GBK cannot hold becomes
// "?", as it would in the ANSI text box.
std::vector<std::string> pieces(const QString &text);

// Appends one row per message, in order (TASKID the date and time of its
// own append as text, PHONE as given, SENDFLAG "未发"), through the data
// module's Query6 on "select * from  sms_tosend", closed afterwards. The
// rows of one call stand or fall together: on EDatabaseError none is left.
void queue(const QString &phone, const std::vector<std::string> &messages);

} // namespace outbox
