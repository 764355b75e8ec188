#pragma once

// A test's work folder on a file system of its own, a few hundred KiB of
// tmpfs, to see what the engine does when the disk is full. The test runs
// again in a child process inside user and mount namespaces of its own (no
// privilege needed where the system allows them); the parent checks the
// child's result. A fixture that derives from TSmallDiskFolder first has
// its WorkDir made on the tmpfs in the child.

#include <QByteArray>
#include <gtest/gtest.h>
#include <string>

namespace smalldisk {

inline constexpr const char *kNotAllowed = "namespaces or tmpfs mounts are not allowed here";

// True in the child that runs the test on the small disk.
bool inside();
// Runs the current test in the child on a tmpfs of kib KiB, at most two
// minutes; "" when it passed, kNotAllowed when the child cannot be made,
// otherwise what went wrong and the child's output.
std::string rerun(int kib);
// Fills the file system of the current directory to the last page with the
// file "filler"; removing it gives the room back.
void fill();

// In the child, for its lifetime: temporary folders are made on the tmpfs
// (TMPDIR), and only then, as the process itself may keep files there.
class TSmallDiskFolder {
public:
    TSmallDiskFolder();
    ~TSmallDiskFolder();
    TSmallDiskFolder(const TSmallDiskFolder &) = delete;
    TSmallDiskFolder &operator=(const TSmallDiskFolder &) = delete;

private:
    QByteArray previous_;
    bool set_ = false;
};

} // namespace smalldisk

// At the top of a TEST body: the rest of the body runs on the small disk.
#define ON_SMALL_DISK(kib)                                                                                             \
    do {                                                                                                               \
        if (!smalldisk::inside()) {                                                                                    \
            const std::string failed = smalldisk::rerun(kib);                                                          \
            if (failed == smalldisk::kNotAllowed)                                                                      \
                GTEST_SKIP() << "no small disk: " << failed;                                                           \
            ASSERT_EQ(failed, "");                                                                                     \
            return;                                                                                                    \
        }                                                                                                              \
    } while (0)
