#include "xgrab.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <time.h>

void sleepSeconds(double s)
{
    timespec t{(time_t)s, (long)((s - (time_t)s) * 1e9)};
    nanosleep(&t, nullptr);
}

double secondsNow()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static void search(Display* dpy, Window w, const char* title, std::vector<Window>& found)
{
    char* name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        bool match = strcmp(name, title) == 0;
        XFree(name);
        XWindowAttributes a;
        if (match && XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable) found.push_back(w);
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; ++i) search(dpy, children[i], title, found);
        if (children) XFree(children);
    }
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

static int ignoreClosedWindows(Display* dpy, XErrorEvent* e)
{
    if (e->error_code == BadWindow || e->error_code == BadDrawable) return 0;
    char text[256];
    XGetErrorText(dpy, e->error_code, text, sizeof text);
    fprintf(stderr, "X error: %s (request %d)\n", text, e->request_code);
    exit(1);
}

Display* openDisplay()
{
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy) XSetErrorHandler(ignoreClosedWindows);
    return dpy;
}

std::vector<Window> findWindows(Display* dpy, const char* title)
{
    std::vector<Window> found;
    XSync(dpy, False);
    // Another program's window may close while the tree is walked.
    XErrorHandler old = XSetErrorHandler(ignoreErrors);
    search(dpy, DefaultRootWindow(dpy), title, found);
    XSync(dpy, False);
    XSetErrorHandler(old);
    return found;
}

Window findWindow(Display* dpy, const char* title, double timeoutSeconds)
{
    double end = secondsNow() + timeoutSeconds;
    do {
        std::vector<Window> found = findWindows(dpy, title);
        if (!found.empty()) return found[0];
        sleepSeconds(0.05);
    } while (secondsNow() < end);
    return 0;
}

bool grabWindow(Display* dpy, Window w, Shot& shot)
{
    XErrorHandler old = XSetErrorHandler(ignoreErrors);  // the window may be gone
    XWindowAttributes a;
    XImage* img = nullptr;
    if (XGetWindowAttributes(dpy, w, &a))
        img = XGetImage(dpy, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    XSync(dpy, False);
    XSetErrorHandler(old);
    if (!img) return false;
    shot.width = a.width;
    shot.height = a.height;
    shot.rgb.resize((size_t)a.width * a.height * 3);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            unsigned long p = XGetPixel(img, x, y);
            uint8_t* o = &shot.rgb[((size_t)y * a.width + x) * 3];
            o[0] = (uint8_t)((p & img->red_mask) >> 16);
            o[1] = (uint8_t)((p & img->green_mask) >> 8);
            o[2] = (uint8_t)(p & img->blue_mask);
        }
    XDestroyImage(img);
    return true;
}

bool singleColour(const Shot& s)
{
    for (size_t i = 3; i < s.rgb.size(); ++i)
        if (s.rgb[i] != s.rgb[i % 3]) return false;
    return true;
}

bool waitForFrame(Display* dpy, Window w, Shot& shot, double timeoutSeconds)
{
    double end = secondsNow() + timeoutSeconds;
    Shot previous;
    while (secondsNow() < end) {
        if (grabWindow(dpy, w, shot) && !singleColour(shot) && shot == previous) return true;
        previous = shot;
        sleepSeconds(0.1);
    }
    return false;
}

int maxDifference(const Shot& a, const Shot& b, int tolerance, long* differing)
{
    if (a.width != b.width || a.height != b.height) {
        if (differing) *differing = -1;
        return 255;
    }
    int worst = 0;
    long count = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(a.rgb[i + c] - b.rgb[i + c]));
        worst = std::max(worst, d);
        if (d > tolerance) ++count;
    }
    if (differing) *differing = count;
    return worst;
}

bool writePpm(const std::string& path, const Shot& shot)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    fprintf(f, "P6\n%d %d\n255\n", shot.width, shot.height);
    bool ok = fwrite(shot.rgb.data(), 1, shot.rgb.size(), f) == shot.rgb.size();
    return fclose(f) == 0 && ok;
}

// A PNG of stored (uncompressed) deflate blocks: a picture to look at needs no zlib.
static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((uint8_t)(v >> shift));
}

static void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    static uint32_t table[256];
    for (uint32_t i = table[255] ? 256 : 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    put32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = start; i < out.size(); ++i) crc = table[(crc ^ out[i]) & 0xFF] ^ (crc >> 8);
    put32(out, ~crc);
}

bool writePng(const std::string& path, const Shot& shot)
{
    std::vector<uint8_t> rows, z = {0x78, 0x01}, header, png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    size_t rowBytes = (size_t)shot.width * 3;
    for (int y = 0; y < shot.height; ++y) {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), shot.at(0, y), shot.at(0, y) + rowBytes);
    }
    uint32_t a = 1, b = 0;
    for (uint8_t c : rows) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < rows.size();) {
        size_t n = std::min<size_t>(65535, rows.size() - at);
        bool last = at + n == rows.size();
        z.insert(z.end(), {(uint8_t)last, (uint8_t)n, (uint8_t)(n >> 8), (uint8_t)~n, (uint8_t)(~n >> 8)});
        z.insert(z.end(), rows.begin() + at, rows.begin() + at + n);
        at += n;
    }
    put32(z, b << 16 | a);
    put32(header, shot.width);
    put32(header, shot.height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", z);
    putChunk(png, "IEND", {});
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    return fclose(f) == 0 && ok;
}

bool readPpm(const std::string& path, Shot& shot)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    int maxval = 0;
    bool ok = fscanf(f, "P6 %d %d %d", &shot.width, &shot.height, &maxval) == 3 && maxval == 255 &&
              fgetc(f) != EOF && shot.width > 0 && shot.height > 0 && shot.width < 10000 && shot.height < 10000;
    if (ok) {
        shot.rgb.resize((size_t)shot.width * shot.height * 3);
        ok = fread(shot.rgb.data(), 1, shot.rgb.size(), f) == shot.rgb.size();
    }
    fclose(f);
    return ok;
}
