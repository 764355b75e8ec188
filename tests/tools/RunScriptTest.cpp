// tools/run.sh's arguments, run on a copy of the script whose install, build,
// work-folder creator and desk are stand-ins that record what they were
// asked to do.
#include "support/WorkDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const char kIni[] = "[CH1]\r\nCOMPORT=/dev/zero\r\n[COMMON]\r\nSCA=\r\n";

struct Case {
    const char *name;
    std::vector<std::string> args;
    int exitCode;
    std::string output; // a part of stdout and stderr together
    std::string built;  // the build's arguments; "" when nothing was built
    std::string comport;
};

class RunScript : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        for (const char *folder : {"tools", "build/tools/dbcreate", "build/desk", "work"})
            QDir().mkpath(QString::fromStdString(dir.file(folder)));
        QFile::copy(SOURCE_DIR "/tools/run.sh", QString::fromStdString(dir.file("tools/run.sh")));
        stub("tools/install-deps.sh", "true");
        stub("tools/build.sh", "echo \"$*\" > built");
        stub("build/tools/dbcreate/dbcreate", "true");
        stub("build/desk/smsdesk", "echo desk ran");
        dir.write("work/smsset.ini", kIni);
    }

    void stub(const std::string &name, const std::string &body)
    {
        dir.write(name, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(QString::fromStdString(dir.file(name)), QFile::ReadOwner | QFile::ExeOwner);
    }

    std::string comport() const
    {
        const std::string ini = dir.read("work/smsset.ini");
        const auto at = ini.find("COMPORT=") + 8;
        return ini.substr(at, ini.find('\r', at) - at);
    }

    WorkDir dir;
};

TEST_P(RunScript, ChecksItsArgumentsBeforeBuildingAnything)
{
    const Case &c = GetParam();
    QStringList args{QString::fromStdString(dir.file("tools/run.sh"))};
    for (const std::string &a : c.args)
        args << QString::fromStdString(a);
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start("bash", args);
    ASSERT_TRUE(run.waitForFinished(30000));
    const std::string output = run.readAll().toStdString();

    EXPECT_EQ(run.exitCode(), c.exitCode) << output;
    EXPECT_NE(output.find(c.output), std::string::npos) << output;
    EXPECT_EQ(dir.read("built"), c.built.empty() ? "" : c.built + "\n");
    EXPECT_EQ(comport(), c.comport);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RunScript,
    ::testing::Values(
        Case{"ShortHelp", {"-h"}, 0, "usage: tools/run.sh", "", "/dev/zero"},
        Case{"LongHelp", {"--help"}, 0, "tools/run.sh --sim", "", "/dev/zero"},
        Case{"UnknownOption", {"--bogus"}, 2, "unknown option --bogus\nusage:", "", "/dev/zero"},
        Case{"TwoPorts", {"ttyUSB0", "extra"}, 2, "usage:", "", "/dev/zero"},
        Case{"MissingPort", {"ttyNoSuchPort"}, 1, "there is no serial port /dev/ttyNoSuchPort", "", "/dev/zero"},
        Case{"NewPort",
             {"/dev/null"},
             0,
             "Using the modem on /dev/null.\ndesk ran",
             "smsdesk dbcreate modemsim",
             "/dev/null"},
        Case{"StoredPort", {}, 0, "Using the modem on /dev/zero", "smsdesk dbcreate modemsim", "/dev/zero"}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
