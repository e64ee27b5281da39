// The Windows zip unpacked into a folder named in two scripts, its program run under Wine from
// another folder, its frames held against the native program's pixel for pixel (Wine hands GL
// to the same Mesa); its box, its resources, and the TGA reader's tests built for Windows.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it
#include "lab_process.h"
#include "scene/images.h"
#include "xgrab.h"
#include <X11/Xutil.h>  // NormalState
#include <algorithm>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const std::string ZIP = WINDOWS_BUILD "/ostrel-lab-" OSTREL_VERSION "-windows-x64.zip";
// Outside any one code page: a Windows user's folders are named in the user's own language.
const std::string UNZIPPED = "Загрузки 日本", BROKEN = "Лаб ünï", ALONE = "alone";
Display* dpy;
std::string scratch, exe;  // the zip unpacked in scratch/UNZIPPED, beside the native pictures and BROKEN/data
int shell(const std::string& cmd) { return system(cmd.c_str()); }
std::string inQuotes(const std::string& path) { return "'" + path + "'"; }  // a folder's name may hold spaces
void xdo(const std::string& args) { ASSERT_EQ(shell("timeout 120 xdotool " + args), 0) << args; }
bool endsWith(LabProcess& lab, int status) { return lab.exited(120) && WIFEXITED(lab.status) && WEXITSTATUS(lab.status) == status; }

