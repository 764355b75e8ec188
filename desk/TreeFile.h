#pragma once

#include <QString>
#include <string>
#include <string_view>

class QTreeWidget;
class TTreeView;

// The text file that keeps the shape of a window's tree: GBK without a
// byte-order mark, one line per node in depth-first pre-order, each line as
// many TABs as the node's depth, the node's text, CR LF. Its name is matched
// without regard to letter case in the current directory.
namespace treefile {

// Empties tree and adds a node per line of bytes. Lines end at CR LF, LF or
// CR; every leading TAB or blank counts one level and is not part of the
// text. The first line is a top-level node whatever its level. Each further
// line, against the node read just before it: the same level makes a next
// sibling, one level more its last child, fewer levels a sibling of the
// nearest ancestor at the line's level; two or more levels more stops the
// reading, the nodes read so far staying. Returns that error's text, or ""
// when every line was read. Each node keeps its line's bytes, so that write
// gives them back unchanged while the node's text is unchanged (also bytes
// that are not valid GBK).
QString read(TTreeView *tree, std::string_view bytes);

// The file's bytes for the tree; "" for an empty tree.
std::string write(const QTreeWidget *tree);

// The path of the file named name in the current directory: the entry whose
// name equals it without regard to letter case (the exact spelling first),
// or a new file of that name when there is none.
QString locate(const QString &name);

enum class Loaded {
    Read,       // every line read
    Missing,    // no such file: the tree is unchanged
    Unreadable, // the file could not be read: the tree is unchanged
    Stopped,    // a line two or more levels deeper stopped the reading
};
// Reads the file named name into tree; error receives the report for the
// operator when the result is not Read.
Loaded load(TTreeView *tree, const QString &name, QString &error);

// Writes the tree to the file named name through a temporary file renamed
// into place, so that a failure leaves the former file whole. Throws
// std::runtime_error with the reason.
void save(const QTreeWidget *tree, const QString &name);

} // namespace treefile
