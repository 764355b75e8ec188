#include "XDisplay.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool pollUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Windows come and go while the tree is searched; a request about one that
// has just gone is not an error for the test (Xlib's default handler would
// end the process).
int ignoreXErrors(Display *, XErrorEvent *) { return 0; }

// Title of a window: the UTF-8 _NET_WM_NAME that Qt sets, else WM_NAME.
std::string titleOf(Display *d, Window w)
{
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char *>(data), count);
        XFree(data);
        return title;
    }
    char *name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

// The first window from w down that match accepts; 0 without one.
Window search(Display *d, Window w, const std::function<bool(Window)> &match)
{
    if (match(w))
        return w;
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i)
        found = search(d, children[i], match);
    if (children)
        XFree(children);
    return found;
}

// The first shown window whose title starts with prefix; 0 without one.
Window search(Display *d, const std::string &prefix)
{
    return search(d, DefaultRootWindow(d), [&](Window w) {
        XWindowAttributes a;
        return titleOf(d, w).rfind(prefix, 0) == 0 && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
    });
}

// The values of a window's property of 32-bit items (atoms, windows).
std::vector<unsigned long> property(Display *d, Window w, const char *name, Atom type)
{
    Atom got;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 64, False, type, &got, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 32)
            out.assign(reinterpret_cast<unsigned long *>(data), reinterpret_cast<unsigned long *>(data) + count);
        XFree(data);
    }
    return out;
}

// Calls each with every shown window directly under the root (a frame, a
// window without one, a popup) and its attributes, top-most last.
void forEachShown(Display *d, const std::function<void(Window, const XWindowAttributes &)> &each)
{
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n))
        return;
    for (unsigned int i = 0; i < n; ++i)
        if (XWindowAttributes a; XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
            each(children[i], a);
    if (children)
        XFree(children);
}

} // namespace

XDisplay::XDisplay(std::string screen, bool windowManager) : screen_(std::move(screen))
{
    XSetErrorHandler(ignoreXErrors);
    // Xvfbs starting at the same moment race for display numbers; one that
    // lost is tried again rather than the journey skipped.
    for (int attempt = 0; attempt < 3 && name_.empty(); ++attempt)
        start();
    if (windowManager && !name_.empty())
        startWindowManager();
}

