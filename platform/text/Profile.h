#pragma once

#include <string>
#include <string_view>

// Settings files in the private-profile ("ini") format, such as the engine's
// "smsset.ini": "[section]" lines followed by "key=value" lines. The file
// text is GBK with CR LF line ends; every text passed in or returned is
// UTF-8. A file name without a folder is taken from the current working
// directory. Sections and keys are matched without regard to ASCII case.
//
// Reading a line: blanks and tabs around it are ignored; a line starting
// with "[" names a section (up to the last "]", trimmed); a line starting
// with ";" is a comment; any other line with "=" is a key (the text before
// the first "=", trimmed) and its value (the rest, trimmed, with one pair of
// matching double or single quotes around it removed). Other lines are
// ignored. The first matching section counts, and the first matching key in
// it.
//
// Neither call is synchronised; the caller serialises access to one file.
namespace profile {

// The value of key in section, or def (with trailing blanks removed) when
// the file, the section or the key is missing or the file cannot be read.
std::string getString(std::string_view section, std::string_view key, std::string_view def, const std::string &file);

// Sets key in section to value and writes the file. An existing key line is
// replaced (it keeps the key's spelling); a missing key is added after the
// section's last non-blank line; a missing section is added at the end of
// the file; a missing file is created. Every other line keeps its bytes.
// Written lines end in CR LF. Section, key and value end at their first CR
// or LF, so no value can add lines. The file is replaced whole through a
// temporary file beside it, so a failure never leaves half a file. Returns
// false, leaving the file as it was, when it cannot be written.
bool writeString(std::string_view section, std::string_view key, std::string_view value, const std::string &file);

// The same two on the file's text (GBK bytes) instead of the file: the
// value getString would read, and the text writeString would write.
std::string valueIn(std::string_view text, std::string_view section, std::string_view key, std::string_view def);
std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

} // namespace profile
