#pragma once

#include <functional>
#include <string>

// Runs work in a forked child as an unprivileged user (uid and gid 65534,
// no supplementary groups) when the caller is root, so that file
// permissions hold, and as the caller otherwise; returns what work
// returned. The child gets 10 s; a child that fails to switch users, dies
// or hangs gives "" (the child is killed at the deadline). Only the calling
// thread exists in the child: work must not wait for another thread.
std::string outputAsAnotherUser(const std::function<std::string()> &work);
