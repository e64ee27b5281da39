// The lab as people get it: installed with cmake --install into a temporary prefix, and
// the Debian package unpacked, each started from folders of the test's choosing under
// Xvfb and watched through its first frame.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it

#include "lab_process.h"
#include "scene/images.h"
#include "tga_support.h"
#include "xgrab.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const TITLE = "Ostrel Lab";
Display* dpy;
std::string scratch;  // a temporary folder for the whole run
Shot fromRepository;  // the first frame of build/ostrel-lab started in the source tree

// Every file an install holds, under its prefix: these, and each image of the lab's table.
const char* const INSTALLED_FILES[] = {
    "bin/ostrel-lab",
    "share/applications/ostrel-lab.desktop",
    "share/doc/ostrel-lab/changelog.gz",
    "share/doc/ostrel-lab/copyright",
    "share/icons/hicolor/256x256/apps/ostrel-lab.png",
    "share/man/man6/ostrel-lab.6.gz",
    "share/metainfo/invalid.ostrel_lab.OstrelLab.metainfo.xml",
};
const std::string INSTALLED_IMAGES = "share/ostrel-lab/data/";

std::set<std::string> installedFiles(const std::string& under = "")
{
    std::set<std::string> files;
    for (const char* f : INSTALLED_FILES) files.insert(under + f);
    for (const char* image : labImageFiles) files.insert(under + INSTALLED_IMAGES + image);
    return files;
}

// A carpet no shipped image looks like: one solid colour.
const uint8_t MAGENTA[3] = {255, 0, 255};
const int FLOOR_X = 250, FLOOR_Y = 450;  // carpet in the starting view

// Runs a shell command; its standard output, and whether it succeeded.
std::string shell(const std::string& cmd, bool* ok = nullptr)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (ok) *ok = succeeded;
    else EXPECT_TRUE(succeeded) << cmd << "\n" << out;
    return out;
}

std::set<std::string> lines(const std::string& text)
{
    std::set<std::string> set;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) set.insert(line);
    return set;
}

void writeSolidTga(const std::string& path, const uint8_t rgb[3])
{
    Header h;
    h.width = h.height = 16;
    Bytes body;
    for (int i = 0; i < h.width * h.height; ++i) body.insert(body.end(), {rgb[2], rgb[1], rgb[0]});  // stored B, G, R
    Bytes file = tga(h, body);
    std::ofstream(path, std::ios::binary).write((const char*)file.data(), file.size());
}

// A folder holding the shipped images with a magenta carpet.
std::string magentaData(const std::string& folder)
{
    shell("mkdir -p '" + folder + "' && cp '" OSTREL_SOURCE "'/data/*.tga '" + folder + "'");
    writeSolidTga(folder + "/carpet.tga", MAGENTA);
    return folder;
}

// One run of a lab binary, watched through its first frame.
struct LabRun : LabProcess {
    Window window = 0;

    void start(const std::string& binary, const std::string& dir, std::vector<std::string> args = {},
               const char* dataFolder = nullptr, bool withDisplay = true)
    {
        ASSERT_TRUE(LabProcess::start(binary, dir, args, dataFolder, withDisplay));
    }
    // Waits for the first frame; false if the program ended or drew nothing.
    bool firstFrame(Shot& first)
    {
        for (double end = secondsNow() + 30; secondsNow() < end;) {
            if ((window = findWindow(dpy, TITLE, 0))) return waitForFrame(dpy, window, first, 30);
            if (exited(0.05)) return false;
        }
        return false;
    }
    // Ends the run and waits for its window to go, so that the next run's is not mistaken for it.
    ~LabRun()
    {
        kill();
        for (double end = secondsNow() + 20; findWindow(dpy, TITLE, 0) && secondsNow() < end;) sleepSeconds(0.05);
    }
};

Shot firstFrameOf(const std::string& binary, const std::string& dir, std::vector<std::string> args = {},
                  const char* dataFolder = nullptr, bool withDisplay = true)
{
    LabRun run;
    Shot first;
    run.start(binary, dir, args, dataFolder, withDisplay);
    if (run.firstFrame(first)) return first;
    ADD_FAILURE() << binary << " from " << dir << " drew no frame: " << slurp(run.err);
    return Shot();
}

// The same view: only the door, lit by GL's initial normal in the very first frame only,
// may differ if a second frame came before the grab.
void expectSameView(const Shot& a, const Shot& b, const std::string& what)
{
    ASSERT_EQ(a.width, 500) << what;
    ASSERT_EQ(b.width, 500) << what;
    long differing = 0;
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 500; ++x) {
            bool door = x >= 55 && x <= 106 && y >= 212 && y <= 320;
            if (!door && memcmp(a.at(x, y), b.at(x, y), 3) != 0) ++differing;
        }
    EXPECT_EQ(differing, 0) << what;
}

