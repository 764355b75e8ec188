#include "gateway/QueueFiles.h"

#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <optional>

namespace queuefiles {
namespace {

// The lines of a file, a final line end not making an extra line; nullopt
// when the file is missing; error set when it exists but cannot be read.
std::optional<std::vector<std::string>> readLines(const std::string &name, std::string &error)
{
    QFile file(QString::fromStdString(existingName(name)));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        error = "无法打开文件" + file.fileName().toStdString() + ":" + file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = "无法读取文件" + file.fileName().toStdString() + ":" + file.errorString().toStdString();
        return std::nullopt;
    }
    std::vector<std::string> lines;
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            end = all.size();
        QByteArray line = all.mid(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.emplace_back(line.constData(), static_cast<std::size_t>(line.size()));
        at = end + 1;
    }
    return lines;
}

bool writeLines(const std::string &name, const std::vector<std::string> &lines)
{
    QSaveFile file(QString::fromStdString(existingName(name)));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const std::string &line : lines) {
        bytes.append(line.data(), static_cast<qsizetype>(line.size()));
        bytes.append("\r\n");
    }
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace

std::string existingName(const std::string &name)
{
    const QString wanted = QString::fromStdString(name);
    if (QFile::exists(wanted))
        return name;
    const QStringList entries = QDir::current().entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries)
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return entry.toStdString();
    return name;
}

std::vector<std::string> load(TSMSChannel &channel)
{
    std::vector<std::string> errors;
    std::string error;
    if (auto lines = readLines(kReadBuf, error)) {
        for (const std::string &line : *lines) {
            auto pdu = std::make_unique<TPDUGet>();
            pdu->Decode(line);
            channel.AddReceived(std::move(pdu));
        }
    }
    if (!error.empty())
        errors.push_back(error);
    error.clear();
    if (auto lines = readLines(kSendBuf, error)) {
        for (const std::string &line : *lines) {
            auto pdu = std::make_unique<TPDUSend>();
            pdu->Tries = 0;
            pdu->Decode(line);
            channel.QueueSend(std::move(pdu));
        }
    }
    if (!error.empty())
        errors.push_back(error);
    return errors;
}

std::vector<std::string> save(TSMSChannel &channel)
{
    std::vector<std::string> received, toSend;
    {
        EngineLock lock;
        for (const auto &pdu : channel.RecvList)
            received.push_back(pdu->Text);
        for (const auto &pdu : channel.SendQueue) {
            pdu->Encode();
            toSend.push_back(pdu->Text);
        }
    }
    std::vector<std::string> failed;
    if (!writeLines(kReadBuf, received))
        failed.push_back(existingName(kReadBuf));
    if (!writeLines(kSendBuf, toSend))
        failed.push_back(existingName(kSendBuf));
    return failed;
}

} // namespace queuefiles
