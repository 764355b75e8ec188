#pragma once

// Linux's termios2, which carries the line speed in bit/s, also for rates
// without a speed code of their own (the "other" rate, BOTHER). glibc's
// <termios.h> and the kernel's <asm/termbits.h> clash, so the kernel record
// is declared here. Internal to the comm layer (no public header includes
// it); the modem simulator and the tests' pty pairs include it too, because
// they read back the very record that CommPosix.cpp writes.

#include <sys/ioctl.h> // TCGETS2, TCSETS2
#include <termios.h>

struct termios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
#ifndef BOTHER
#define BOTHER 0010000
#endif