long magentaPixels(const Shot& s)
{
    long n = 0;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const uint8_t* p = s.at(x, y);
            if (abs(p[0] - MAGENTA[0]) <= 2 && abs(p[1] - MAGENTA[1]) <= 2 && abs(p[2] - MAGENTA[2]) <= 2) ++n;
        }
    return n;
}

// The carpet of the given folder is on the floor, and only there.
void expectMagentaFloor(const Shot& s, const std::string& what)
{
    ASSERT_EQ(s.width, 500) << what;
    const uint8_t* p = s.at(FLOOR_X, FLOOR_Y);
    EXPECT_EQ(std::vector<int>(p, p + 3), std::vector<int>(MAGENTA, MAGENTA + 3)) << what;
    EXPECT_GT(magentaPixels(s), 30000) << what;  // the floor is about a fifth of the view
    EXPECT_TRUE(memcmp(s.at(250, 120), fromRepository.at(250, 120), 3) == 0) << what << ": the wall as shipped";
}

// The display, a scratch folder and the reference frame, once for the whole run.
class LabEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        dpy = openDisplay();
        char tmpl[] = "/tmp/ostrel-install-XXXXXX";
        scratch = mkdtemp(tmpl);
        if (dpy) fromRepository = firstFrameOf(OSTREL_BINARY, OSTREL_SOURCE);
    }
    void TearDown() override
    {
        shell("rm -rf '" + scratch + "'");
        if (dpy) XCloseDisplay(dpy);
    }
};
[[maybe_unused]] const auto* environment = ::testing::AddGlobalTestEnvironment(new LabEnvironment);

class LabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dpy) << "these tests need an X display";
        ASSERT_EQ(fromRepository.width, 500) << "the lab started from the repository drew no frame";
    }
};

class Installed : public LabTest {
protected:
    static std::string prefix;
    static void SetUpTestSuite()
    {
        prefix = scratch + "/usr";
        bool ok = false;
        std::string log = shell("'" CMAKE_COMMAND "' --install '" OSTREL_BUILD "' --prefix '" + prefix + "' 2>&1", &ok);
        if (!ok) ADD_FAILURE() << log;
    }
    static std::string program() { return prefix + "/bin/ostrel-lab"; }
};
std::string Installed::prefix;

// ---- cmake --install

TEST_F(Installed, HoldsTheProgramItsImagesAndItsDesktopFilesOnly)
{
    EXPECT_EQ(filesUnder(prefix), installedFiles());
    bool same = false;
    shell("cd '" OSTREL_SOURCE "/data' && for f in *.tga; do cmp \"$f\" '" + prefix + "/share/ostrel-lab/data/'\"$f\"; done",
          &same);
    EXPECT_TRUE(same) << "the shipped images, unchanged";
    std::string desktop = slurp(prefix + "/share/applications/ostrel-lab.desktop");
    EXPECT_NE(desktop.find("\nExec=ostrel-lab\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=ostrel-lab\n"), std::string::npos) << desktop;
    // A PNG's size stands in its first chunk, big-endian, from byte 16.
    std::string png = slurp(prefix + "/share/icons/hicolor/256x256/apps/ostrel-lab.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\1\0\0\0\1\0", 8)) << "256 x 256";
}

TEST_F(Installed, DrawsWhatTheRepositoryDrawsFromAnyFolderAndAfterAMove)
{
    expectSameView(firstFrameOf(program(), "/"), fromRepository, "from /");
    expectSameView(firstFrameOf(program(), scratch), fromRepository, "from a folder without data/");
    expectSameView(firstFrameOf(OSTREL_BINARY, scratch), fromRepository, "build/ostrel-lab, from the same");
    std::string moved = scratch + "/moved/opt";
    shell("mkdir -p '" + scratch + "/moved' && mv '" + prefix + "' '" + moved + "'");
    expectSameView(firstFrameOf(moved + "/bin/ostrel-lab", "/"), fromRepository, "moved to another prefix");
    shell("mv '" + moved + "' '" + prefix + "'");
}

// ---- which images it reads

TEST_F(Installed, OstrelLabDataComesFirst)
{
    std::string folder = magentaData(scratch + "/named/");
    // The source tree holds a data/ folder too: the variable wins over it.
    expectMagentaFloor(firstFrameOf(program(), OSTREL_SOURCE, {}, folder.c_str()), "OSTREL_LAB_DATA");
}

