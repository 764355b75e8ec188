// The tree file of the contacts window: its reading rules, byte-for-byte
// round trips and the letter case of its name.
#include "TreeShape.h"

#include "desk/TreeFile.h"
#include "support/WorkDir.h"

#include <QDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

struct Reading {
    const char *name;
    std::string bytes;
    QStringList nodes;
    QString error;
};

TEST(TreeFile, ReadingRules)
{
    const Reading cases[] = {
        {"CR LF, nested",
         g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\t\t项目组\r\n\t朋友\r\n"),
         {"联系人", "组", ".手机电话本", ".同事", "..项目组", ".朋友"},
         {}},
        {"LF", "a\nb\n\tc\n", {"a", "b", ".c"}, {}},
        {"CR, no last terminator", "a\rb\r\tc", {"a", "b", ".c"}, {}},
        {"mixed endings", "a\r\n\tb\n\t\tc\rd", {"a", ".b", "..c", "d"}, {}},
        {"blanks count as levels", "a\n b\n \tc\n", {"a", ".b", "..c"}, {}},
        {"first line at any level", "\t\ta\n\tb\nc\n", {"a", ".b", "c"}, {}},
        {"back up several levels", "a\n\tb\n\t\tc\n\t\t\td\n\te\nf\n", {"a", ".b", "..c", "...d", ".e", "f"}, {}},
        {"two levels deeper stops",
         "a\n\tb\n\t\t\tc\n\td\n",
         {"a", ".b"},
         "节点“c”的层级（3）无效：比上一个节点深了两级以上"},
        {"a first line then a jump", "a\n\t\tb\n", {"a"}, "节点“b”的层级（2）无效：比上一个节点深了两级以上"},
        {"empty file", "", {}, {}},
    };
    for (const Reading &c : cases) {
        TTreeView tree;
        tree.AddNode(nullptr, "old"); // reading empties the tree first
        EXPECT_EQ(treefile::read(&tree, c.bytes), c.error) << c.name;
        EXPECT_EQ(shape(tree), c.nodes) << c.name;
    }
}

TEST(TreeFile, WhatWasReadIsWrittenBackByteForByte)
{
    const std::string files[] = {
        g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\t\t项目组\r\n\t\t\t第三层\r\n\t朋友\r\n"),
        "", // an empty tree, an empty file
        // Not valid GBK: kept as it stood while the node keeps its text.
        g("联系人\r\n组\r\n\t") + "\x81\x20x\xff" + "\r\n",
    };
    for (const std::string &bytes : files) {
        TTreeView tree;
        ASSERT_EQ(treefile::read(&tree, bytes), "");
        EXPECT_EQ(treefile::write(&tree), bytes);
    }
    // A node given a new text is written in GBK, at its depth.
    TTreeView tree;
    treefile::read(&tree, "a\r\n\tb\r\n");
    tree.topLevelItem(0)->child(0)->setText(0, QStringLiteral("O'Brien的组"));
    tree.AddNode(tree.topLevelItem(0)->child(0), QStringLiteral("新组"));
    EXPECT_EQ(treefile::write(&tree), "a\r\n\t" + g("O'Brien的组") + "\r\n\t\t" + g("新组") + "\r\n");
}

TEST(TreeFile, TheNameIsMatchedWithoutLetterCase)
{
    WorkDir dir;
    TTreeView tree;
    tree.AddNode(nullptr, QStringLiteral("联系人"));
    QString error;
    // Missing: reported, the tree unchanged; saving makes the file.
    EXPECT_EQ(treefile::load(&tree, "TreeView.Txt", error), treefile::Loaded::Missing);
    EXPECT_TRUE(error.startsWith("无法打开文件“") && error.endsWith("TreeView.Txt”（文件不存在）"))
        << error.toStdString();
    EXPECT_EQ(shape(tree), QStringList{"联系人"});
    treefile::save(&tree, "TreeView.txt");
    EXPECT_EQ(dir.read("TreeView.txt"), g("联系人\r\n"));

    // Another spelling of the name is the same file, read and replaced.
    QDir::current().remove("TreeView.txt");
    dir.write("treeview.TXT", "a\r\n\tb\r\n");
    EXPECT_EQ(treefile::load(&tree, "TreeView.Txt", error), treefile::Loaded::Read);
    EXPECT_EQ(shape(tree), (QStringList{"a", ".b"}));
    tree.AddNode(nullptr, "c");
    treefile::save(&tree, "TreeView.txt");
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"treeview.TXT"});
    EXPECT_EQ(dir.read("treeview.TXT"), "a\r\n\tb\r\nc\r\n");

    // A folder of that name cannot be read.
    QDir::current().remove("treeview.TXT");
    QDir::current().mkdir("TREEVIEW.TXT");
    EXPECT_EQ(treefile::load(&tree, "TreeView.Txt", error), treefile::Loaded::Unreadable);
    EXPECT_TRUE(error.startsWith("无法打开文件“")) << error.toStdString();
    EXPECT_EQ(shape(tree), (QStringList{"a", ".b", "c"}));
    EXPECT_THAT([&] { treefile::save(&tree, "TreeView.txt"); },
                testing::ThrowsMessage<std::runtime_error>(testing::StartsWith("无法写入文件“")));
}

} // namespace
