// The Windows zip as people get it: unpacked into a temporary folder, its program run under
// Wine on the test X server from a folder without data/, its frames held against the native
// program's pixel for pixel (Wine hands GL to the same Mesa). ./lab test makes the zip
// first; without one the tests are skipped.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it

#include "lab_process.h"
#include "xgrab.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const TITLE = "Ostrel Lab";
const std::string ZIP = WINDOWS_BUILD "/ostrel-lab-" OSTREL_VERSION "-windows-x64.zip";
Display* dpy;
std::string scratch, exe;  // the zip unpacked in scratch; native pictures and a broken image beside it

int shell(const std::string& cmd) { return system(cmd.c_str()); }

// One Wine prefix per run, made afresh in the build folder: the first start in it is slow.
struct Wine : testing::Environment {
    void SetUp() override
    {
        if (access(ZIP.c_str(), R_OK) != 0) GTEST_SKIP() << "no " << ZIP << " (./lab windows makes it)";
        char dir[] = "/tmp/ostrel-windows-XXXXXX";
        scratch = mkdtemp(dir);
        exe = scratch + "/ostrel-lab-" OSTREL_VERSION "-windows-x64/ostrel-lab.exe";
        setenv("WINEPREFIX", WINDOWS_BUILD "/wine", 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);  // no offer to fetch Mono or Gecko
        ASSERT_EQ(shell("rm -rf \"$WINEPREFIX\" && wineboot --init && wineserver --wait"), 0);
        ASSERT_EQ(shell("cd " + scratch + " && cmake -E tar xf " + ZIP + " && mkdir -p broken/data && "
                        "echo not a picture >broken/data/carpet.tga"), 0);
        ASSERT_EQ(shell(LAB_POSE " " + scratch + " turned=0,0,0,4,-4,-30 moved=0,2,-2,4,-4,-30"), 0);
        dpy = openDisplay();
    }
    void TearDown() override { shell("rm -rf " + scratch); }
};
testing::Environment* const wine = testing::AddGlobalTestEnvironment(new Wine);

void xdo(const std::string& args) { ASSERT_EQ(shell("xdotool " + args), 0) << args; }

// Waits for the window to show `want`: 0, or how many pixels differ at the last look.
long differsFrom(Window w, const Shot& want)
{
    Shot s;
    long differing = -1;
    for (double end = secondsNow() + 30; secondsNow() < end; sleepSeconds(0.1))
        if (grabWindow(dpy, w, s) && (maxDifference(s, want, 0, &differing), differing == 0)) break;
    return differing;
}

Shot picture(const std::string& name)
{
    Shot s;
    readPpm(scratch + "/" + name + ".ppm", s);
    return s;
}

// freeglut's menu on Windows opens on the press and picks on a click, at the pointer, its
// entries 16 pixels apart below a 2-pixel border.
void choose(int entry)
{
    xdo("mousemove 200 200 click 3");
    ASSERT_NE(findWindow(dpy, "freeglut menu", 30), 0u);
    xdo("mousemove 220 " + std::to_string(200 + 2 + 16 * entry + 8) + " click 1");
}

TEST(Windows, TheZipHoldsOneFolderWithTheProgramItsImagesAndTwoTexts)
{
    std::string folder = exe.substr(0, exe.rfind('/') + 1);
    for (const char* file : {"ostrel-lab.exe", "README.txt", "LICENSE.txt", "data/Keyboard.tga"})
        EXPECT_EQ(access((folder + file).c_str(), R_OK), 0) << file;
    EXPECT_EQ(shell("test $(find " + scratch + "/ostrel-lab-* -type f | wc -l) = 10"), 0) << "seven images, three files";
}

TEST(Windows, TheZipsProgramDrawsAsTheNativeOneAndItsControlsReachTheSamePoses)
{
    LabProcess native, lab;
    Shot first;
    ASSERT_TRUE(native.start(OSTREL_BINARY, scratch));
    Window w = findWindow(dpy, TITLE, 60);
    ASSERT_TRUE(w && waitForFrame(dpy, w, first, 60));
    native.kill();
    while (findWindow(dpy, TITLE, 0)) sleepSeconds(0.05);

    ASSERT_TRUE(lab.start("/usr/bin/wine", scratch, {exe}));  // its images only beside it
    ASSERT_NE(w = findWindow(dpy, TITLE, 120), 0u) << slurp(lab.err);
    ASSERT_EQ(differsFrom(w, first), 0) << "the first frame; " << slurp(lab.err);
    choose(0);  // Move Orientation, then one step of a drag: the centre to (4, -4)
    xdo("mousemove 100 100 mousedown 1 mousemove 110 110 mouseup 1");
    EXPECT_EQ(differsFrom(w, picture("turned")), 0);
    choose(1);  // Move Position: the eye to y 2, z -2
    xdo("mousemove 110 110 mousedown 1 mousemove 100 120 mouseup 1");
    EXPECT_EQ(differsFrom(w, picture("moved")), 0);
    choose(4);  // Quit
    ASSERT_TRUE(lab.exited(30));
    EXPECT_TRUE(WIFEXITED(lab.status) && WEXITSTATUS(lab.status) == 0) << lab.status;
}

// From a console the reader's line comes on standard error; started as from the desktop
// (no standard error), in a box of the same title.
TEST(Windows, ABrokenImageEndsWithOneAndTheReadersMessage)
{
    LabProcess lab, started;
    ASSERT_TRUE(lab.start("/usr/bin/wine", scratch + "/broken", {exe}));
    ASSERT_TRUE(lab.exited(120));
    EXPECT_TRUE(WIFEXITED(lab.status) && WEXITSTATUS(lab.status) == 1) << lab.status;
    EXPECT_NE(slurp(lab.err).find("data/carpet.tga: file ends early"), std::string::npos) << slurp(lab.err);

    ASSERT_TRUE(started.start("/usr/bin/wine", scratch, {"start", "/wait", "/d", "Z:" + scratch + "/broken", "/unix", exe}));
    XWindowAttributes box = {};
    Window w = 0;
    for (double end = secondsNow() + 120; box.width == 0 || box.width == 500;) {  // not the lab's window
        ASSERT_LT(secondsNow(), end) << "no box";
        if ((w = findWindow(dpy, TITLE, 1))) XGetWindowAttributes(dpy, w, &box);
    }
    xdo("windowfocus " + std::to_string(w) + " key Return");
    ASSERT_TRUE(started.exited(30));
    EXPECT_TRUE(WIFEXITED(started.status) && WEXITSTATUS(started.status) == 1) << started.status;
}

}  // namespace
