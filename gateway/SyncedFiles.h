#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

// The few ways the engine writes its own small files so that what it says
// is kept stays kept: every write is synced before the call returns, and
// none leaves a file half changed that it could have left whole. Calls on a
// descriptor that is -1 fail. errno holds the first failure's reason.
namespace syncedfile {

// Writes all of bytes at the descriptor's position, going on after a
// partial write or a signal.
bool writeAll(int fd, std::string_view bytes);
// The same at offset at, without moving the position. Not for a
// descriptor opened for appending (Linux appends there whatever at says).
bool writeAllAt(int fd, std::string_view bytes, off_t at);

// Appends bytes to a file opened for appending and syncs it. On failure
// the file is cut back to its length before the call, so that it holds all
// of bytes or none (unless even that fails).
bool append(int fd, std::string_view bytes);

// Replaces the start of a file of oldSize bytes by bytes, in place, and
// syncs it; the caller cuts the file afterwards when bytes is shorter. A
// file that is not empty and has to grow is first lengthened with blanks,
// so that a full disk fails before anything that was there is touched.
// For when a new
// file beside the old one cannot be made: a full disk still lets a file
// shrink.
bool overwrite(int fd, std::string_view bytes, off_t oldSize);

// A new or renamed file is on disk only once its folder is synced.
void syncFolder();

// The system's text for errno as it stands.
std::string lastError();

} // namespace syncedfile