// File by file: what the working folder's data/ holds of the lab's images comes before the
// installed images, and only that. Many home folders have a data/ about something else.
TEST_F(Installed, AFolderOwnDataIsReadFileByFile)
{
    std::string unrelated = scratch + "/unrelated";
    shell("mkdir -p '" + unrelated + "/data/2025' && echo 1,2 > '" + unrelated + "/data/sales.csv'");
    expectSameView(firstFrameOf(program(), unrelated), fromRepository, "beside an unrelated data/");

    std::string floorOnly = scratch + "/floor-only";
    shell("mkdir -p '" + floorOnly + "/data'");
    writeSolidTga(floorOnly + "/data/carpet.tga", MAGENTA);
    for (const std::string& binary : {program(), std::string(OSTREL_BINARY)})  // over the repository's images too
        expectMagentaFloor(firstFrameOf(binary, floorOnly), binary + " beside a data/ holding only carpet.tga");
}

TEST_F(Installed, AnOstrelLabDataWithoutImagesIsReportedNotPassedOver)
{
    std::string empty = scratch + "/empty";
    shell("mkdir -p '" + empty + "'");
    for (const std::string& folder : {empty, scratch + "/no-such-folder"}) {
        LabRun run;
        run.start(program(), OSTREL_SOURCE, {}, folder.c_str());  // beside a data/ it must not fall back to
        ASSERT_TRUE(run.exited(30)) << folder;
        EXPECT_TRUE(WIFEXITED(run.status));
        EXPECT_EQ(WEXITSTATUS(run.status), 1);
        EXPECT_EQ(slurp(run.out), "\nUnable to load TGA File!\n");
        EXPECT_EQ(slurp(run.err).rfind(folder + "/drywall.tga: cannot open: No such file or directory: OSTREL_LAB_DATA names " +
                                       folder + ", which must hold all the lab's images", 0), 0u);
    }
}

// ---- the command line: all of it goes to GLUT, which takes its own options

TEST_F(Installed, GlutTakesItsOptionsAndTheRestChangesNothing)
{
    std::string display = DisplayString(dpy);
    LabRun run;
    run.start(program(), "/", {"--help", "-display", display, "--version", "-geometry", "120x80+30+40", "-x"},
              nullptr, false);
    Shot first;
    ASSERT_TRUE(run.firstFrame(first)) << "-display names the display: " << slurp(run.err);
    expectSameView(first, fromRepository, "with options");
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(dpy, run.window, &a));
    EXPECT_EQ(a.width, 500);
    EXPECT_EQ(a.height, 500);
    EXPECT_EQ(slurp(run.out), "") << "no usage text: the lab has no options of its own";
    EXPECT_EQ(slurp(run.err), "");
}

// ---- the Debian package

class Package : public LabTest {};

TEST_F(Package, ControlFieldsAndFiles)
{
    std::string info = shell("dpkg-deb --info '" OSTREL_DEB "'");
    std::string arch = shell("dpkg --print-architecture");
    arch.erase(arch.find_last_not_of('\n') + 1);
    for (const std::string& field : std::vector<std::string>{"Package: ostrel-lab", "Version: " OSTREL_VERSION, "Architecture: " + arch,
                              "Maintainer: Ostrel Lab developers <", "Section: graphics", "Priority: optional",
                              "Description: walk through a computer teaching lab in 3D"})
        EXPECT_NE(info.find("\n " + field), std::string::npos) << field << "\n" << info;
    // Dependencies come from the binary itself: GLUT, GLU, GL, the C and C++ libraries.
    size_t depends = info.find("\n Depends: ");
    ASSERT_NE(depends, std::string::npos) << info;
    std::string deps = info.substr(depends, info.find('\n', depends + 1) - depends);
    for (const char* lib : {"libglut3", "libglu1-mesa", "libopengl0", "libc6 (>=", "libstdc++6 (>="})
        EXPECT_NE(deps.find(lib), std::string::npos) << lib << " in" << deps;

    std::set<std::string> expected = installedFiles("usr/");
    EXPECT_EQ(lines(shell("dpkg-deb --contents '" OSTREL_DEB "' | awk '$1 !~ /^d/ {sub(/^\\.\\//, \"\", $6); print $6}'")),
              expected);
    EXPECT_EQ(shell("dpkg-deb --contents '" OSTREL_DEB "' | awk '$2 != \"root/root\"'"), "") << "all owned by root";
}

TEST_F(Package, UnpackedItRunsFromRoot)
{
    std::string root = scratch + "/unpacked";
    shell("dpkg-deb -x '" OSTREL_DEB "' '" + root + "'");  // its files: see ControlFieldsAndFiles
    expectSameView(firstFrameOf(root + "/usr/bin/ostrel-lab", "/"), fromRepository, "unpacked package");
}

}  // namespace
