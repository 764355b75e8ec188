#include "SmallDisk.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace smalldisk {

namespace {

constexpr const char *kInside = "SMS_SMALL_DISK";
constexpr auto kDeadline = std::chrono::minutes(2);
// The child's shell: mount, then run the rest of its arguments.
constexpr const char *kMountThenRun = "mount -t tmpfs -o size=\"$1\"k tmpfs \"$2\" || exit 97; shift 2; exec \"$@\"";

// Runs command in new user and mount namespaces with the tmpfs mounted,
// named in kInside; its exit code, -1 when it could not start or ran out of
// time. posix_spawn, not fork: the engine's tests also run under
// ThreadSanitizer, which does not follow a fork of a threaded program.
int runMounted(const std::string &mount, int kib, const std::vector<std::string> &command, std::string &output)
{
    std::vector<std::string> args = {"unshare", "-rm", "sh", "-c", kMountThenRun, "sh", std::to_string(kib), mount};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> settings = {std::string(kInside) + "=" + mount};
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        env.push_back(*e);
    for (std::string &s : settings)
        env.push_back(s.data());
    env.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "unshare", &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return -1;
    }
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    bool late = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) == 0) {
            late = true;
            ::kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (late) {
        output += "\n(ended after two minutes)";
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

bool inside() { return qEnvironmentVariableIsSet(kInside); }

std::string rerun(int kib)
{
    QTemporaryDir dir;
    const std::string mount = dir.path().toStdString();
    std::string output;
    if (!dir.isValid() || runMounted(mount, kib, {"true"}, output) != 0)
        return kNotAllowed;
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    output.clear();
    const int code = runMounted(mount, kib, {QCoreApplication::applicationFilePath().toStdString(), filter}, output);
    std::fwrite(output.data(), 1, output.size(), stdout);
    if (code == 0)
        return {};
    return "the test on the small disk failed (" + std::to_string(code) + "):\n" + output;
}

TSmallDiskFolder::TSmallDiskFolder()
{
    if (!inside())
        return;
    previous_ = qgetenv("TMPDIR");
    set_ = qputenv("TMPDIR", qgetenv(kInside));
}

TSmallDiskFolder::~TSmallDiskFolder()
{
    if (set_ && previous_.isEmpty())
        qunsetenv("TMPDIR");
    else if (set_)
        qputenv("TMPDIR", previous_);
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