void XDisplay::startWindowManager()
{
    wm_ = fork();
    if (wm_ == 0) {
        setenv("DISPLAY", name_.c_str(), 1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char *>(nullptr));
        _exit(127);
    }
    if (wm_ < 0)
        return;
    // It manages the screen once it has named itself on the root window; a
    // missing one has ended by then.
    Display *d = XOpenDisplay(name_.c_str());
    const bool up =
        d && pollUntil(
                 [&] {
                     if (waitpid(wm_, nullptr, WNOHANG) == wm_)
                         wm_ = -1;
                     return wm_ < 0 ||
                            !property(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
                 },
                 20000);
    if (d)
        XCloseDisplay(d);
    if (!up && wm_ > 0) {
        kill(wm_, SIGTERM);
        waitpid(wm_, nullptr, 0);
        wm_ = -1;
    }
}

void XDisplay::start()
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen_.c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes its display number once it accepts clients; one that
    // never does is given up after 20 s.
    char buf[32] = {};
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof buf - 1)) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 20000) != 1)
            break;
        ssize_t r = read(fds[0], buf + got, sizeof buf - 1 - got);
        if (r <= 0 || std::memchr(buf, '\n', got + r))
            break;
        got += r;
    }
    close(fds[0]);
    if (buf[0] >= '0' && buf[0] <= '9') {
        name_ = ":" + std::to_string(std::atoi(buf));
        return;
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

XDisplay::~XDisplay()
{
    if (wm_ > 0) {
        kill(wm_, SIGTERM);
        waitpid(wm_, nullptr, 0);
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

unsigned long XDisplay::findWindow(const std::string &title) const
{
    Display *d = XOpenDisplay(name_.c_str());
    if (!d)
        return 0;
    Window w = search(d, title);
    XCloseDisplay(d);
    return w;
}

bool XDisplay::waitForWindow(const std::string &title, int timeoutMs) const
{
    return pollUntil([&] { return findWindow(title) != 0; }, timeoutMs);
}

bool XDisplay::waitUntilGone(const std::string &title, int timeoutMs) const
{
    return pollUntil([&] { return findWindow(title) == 0; }, timeoutMs);
}

bool XDisplay::xdotool(const QStringList &args, int timeoutMs) const
{
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(name_));
    xdotool.setProcessEnvironment(env);
    xdotool.start("xdotool", args);
    return xdotool.waitForFinished(timeoutMs) && xdotool.exitCode() == 0;
}

bool XDisplay::keys(const std::string &title, const std::string &keys, int timeoutMs) const
{
    unsigned long w = 0;
    if (!pollUntil([&] { return (w = findWindow(title)) != 0; }, timeoutMs))
        return false;
    QStringList args{"windowfocus", "--sync", QString::number(w), "key", "--delay", "50"};
    args += QString::fromStdString(keys).split(' ', Qt::SkipEmptyParts);
    return xdotool(args, 10000);
}

bool XDisplay::type(const std::string &title, const std::string &text, int timeoutMs) const
{
    unsigned long w = 0;
    if (!pollUntil([&] { return (w = findWindow(title)) != 0; }, timeoutMs))
        return false;
    Display *d = XOpenDisplay(name_.c_str());
    if (!d)
        return false;
    // Characters the keyboard lacks are bound to the keycodes that hold no
    // symbol, a batch at a time. The program reads the map when it handles
    // each change, so a batch's map stays until its keys have been taken.
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(d, &minCode, &maxCode);
    KeySym *map = XGetKeyboardMapping(d, KeyCode(minCode), maxCode - minCode + 1, &perCode);
    std::vector<KeyCode> spare;
    for (int code = minCode; code <= maxCode; ++code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i)
            empty = empty && map[(code - minCode) * perCode + i] == NoSymbol;
        if (empty)
            spare.push_back(KeyCode(code));
    }
    XFree(map);
    const auto bind = [&](KeyCode code, KeySym sym) {
        std::vector<KeySym> row(size_t(perCode), sym);
        XChangeKeyboardMapping(d, code, perCode, row.data(), 1);
    };

    const std::u32string chars = QString::fromStdString(text).toStdU32String();
    bool ok = !spare.empty();
    for (size_t at = 0; ok && at < chars.size();) {
        std::vector<std::pair<KeySym, KeyCode>> bound;
        QStringList names;
        for (; at < chars.size(); ++at) {
            const KeySym sym = chars[at] < 0x100 ? KeySym(chars[at]) : KeySym(0x1000000 | chars[at]);
            const bool mapped = XKeysymToKeycode(d, sym) != 0 ||
                                std::any_of(bound.begin(), bound.end(), [&](const auto &b) { return b.first == sym; });
            if (!mapped) {
                if (bound.size() == spare.size())
                    break;
                bound.emplace_back(sym, spare[bound.size()]);
            }
            names << QString::fromLatin1(XKeysymToString(sym));
        }
        for (const auto &[sym, code] : bound)
            bind(code, sym);
        XSync(d, False);
        QThread::msleep(300);
        ok = xdotool(QStringList{"windowfocus", "--sync", QString::number(w), "key", "--delay", "50"} + names, 60000);
        QThread::msleep(1000);
    }
    for (KeyCode code : spare)
        bind(code, NoSymbol);
    XCloseDisplay(d);
    return ok;
}

bool XDisplay::click(int x, int y, int button, int count) const
{
    return xdotool({"mousemove", QString::number(x), QString::number(y), "sleep", "0.2", "click", "--repeat",
                    QString::number(count), "--delay", "80", QString::number(button)},
                   10000);
}

bool XDisplay::requestClose(const std::string &title) const
{
    Display *d = XOpenDisplay(name_.c_str());
    if (!d)
        return false;
    Window w = search(d, title);
    if (w) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &e);
        XFlush(d);
    }
    XCloseDisplay(d);
    return w != 0;
}

bool XDisplay::menuKeys(const std::string &keys, int timeoutMs) const
{
    Display *d = XOpenDisplay(name_.c_str());
    if (!d)
        return false;
    // A menu is shown unmanaged, over the window it belongs to; so is a
    // tooltip, which says what it is.
    const Atom tooltip = XInternAtom(d, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    const bool shown = pollUntil(
        [&] {
            bool found = false;
            forEachShown(d, [&](Window w, const XWindowAttributes &a) {
                Window owner = 0;
                const std::vector<unsigned long> types = property(d, w, "_NET_WM_WINDOW_TYPE", XA_ATOM);
                found = found || (a.override_redirect && XGetTransientForHint(d, w, &owner) &&
                                  std::find(types.begin(), types.end(), tooltip) == types.end());
            });
            return found;
        },
        timeoutMs);
    XCloseDisplay(d);
    return shown &&
           xdotool(QStringList{"key", "--delay", "50"} + QString::fromStdString(keys).split(' ', Qt::SkipEmptyParts));
}

std::vector<XDisplay::Frame> XDisplay::frames() const
{
    std::vector<Frame> out;
    Display *d = XOpenDisplay(name_.c_str());
    if (!d)
        return out;
    forEachShown(d, [&](Window top, const XWindowAttributes &a) {
        // Popups and tooltips: placed by the program, not framed.
        if (a.override_redirect)
            return;
        // The program's own window, inside the frame.
        const Window w = search(d, top, [&](Window inner) { return !titleOf(d, inner).empty(); });
        int x = 0, y = 0;
        Window child;
        if (w && XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child))
            out.push_back(
                {titleOf(d, w), a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width, y - a.y});
    });
    XCloseDisplay(d);
    return out;
}
