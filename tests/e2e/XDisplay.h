#pragma once

#include <QStringList>
#include <string>
#include <sys/types.h>
#include <vector>

// A private virtual X display (Xvfb) for running the real desk program in a
// test, and what a test does to its windows: type keys or text into one and
// click on the screen (through xdotool), and ask one to close, as a window
// manager's close button does (WM_DELETE_WINDOW). With a window manager
// (openbox), windows get frames and title bars as on a desktop.
class XDisplay {
public:
    // screen: Xvfb's "WIDTHxHEIGHTxDEPTH"; windowManager: openbox manages it.
    explicit XDisplay(std::string screen = "1280x900x24", bool windowManager = false);
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    // False when Xvfb is not installed or did not come up.
    bool started() const { return !name_.empty(); }
    // True when the window manager asked for manages the display.
    bool managed() const { return wm_ > 0; }
    // ":<n>", the value for DISPLAY.
    const std::string &name() const { return name_; }

    // Waits (up to timeoutMs) for a window whose title starts with title,
    // gives it the keyboard focus and types the keys (xdotool key names,
    // blank-separated). False when no such window appeared.
    bool keys(const std::string &title, const std::string &keys, int timeoutMs = 20000) const;
    // Like keys, but types text (UTF-8, any characters) as a user would.
    bool type(const std::string &title, const std::string &text, int timeoutMs = 20000) const;
    // Moves the pointer to (x, y) on the screen and clicks button (1 left,
    // 3 right) count times in quick succession (2: a double click).
    bool click(int x, int y, int button = 1, int count = 1) const;
    // Waits for a window whose title starts with title; true when it exists.
    bool waitForWindow(const std::string &title, int timeoutMs = 20000) const;
    // Waits for no window whose title starts with title to be left; true then.
    bool waitUntilGone(const std::string &title, int timeoutMs = 20000) const;
    // Sends WM_DELETE_WINDOW to the window whose title starts with title.
    bool requestClose(const std::string &title) const;
    // Waits (up to timeoutMs) for a menu (a popup, not a tooltip) to be
    // shown and types the keys, which it takes as it holds the keyboard.
    bool menuKeys(const std::string &keys, int timeoutMs = 20000) const;

    // A top-level window as the X server draws it: the window manager's
    // frame, title bar included (without one: the window itself), in screen
    // coordinates, and the height of the frame above the window's contents.
    struct Frame {
        std::string title;
        int x = 0, y = 0, width = 0, height = 0, titleBar = 0;
    };
    // Every top-level window shown now.
    std::vector<Frame> frames() const;

private:
    void start();
    void startWindowManager();
    unsigned long findWindow(const std::string &title) const;
    bool xdotool(const QStringList &args, int timeoutMs = 10000) const;

    std::string screen_;
    pid_t pid_ = -1;
    pid_t wm_ = -1;
    std::string name_;
};
