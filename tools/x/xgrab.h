// Finding a top-level window by title and reading its pixels, for the tests and the headless run.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
    bool operator==(const Shot& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
    bool operator!=(const Shot& o) const { return !(*this == o); }
    const uint8_t* at(int x, int y) const { return &rgb[((size_t)y * width + x) * 3]; }
};

// Opens the display, letting requests on windows that another program has just closed
// fail quietly rather than end the process (Xlib's default on any error).
Display* openDisplay();
// An error handler that lets every error pass, set around requests on a window that may be gone.
int ignoreErrors(Display*, XErrorEvent*);
// 0 when no viewable window has the title within the time.
Window findWindow(Display* dpy, const char* title, double timeoutSeconds);
std::vector<Window> findWindows(Display* dpy, const char* title);  // every viewable one, now
bool grabWindow(Display* dpy, Window w, Shot& shot);
// Waits until the window shows a drawn frame: not a single colour, the same in two grabs in a row.
bool waitForFrame(Display* dpy, Window w, Shot& shot, double timeoutSeconds);
// Largest difference of any channel, and how many pixels differ by more than `tolerance`.
int maxDifference(const Shot& a, const Shot& b, int tolerance, long* differing);
bool writePpm(const std::string& path, const Shot& shot);
bool writePng(const std::string& path, const Shot& shot);  // uncompressed: for looking at, not keeping
bool readPpm(const std::string& path, Shot& shot);
bool singleColour(const Shot& shot);  // what a window shows before its first frame
double secondsNow();                  // a monotonic clock, for timeouts
void sleepSeconds(double s);
