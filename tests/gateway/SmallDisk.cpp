#include "SmallDisk.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace smalldisk {

namespace {

constexpr const char *kInside = "SMS_SMALL_DISK";
constexpr int kDeadlineMs = 120000;
// The child's shell: mount, then run the rest of its arguments.
constexpr const char *kMountThenRun = "mount -t tmpfs -o size=\"$1\"k tmpfs \"$2\" || exit 97; shift 2; exec \"$@\"";

// Runs the command in new user and mount namespaces with the tmpfs
// mounted; the child's exit code, -1 when it could not start or ran out
// of time (output then says so).
int runMounted(const QString &mount, int kib, const QStringList &command, QByteArray &output)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kInside, "1");
    env.insert("TMPDIR", mount);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("unshare", QStringList{"-rm", "sh", "-c", kMountThenRun, "sh", QString::number(kib), mount} + command);
    if (!child.waitForStarted())
        return -1;
    if (!child.waitForFinished(kDeadlineMs)) {
        child.kill();
        child.waitForFinished();
        output = child.readAll() + "\n(ended after " + QByteArray::number(kDeadlineMs / 1000) + " s)";
        return -1;
    }
    output = child.readAll();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace

bool inside() { return qEnvironmentVariableIsSet(kInside); }

std::string rerun(int kib)
{
    QTemporaryDir mount;
    QByteArray output;
    if (!mount.isValid() || runMounted(mount.path(), kib, {"true"}, output) != 0)
        return kNotAllowed;
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name());
    const int code = runMounted(mount.path(), kib, {QCoreApplication::applicationFilePath(), filter}, output);
    std::fwrite(output.constData(), 1, static_cast<std::size_t>(output.size()), stdout);
    if (code == 0)
        return {};
    return "the test on the small disk failed (" + std::to_string(code) + "):\n" + output.toStdString();
}

void fill()
{
    const int fd = ::open("filler", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    for (const std::size_t chunk : {std::size_t{65536}, std::size_t{4096}, std::size_t{1}}) {
        const std::vector<char> zeros(chunk);
        while (fd >= 0 && ::write(fd, zeros.data(), chunk) > 0) {
        }
    }
    if (fd >= 0)
        ::close(fd);
}

} // namespace smalldisk
