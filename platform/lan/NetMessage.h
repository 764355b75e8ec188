#pragma once

#include <QString>
#include <functional>

class QObject;

// LAN pop-up messages, the kind a workstation's messenger service shows,
// sent through Samba's "smbclient -M". Main thread: the outcome comes
// through the caller's event loop, so the desk never waits for a host that
// does not answer.
namespace lan {

// The most UTF-16 units of text one message carries.
inline constexpr int MaxMessageUnits = 512;
// How long smbclient may run before the send counts as failed.
inline constexpr int DefaultTimeoutMs = 15000;

// True when name can be handed to smbclient as the recipient: 1 to 255
// characters, each an ASCII letter, digit, '-', '.' or '_' (the characters
// of host and NetBIOS names), the first not '-'.
bool validRecipient(const QString &name);

// The text as it is sent: its first MaxMessageUnits UTF-16 units, one fewer
// when the cut would split a surrogate pair.
QString cutText(const QString &text);

// Sends cutText(text) from sender to the computer named recipient and
// returns at once. Runs "smbclient -M <recipient> -U <sender> -N" (found
// on PATH) without a shell, the text in UTF-8 on its standard input, its
// output discarded. done(sent) is called once, later, through context's
// thread: true only when smbclient exited normally with status 0; false
// when validRecipient refuses the recipient (smbclient is not run), when
// smbclient is missing or fails, or when it has not ended after timeoutMs
// (it is killed). Once context is gone nothing is called and a running
// smbclient is killed.
void sendMessage(QObject *context, const QString &recipient, const QString &sender, const QString &text,
                 std::function<void(bool sent)> done, int timeoutMs = DefaultTimeoutMs);

} // namespace lan