struct Wine : testing::Environment {  // a prefix made afresh per run, its first start slow
    void SetUp() override
    {
        // Without them nothing here is tested: that is a failure, not a pass.
        ASSERT_EQ(access(ZIP.c_str(), R_OK), 0) << "no Windows zip: " << ZIP << " (the Windows build's zip, made by its tests' zip step)";
        ASSERT_EQ(access(WINE, X_OK), 0) << "no Wine: " << WINE << " (Debian: wine)";
        char dir[] = "/tmp/ostrel-windows-XXXXXX";
        scratch = mkdtemp(dir);
        exe = scratch + "/" + UNZIPPED + "/ostrel-lab-" OSTREL_VERSION "-windows-x64/ostrel-lab.exe";
        for (const char* v : {"WINEPREFIX=" WINDOWS_BUILD "/wine", "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="})
            putenv((char*)v);  // the last: no offer to fetch Mono or Gecko
        ASSERT_EQ(shell("rm -rf \"$WINEPREFIX\" && wineboot --init && wineserver --wait && cd " + inQuotes(scratch) +
                        " && mkdir " + inQuotes(UNZIPPED) + " && (cd " + inQuotes(UNZIPPED) + " && cmake -E tar xf " +
                        inQuotes(ZIP) + ") && mkdir -p " + inQuotes(BROKEN + "/data") + " " + ALONE + " && echo >" +
                        inQuotes(BROKEN + "/data/carpet.tga") + " && cp " + inQuotes(exe) + " " + ALONE + " && " +
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

// Wine 10 holds back a window's next mapping or unmapping until a window manager has answered
// the last by setting WM_STATE; Xvfb has no manager, so the menu would stay up for good (and
// then never open again). This answers as any manager would.
void managed(Window w, long state)
{
    Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    long value[2] = {state, None};
    XChangeProperty(dpy, w, wmState, wmState, 32, PropModeReplace, (unsigned char*)value, 2);
    XSync(dpy, False);
}

// freeglut's menu on Windows opens on the press and picks on a click: entries 16 pixels apart.
// Some Wines leave the menu up a while after the pick: what follows waits for it to go.
void choose(int entry)
{
    xdo("mousemove 200 200 click 3");
    Window menu = findWindow(dpy, "freeglut menu", 30);
    ASSERT_NE(menu, 0u);
    managed(menu, NormalState);
    xdo("mousemove 220 " + std::to_string(200 + 2 + 16 * entry + 8) + " click 1");
    for (double end = secondsNow() + 30; findWindow(dpy, "freeglut menu", 0) && secondsNow() < end;) sleepSeconds(0.1);
    ASSERT_EQ(findWindow(dpy, "freeglut menu", 0), 0u) << "the menu still up 30 s after the pick";
    managed(menu, WithdrawnState);
}

// A Windows path as the lab names it: Wine's drive Z: is /.
std::string windowsPath(const std::string& path)
{
    std::string named = "Z:" + path;
    std::replace(named.begin(), named.end(), '/', '\\');
    return named;
}

TEST(Windows, TheZipsProgramDrawsAsTheNativeOneMovesAsItAndQuitsWithZero)
{
    std::set<std::string> zipped = {"ostrel-lab.exe", "README.txt", "LICENSE.txt", "NOTICES.txt"};
    for (const char* image : labImageFiles) zipped.insert(std::string("data/") + image);
    EXPECT_EQ(filesUnder(exe.substr(0, exe.rfind('/'))), zipped) << "the zip's files";
    // What is linked in brings its notices: freeglut's own, and MinGW-w64's threads library's.
    EXPECT_EQ(shell("cd \"$(dirname " + inQuotes(exe) + ")\" && grep -q 'Pawel W. Olszta' NOTICES.txt && grep -q winpthreads NOTICES.txt"), 0);
    LabProcess lab;
    ASSERT_TRUE(lab.start(WINE, scratch, {exe}));  // its images only beside it, in a folder named in two scripts
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

// The reader's line on standard error, or in a box when started as from the desktop (none):
// the box opens with it, ahead of freeglut's start-up words (Wine's trace of the box's text).
TEST(Windows, ABrokenImageEndsWithOneAndTheReadersMessage)
{
    const std::string LINE = "data\\carpet.tga: file ends early";
    LabProcess lab, started;
    ASSERT_TRUE(lab.start(WINE, scratch + "/" + BROKEN, {exe}));
    EXPECT_TRUE(endsWith(lab, 1)) << lab.status;
    EXPECT_NE(slurp(lab.err).find(LINE), std::string::npos) << slurp(lab.err);
    ASSERT_TRUE(started.start("/usr/bin/env", scratch, {"WINEDEBUG=-all,+msgbox", WINE, "start", "/wait", "/d",
                                                        windowsPath(scratch + "/" + BROKEN), "/unix", exe}));
    xdo("search --sync --onlyvisible --name '^Ostrel Lab stopped$'");
    // The lab's status says how the box ended; xdotool may find the box gone under it.
    shell("timeout 30 xdotool search --onlyvisible --name '^Ostrel Lab stopped$' windowfocus --sync key Return");
    EXPECT_TRUE(endsWith(started, 1)) << started.status;
    EXPECT_NE(slurp(started.err).find("MSGBOX_OnInit L\"data\\\\carpet.tga: file ends early"), std::string::npos)
        << slurp(started.err);
}

// The .exe copied out of its folder names the folders it looked in, and what to do.
TEST(Windows, AnImageFoundNowhereNamesTheFoldersLookedIn)
{
    LabProcess lab;
    ASSERT_TRUE(lab.start(WINE, scratch, {ALONE + "/ostrel-lab.exe"}));
    EXPECT_TRUE(endsWith(lab, 1)) << lab.status;
    EXPECT_NE(slurp(lab.err).find("data\\drywall.tga: cannot open: No such file or directory: looked in " +
                                  windowsPath(scratch + "/data") + " (under the working folder) and in " +
                                  windowsPath(scratch + "/" + ALONE + "/data") + " (the program's own images: not "
                                  "there): keep the data folder, with its images, beside ostrel-lab.exe"),
              std::string::npos) << slurp(lab.err);
}

// Explorer's icon and the window's (freeglut takes GLUT_ICON), the version, the UTF-8 manifest.
TEST(Windows, TheProgramHasItsIconVersionAndManifest)
{
    std::string rc = scratch + "/resources.rc";
    ASSERT_EQ(shell("x86_64-w64-mingw32-windres -J coff -O rc -i " + inQuotes(exe) + " >" + inQuotes(rc)), 0);
    std::string resources = slurp(rc);
    for (const char* want : {"\"GLUT_ICON\" 14 /* RT_GROUP_ICON */\nBEGIN\n   0, 1, 4,", "VALUE \"ProductName\", \"Ostrel Lab\"",
                             "VALUE \"ProductVersion\", \"" OSTREL_VERSION "\"", "VALUE \"FileDescription\", \"Ostrel Lab, ",
                             ">UTF-8</activeCodePage>"})
        EXPECT_NE(resources.find(want), std::string::npos) << want;
}

// The TGA reader's own tests on Windows' C runtime, but those that run Linux programs.
TEST(Windows, TheReadersTestsPassUnderWine)
{
    LabProcess tests;
    ASSERT_TRUE(tests.start(WINE, OSTREL_SOURCE, {WINDOWS_BUILD "/tga-tests.exe",
                            "--gtest_filter=-OtherWriters.*:ShippedImages.GeneratorMakesTheSameBytes"}));
    EXPECT_TRUE(endsWith(tests, 0)) << slurp(tests.out);
}
}  // namespace
