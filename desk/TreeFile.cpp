#include "desk/TreeFile.h"

#include "codec/Gbk.h"
#include "desk/TreeView.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTreeWidgetItemIterator>
#include <stdexcept>

namespace treefile {

namespace {

// The line's bytes as read, kept on its node.
constexpr int RawRole = Qt::UserRole + 0x7101;

QString decode(std::string_view gbkBytes) { return QString::fromStdString(gbk::toUtf8(gbkBytes)); }

std::string bytesOf(const QTreeWidgetItem *node)
{
    const QByteArray raw = node->data(0, RawRole).toByteArray();
    if (!raw.isNull() && decode({raw.constData(), size_t(raw.size())}) == node->text(0))
        return raw.toStdString();
    return gbk::fromUtf8(node->text(0).toStdString());
}

void writeNode(std::string &out, const QTreeWidgetItem *node, int depth)
{
    out.append(depth, '\t');
    out += bytesOf(node);
    out += "\r\n";
    for (int i = 0; i < node->childCount(); ++i)
        writeNode(out, node->child(i), depth + 1);
}

} // namespace

QString read(TTreeView *tree, std::string_view bytes)
{
    tree->clear();
    QTreeWidgetItem *last = nullptr;
    int lastLevel = 0; // the depth of last in the tree
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
        const std::string_view line = bytes.substr(at, end - at);
        at = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);

        int level = 0;
        while (size_t(level) < line.size() && (line[level] == '\t' || line[level] == ' '))
            ++level;
        const std::string_view raw = line.substr(level);
        const QString text = decode(raw);

        QTreeWidgetItem *parent = nullptr;
        if (!last) {
            level = 0;
        } else if (level == lastLevel) {
            parent = last->parent();
        } else if (level == lastLevel + 1) {
            parent = last;
        } else if (level < lastLevel) {
            QTreeWidgetItem *sibling = last->parent();
            for (int l = lastLevel - 1; l > level; --l)
                sibling = sibling->parent();
            parent = sibling->parent();
        } else {
            return QStringLiteral("节点“%2”的层级（%1）无效：比上一个节点深了两级以上").arg(level).arg(text);
        }
        last = tree->AddNode(parent, text);
        last->setData(0, RawRole, QByteArray(raw.data(), qsizetype(raw.size())));
        lastLevel = level;
    }
    return {};
}

std::string write(const QTreeWidget *tree)
{
    std::string out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        writeNode(out, tree->topLevelItem(i), 0);
    return out;
}

QString locate(const QString &name)
{
    const QDir here = QDir::current();
    if (QFileInfo::exists(here.filePath(name)))
        return here.absoluteFilePath(name);
    const QStringList entries = here.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return here.absoluteFilePath(entry);
    return here.absoluteFilePath(name);
}

Loaded load(TTreeView *tree, const QString &name, QString &error)
{
    const QString path = locate(name);
    QFile file(path);
    if (!file.exists()) {
        error = QStringLiteral("无法打开文件“%1”（文件不存在）").arg(QDir::toNativeSeparators(path));
        return Loaded::Missing;
    }
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        error = QStringLiteral("无法打开文件“%1”（%2）").arg(QDir::toNativeSeparators(path), file.errorString());
        return Loaded::Unreadable;
    }
    error = read(tree, {bytes.constData(), size_t(bytes.size())});
    return error.isEmpty() ? Loaded::Read : Loaded::Stopped;
}

void save(const QTreeWidget *tree, const QString &name)
{
    const QString path = locate(name);
    const std::string bytes = write(tree);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) ||
        !file.commit())
        throw std::runtime_error(QStringLiteral("无法写入文件“%1”（%2）")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
}

} // namespace treefile
