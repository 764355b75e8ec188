#include "data/WorkFolder.h"

#include "codec/Gbk.h"
#include "data/Schema.h"
#include "platform/ado/Ado.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace workfolder {

namespace {

const char *const DatabaseName = "dbvord.mdb";
const char *const DatabasePassword = "morwent";

struct PhraseFile {
    const char *category;
    std::vector<const char *> phrases;
};

const std::vector<PhraseFile> &phraseFiles()
{
    static const std::vector<PhraseFile> files = {
        {"整蛊专家",
         {"别回头，你身后有一只会说话的熊猫，它说想和你合影。", "今天是愚人节吗？不是？那你为什么笑得这么开心？",
          "你的快递到了，是一箱空气，请签收！", "听说你最近很忙，忙着数头发吗？"}},
        {"俏皮幽默",
         {"我不是胖，只是对地球的吸引力比较大。", "早睡早起身体好，晚睡晚起心情好。", "钱不是问题，问题是没钱。",
          "今天的我比昨天更帅了一点点，你发现了吗？"}},
        {"日常祝福",
         {"愿你每天都有好心情，工作顺利，身体健康！", "天冷了，记得多穿衣服，照顾好自己。",
          "周末愉快！好好休息，养足精神。", "祝你生日快乐，心想事成，万事如意！"}},
        {"商务联络",
         {"您好，会议改在明天上午九点，请准时参加。", "货物已经发出，请注意查收。", "感谢您的支持，期待与您继续合作！",
          "报价单已发到您的邮箱，请查阅。"}},
        {"甜蜜情人",
         {"想你的时候，连风都是甜的。", "有你在身边，每一天都是情人节。", "今晚的月亮很美，可惜你不在我身边。",
          "遇见你，是我最美的意外。"}},
        {"喜庆新春",
         {"新春快乐，龙马精神，阖家欢乐！", "恭喜发财，红包拿来！", "爆竹声声辞旧岁，祝你新年万事如意！",
          "新的一年，愿你步步高升，心想事成。"}},
    };
    return files;
}

[[noreturn]] void failOn(const std::string &path) { throw std::runtime_error(path + ": " + std::strerror(errno)); }

// Writes bytes to a new file that only its owner may read; false when the
// file exists already (it is never replaced).
bool writeNew(const std::string &path, const std::string &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        failOn(path);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            failOn(path);
        }
        done += size_t(n);
    }
    if (::close(fd) != 0)
        failOn(path);
    return true;
}

// Makes a missing folder for its owner only; one that exists keeps its mode.
void makeFolder(const QString &path)
{
    if (QFileInfo::exists(path))
        return;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST))
        throw std::runtime_error(path.toStdString() + ": cannot make the folder");
}

// Lines in GBK, each ended by CR LF.
std::string gbkLines(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &l : lines)
        out += gbk::fromUtf8(l) + "\r\n";
    return out;
}

void fillDatabase(const std::string &path)
{
    TAdoConnection db("Data Source=" + QuotedStr(path) + ";Jet OLEDB:Database Password=" + DatabasePassword);
    db.Open();
    TAdoQuery q(db, "dbcreate");
    ado::appendRow(q, "operater",
                   {{"WORKCODE", "Kelvo"}, {"NAME", "超级用户"}, {"DISCRIBE", "系统管理员"}, {"PASSWORD", "tobrun"}});
    ado::appendRow(q, "param", {{"paramid", "QM"}, {"paramval", ""}});
    ado::appendRow(q, "cgroup", {{"GROUPNAME", "手机电话本"}, {"DISCRIBE", "手机电话本"}});
}

// Built under a temporary name and renamed at the end, so that a failure
// never leaves a database that looks finished.
bool createDatabase(const std::string &path)
{
    if (QFile::exists(QString::fromStdString(path)))
        return false;
    const std::string part = path + ".part";
    std::remove(part.c_str());
    try {
        TAdoConnection::CreateDatabase(part, DatabasePassword, schema::createStatements());
        fillDatabase(part);
    } catch (...) {
        std::remove(part.c_str());
        throw;
    }
    // QFile::rename refuses to replace an existing file.
    if (!QFile::rename(QString::fromStdString(part), QString::fromStdString(path))) {
        std::remove(part.c_str());
        if (QFile::exists(QString::fromStdString(path)))
            return false;
        throw std::runtime_error(path + ": cannot be created");
    }
    return true;
}

} // namespace

const std::vector<std::string> &phraseCategories()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const PhraseFile &f : phraseFiles())
            out.emplace_back(f.category);
        return out;
    }();
    return names;
}

Result create(const std::string &folder)
{
    QDir dir(QString::fromStdString(folder));
    makeFolder(dir.absolutePath());
    makeFolder(dir.absoluteFilePath(QStringLiteral("smsbook")));
    const std::string base = dir.absolutePath().toStdString() + "/";
    Result result;
    auto note = [&](const std::string &name, bool made) { (made ? result.created : result.kept).push_back(name); };

    note(DatabaseName, createDatabase(base + DatabaseName));
    note("TreeView.Txt", writeNew(base + "TreeView.Txt", gbkLines({"联系人", "组", "\t手机电话本"})));
    for (const PhraseFile &f : phraseFiles()) {
        const std::string name = std::string("smsbook/") + f.category + ".txt";
        note(name, writeNew(base + name, gbkLines({f.phrases.begin(), f.phrases.end()})));
    }
    note("SMSLog.TXT", writeNew(base + "SMSLog.TXT", {}));
    note("smsset.ini",
         writeNew(base + "smsset.ini", gbkLines({"[COMMON]", "SCA=+8613800100500", "", "[CH1]", "COMPORT=COM1"})));
    return result;
}

} // namespace workfolder
