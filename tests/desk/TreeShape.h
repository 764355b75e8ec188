#pragma once

#include "codec/Gbk.h"
#include "desk/TreeView.h"

#include <QStringList>
#include <QTreeWidgetItemIterator>
#include <string>

// The nodes of a tree in pre-order, each as its depth in dots and its text
// ("组", ".同事", "..项目组").
inline QStringList shape(const QTreeWidget &tree)
{
    QStringList out;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(&tree)); *it; ++it)
        out << QString(TTreeView::Level(*it), '.') + (*it)->text(0);
    return out;
}

// A tree file's bytes from UTF-8 text.
inline std::string g(const std::string &utf8) { return gbk::fromUtf8(utf8); }
