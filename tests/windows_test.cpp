// The Windows zip unpacked, its program run under Wine from a folder without data/, its frames
// held against the native program's pixel for pixel: Wine hands GL to the same Mesa.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it
#include "lab_process.h"
#include "xgrab.h"
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char* const WINE = "/usr/bin/wine";
const std::string ZIP = WINDOWS_BUILD "/ostrel-lab-" OSTREL_VERSION "-windows-x64.zip";
Display* dpy;
std::string scratch, exe;  // the zip unpacked in scratch, beside the native pictures and broken/data
int shell(const std::string& cmd) { return system(cmd.c_str()); }
std::string inQuotes(const std::string& path) { return "'" + path + "'"; }  // a folder's name may hold spaces
void xdo(const std::string& args) { ASSERT_EQ(shell("timeout 120 xdotool " + args), 0) << args; }
bool endsWith(LabProcess& lab, int status) { return lab.exited(120) && WIFEXITED(lab.status) && WEXITSTATUS(lab.status) == status; }

struct Wine : testing::Environment {  // a prefix made afresh per run, its first start slow; no zip: skipped
    void SetUp() override
    {
        if (access(ZIP.c_str(), R_OK) != 0) GTEST_SKIP() << "no Windows zip: " << ZIP;
        char dir[] = "/tmp/ostrel-windows-XXXXXX";
        scratch = mkdtemp(dir);
        exe = scratch + "/ostrel-lab-" OSTREL_VERSION "-windows-x64/ostrel-lab.exe";
        for (const char* v : {"WINEPREFIX=" WINDOWS_BUILD "/wine", "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="})
            putenv((char*)v);  // the last: no offer to fetch Mono or Gecko
        ASSERT_EQ(shell("rm -rf \"$WINEPREFIX\" && wineboot --init && wineserver --wait && cd " + inQuotes(scratch) +
                        " && cmake -E tar xf " + inQuotes(ZIP) + " && mkdir -p broken/data && echo >broken/data/carpet.tga && " +
                        inQuotes(LAB_SHOT) + " native.ppm 60 " + inQuotes(OSTREL_BINARY) + " && " + inQuotes(LAB_POSE) +
                        " . turned=0,0,0,4,-4,-30 moved=0,2,-2,4,-4,-30"), 0) << "the Wine prefix, the zip unpacked, the native pictures";
        dpy = openDisplay();
    }
    void TearDown() override { shell("rm -rf " + inQuotes(scratch)); }
};
testing::Environment* const wine = testing::AddGlobalTestEnvironment(new Wine);

// Waits for the window to show the picture: 0, or how many pixels differ at the last look.
long differsFrom(Window w, const std::string& picture)
{
    Shot want, s;
    long differing = -1;  // until a look
    readPpm(scratch + "/" + picture + ".ppm", want);
    for (double end = secondsNow() + 30; secondsNow() < end && differing; sleepSeconds(0.1))
        if (grabWindow(dpy, w, s)) maxDifference(s, want, 0, &differing);
    return differing;
}

// freeglut's menu on Windows opens on the press and picks on a click: entries 16 pixels apart.
void choose(int entry)
{
    xdo("mousemove 200 200 click 3");
    ASSERT_NE(findWindow(dpy, "freeglut menu", 30), 0u);
    xdo("mousemove 220 " + std::to_string(200 + 2 + 16 * entry + 8) + " click 1");
}

TEST(Windows, TheZipsProgramDrawsAsTheNativeOneMovesAsItAndQuitsWithZero)
{
    EXPECT_EQ(shell("cd \"$(dirname " + inQuotes(exe) + ")\" && test -f README.txt -a -f LICENSE.txt -a $(find . -type f | wc -l) = 10"), 0);
    LabProcess lab;
    ASSERT_TRUE(lab.start(WINE, scratch, {exe}));  // its images only beside it
    Window w = findWindow(dpy, "Ostrel Lab", 120);
    ASSERT_EQ(differsFrom(w, "native"), 0) << "the first frame; " << slurp(lab.err);
    choose(0);  // Move Orientation, then one step of a drag: the centre to (4, -4)
    xdo("mousemove 100 100 mousedown 1 mousemove 110 110 mouseup 1");
    EXPECT_EQ(differsFrom(w, "turned"), 0);
    choose(1);  // Move Position: the eye to y 2, z -2
    xdo("mousemove 110 110 mousedown 1 mousemove 100 120 mouseup 1");
    EXPECT_EQ(differsFrom(w, "moved"), 0);
    choose(4);  // Quit
    EXPECT_TRUE(endsWith(lab, 0)) << lab.status;
}

// The reader's line on standard error, or in a box when started as from the desktop (none).
TEST(Windows, ABrokenImageEndsWithOneAndTheReadersMessage)
{
    LabProcess lab, started;
    ASSERT_TRUE(lab.start(WINE, scratch + "/broken", {exe}));
    EXPECT_TRUE(endsWith(lab, 1)) << lab.status;
    EXPECT_NE(slurp(lab.err).find("data/carpet.tga: file ends early"), std::string::npos) << slurp(lab.err);
    ASSERT_TRUE(started.start(WINE, scratch, {"start", "/wait", "/d", "Z:" + scratch + "/broken", "/unix", exe}));
    xdo("search --sync --onlyvisible --name '^Ostrel Lab stopped$' windowfocus --sync key Return");
    EXPECT_TRUE(endsWith(started, 1)) << started.status;
}
}  // namespace
