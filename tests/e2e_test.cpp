// The real program under Xvfb, driven with xdotool as a person would, watched through
// screenshots of its window.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it

#include "lab_gl.h"
#include "lab_process.h"
#include "xgrab.h"

#include "app/startup.h"
#include "camera/camera.h"
#include "scene/lighting.h"

#include <GL/freeglut.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const TITLE = "Ostrel Lab";
Display* dpy;

void xdo(const std::string& args)
{
    std::string cmd = "xdotool " + args;
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    XSync(dpy, False);
}

// One run of build/ostrel-lab, watched through its window.
struct Lab : LabProcess {
    Window window = 0;

    bool start(const std::string& dir, std::vector<std::string> args = {}, bool withDisplay = true)
    {
        return LabProcess::start(OSTREL_BINARY, dir, args, nullptr, withDisplay);
    }
    // Starts in the source tree and waits for the first frame.
    bool open(Shot& first, std::vector<std::string> args = {})
    {
        if (!start(OSTREL_SOURCE, args)) return false;
        window = findWindow(dpy, TITLE, 30);
        return window && rests() && grabWindow(dpy, window, first) && !singleColour(first);
    }
    // Until the lab has handled all it was sent and drawn what that asked for: asleep in
    // GLUT's wait for events, and not woken while the X server answered this process twice
    // (by then the server has also handled the lab's own requests and sent it the events
    // they or earlier input made). A slow machine makes the wait longer, not the answer
    // different. False when it never rests (orbiting) or has ended.
    bool rests(double seconds = 60)
    {
        if (waitsHidden()) {
            ADD_FAILURE() << "cannot read /proc/" << pid << "/task/" << pid << "/syscall here (it needs ptrace access "
                          << "to the lab), so the tests cannot see the lab asleep in GLUT's select() for events";
            return false;
        }
        for (double end = secondsNow() + seconds; secondsNow() < end; sleepSeconds(0.01)) {
            long before = 0, after = -1;
            if (!waitsForEvents(before)) continue;
            XSync(dpy, False);
            XSync(dpy, False);
            if (waitsForEvents(after) && after == before) return true;
        }
        ADD_FAILURE() << "the lab was not seen at rest within " << seconds << " s: asleep in GLUT's select() for "
                      << "events, and not woken while the X server answered twice";
        return false;
    }
    Shot shot()
    {
        Shot s;
        grabWindow(dpy, window, s);
        return s;
    }
};

// Keeps grabbing until the picture differs from `before`.
bool changes(Lab& lab, const Shot& before, double seconds = 20)
{
    double end = secondsNow() + seconds;
    while (secondsNow() < end) {
        if (lab.shot() != before) return true;
        sleepSeconds(0.05);
    }
    return false;
}

// The picture once the lab has done all it was asked (events still queued are drawn in batches).
bool holdsStill(Lab& lab, Shot& settled) { return lab.rests() && grabWindow(dpy, lab.window, settled); }

// ---- menus: every GLUT menu is a window; entries stand 25 pixels apart after a 2-pixel border

struct MenuWindow { Window w; int x, y, width, height; };

// Every GLUT menu's window, or only those on screen.
std::vector<MenuWindow> menuWindows(bool viewableOnly)
{
    std::vector<MenuWindow> menus;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XSync(dpy, False);
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return menus;
    for (unsigned i = 0; i < n; ++i) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(dpy, children[i], &name) && name) {
            if (std::string(name) == "freeglut menu" && XGetWindowAttributes(dpy, children[i], &a) &&
                (!viewableOnly || a.map_state == IsViewable))
                menus.push_back({children[i], a.x, a.y, a.width, a.height});
            XFree(name);
        }
    }
    if (children) XFree(children);
    return menus;
}

std::vector<MenuWindow> viewableMenus() { return menuWindows(true); }
int countMenuWindows() { return (int)menuWindows(false).size(); }

// Waits for a menu window to open at (x, y) and returns it.
bool menuAt(int x, int y, MenuWindow& found)
{
    double end = secondsNow() + 20;
    while (secondsNow() < end) {
        for (const MenuWindow& m : viewableMenus())
            if (m.x == x && m.y == y) {
                found = m;
                return true;
            }
        sleepSeconds(0.05);
    }
    return false;
}

int entryY(const MenuWindow& m, int entry) { return m.y + 2 + 25 * entry + 12; }

// Presses the right button, walks down the path of entries (submenus open to the right)
// and lets go over the last one, as a person picks from a pop-up menu.
void choose(std::vector<int> path)
{
    xdo("mousemove 250 250 mousedown 3");
    MenuWindow menu;
    ASSERT_TRUE(menuAt(250, 250, menu)) << "the right button opens the menu";
    for (size_t i = 0; i < path.size(); ++i) {
        int x = menu.x + 20, y = entryY(menu, path[i]);
        xdo("mousemove " + std::to_string(x) + " " + std::to_string(y));
        if (i + 1 < path.size()) {
            MenuWindow sub;
            ASSERT_TRUE(menuAt(menu.x + menu.width, entryY(menu, path[i]) - 14, sub)) << "submenu " << path[i];
            xdo("mousemove " + std::to_string(sub.x + 20) + " " + std::to_string(sub.y + 5));
            menu = sub;
        }
    }
    xdo("mouseup 3");
    // Let go over an entry of a submenu and freeglut keeps the menus up: click it.
    if (path.size() > 1) xdo("click 3");
    double end = secondsNow() + 20;
    while (!viewableMenus().empty() && secondsNow() < end) sleepSeconds(0.05);
    ASSERT_TRUE(viewableMenus().empty()) << "the menu closes after a choice";
}

enum { MOVE_ORIENTATION, MOVE_POSITION, AUTO_MOVEMENT, CONTROLS, QUIT };
enum { ORIENTATION_CONTROLS, POSITION_CONTROLS, AUTOMOVE_CONTROLS };
enum { A_AUTOMOVE, S_STOP };

void drag(int button, int x0, int y0, int x1, int y1)
{
    xdo("mousemove " + std::to_string(x0) + " " + std::to_string(y0) + " mousedown " + std::to_string(button));
    for (int i = 1; i <= 5; ++i)
        xdo("mousemove " + std::to_string(x0 + (x1 - x0) * i / 5) + " " + std::to_string(y0 + (y1 - y0) * i / 5));
    xdo("mouseup " + std::to_string(button));
}

void key(const char* k) { xdo(std::string("mousemove 250 250 key ") + k); }

// The door is lit with GL's initial normal in the very first frame only, so pictures are
// compared with a later frame: "Auto Movement" posts a redisplay and changes nothing else.
Shot settle(Lab& lab)
{
    choose({AUTO_MOVEMENT});
    Shot s;
    EXPECT_TRUE(holdsStill(lab, s));
    return s;
}

Shot reference(const char* name)
{
    Shot s;
    readPpm(sourcePath(std::string("tests/reference/") + name + ".ppm"), s);
    return s;
}

// ---- pictures drawn in this process with the lab's own code and GLUT's own font

// A window of the lab's size, away from where the program and its menus open.
void ownWindow()
{
    static bool made;
    static bool shaped;
    if (made) return;
    made = true;
    int argc = 1;
    char name[] = "e2e-tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(WINDOW_WIDTH, WINDOW_HEIGHT);
    glutInitWindowPosition(1500, 1000);
    glutCreateWindow("e2e-tests pictures");
    glutDisplayFunc([] {});
    glutReshapeFunc([](int w, int h) { reshape(w, h); shaped = true; });
    initGL();
    for (double end = secondsNow() + 20; !shaped && secondsNow() < end;) {
        glutMainLoopEvent();
        sleepSeconds(0.01);
    }
}

// The lab as the program draws it from this camera; the second frame, as the first one
// lights the door differently.
Shot labFrom(const Pose& pose)
{
    ownWindow();
    initCamera();
    setCamera(pose);
    drawFrame();
    drawFrame();
    Shot s = readFrame(WINDOW_WIDTH, WINDOW_HEIGHT);
    initCamera();
    return s;
}

// Pixels that stand out from the most common colour of a rectangle ('#'), cropped to
// where they are, one string per row: text compares as drawn, wherever it sits.
std::vector<std::string> inkOf(const Shot& s, int x0, int y0, int x1, int y1)
{
    std::map<uint32_t, int> counts;
    auto colour = [&](int x, int y) { const uint8_t* p = s.at(x, y); return (uint32_t)(p[0] << 16 | p[1] << 8 | p[2]); };
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) ++counts[colour(x, y)];
    uint32_t back = 0;
    int most = -1;
    for (const auto& [c, n] : counts)
        if (n > most) { back = c; most = n; }
    auto ink = [&](int x, int y) {
        uint32_t c = colour(x, y);
        int d = 0;
        for (int k = 0; k < 24; k += 8) d += std::abs((int)((c >> k) & 0xFF) - (int)((back >> k) & 0xFF));
        return d > 120;
    };
    int left = x1, right = x0 - 1, top = y1, bottom = y0 - 1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (ink(x, y)) {
                left = std::min(left, x); right = std::max(right, x);
                top = std::min(top, y); bottom = std::max(bottom, y);
            }
    std::vector<std::string> rows;
    for (int y = top; y <= bottom; ++y) {
        std::string row;
        for (int x = left; x <= right; ++x) row += ink(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

void* const MENU_FONT = GLUT_BITMAP_HELVETICA_18;  // freeglut's menu font

// A text as GLUT's bitmap font draws it, as ink.
std::vector<std::string> textInk(const char* text)
{
    ownWindow();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, WINDOW_WIDTH, 0, WINDOW_HEIGHT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glRasterPos2i(10, 250);
    glutBitmapString(MENU_FONT, (const unsigned char*)text);
    Shot s = readFrame(WINDOW_WIDTH, WINDOW_HEIGHT);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    return inkOf(s, 0, 0, s.width, s.height);
}

std::string picture(const std::vector<std::string>& rows)
{
    std::string out;
    for (const std::string& r : rows) out += r + "\n";
    return out;
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dpy = openDisplay(); }
    void SetUp() override { ASSERT_TRUE(dpy) << "these tests need an X display"; }
};

// ---- the window and its first frame

TEST_F(EndToEnd, OpensItsOwnWindowWhateverGeometryIsAskedFor)
{
    Lab lab;
    Shot first;
    ASSERT_TRUE(lab.open(first, {"-geometry", "300x200+40+50"}));
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(dpy, lab.window, &a));
    int x = -1, y = -1;
    Window child;
    XTranslateCoordinates(dpy, lab.window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    EXPECT_EQ(a.width, 500);
    EXPECT_EQ(a.height, 500);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // The first frame differs from later ones only where the door is.
    Shot start = reference("start");
    long outsideDoor = 0;
    for (int py = 0; py < 500; ++py)
        for (int px = 0; px < 500; ++px) {
            bool door = px >= 55 && px <= 106 && py >= 212 && py <= 320;
            for (int c = 0; c < 3 && !door; ++c)
                if (std::abs(first.at(px, py)[c] - start.at(px, py)[c]) > REFERENCE_TOLERANCE) {
                    ++outsideDoor;
                    break;
                }
        }
    EXPECT_LE(outsideDoor, REFERENCE_PIXELS_OFF) << "outside the door: " << offReference("start", outsideDoor, first, start);
    long differing = 0;
    Shot later = settle(lab);
    maxDifference(later, start, REFERENCE_TOLERANCE, &differing);
    EXPECT_LE(differing, REFERENCE_PIXELS_OFF)
        << "later frames are the start view: " << offReference("start", differing, later, start);
}

TEST_F(EndToEnd, WithoutADisplayItSaysSoAndFails)
{
    Lab lab;
    ASSERT_TRUE(lab.start(OSTREL_SOURCE, {}, false));
    ASSERT_TRUE(lab.exited(20));
    EXPECT_TRUE(WIFEXITED(lab.status) && WEXITSTATUS(lab.status) != 0);
    EXPECT_NE(slurp(lab.err).find("display"), std::string::npos) << slurp(lab.err);
}

// ---- dragging

TEST_F(EndToEnd, DragsMoveTheViewOnlyOnceAModeIsChosen)
{
    Lab lab;
    Shot first, now_;
    ASSERT_TRUE(lab.open(first));
    drag(1, 100, 100, 300, 200);
    ASSERT_TRUE(holdsStill(lab, now_));
    EXPECT_TRUE(now_ == first) << "no mode yet: a drag changes nothing";

    Shot settled = settle(lab);
    choose({MOVE_ORIENTATION});
    ASSERT_TRUE(holdsStill(lab, now_));
    EXPECT_TRUE(now_ == settled) << "choosing a mode alone moves nothing";
    drag(1, 200, 250, 300, 250);
    ASSERT_TRUE(changes(lab, settled)) << "dragging right turns the view";
    Shot turned;
    ASSERT_TRUE(holdsStill(lab, turned));

    choose({MOVE_POSITION});
    drag(1, 300, 250, 300, 150);
    ASSERT_TRUE(changes(lab, turned)) << "dragging up moves the eye";
    Shot moved;
    ASSERT_TRUE(holdsStill(lab, moved));
    EXPECT_TRUE(moved != turned);
}

// Five motion events to the right along the window's top row, where y stays what the
// drag modes start from (0), so only the horizontal rule acts.
void dragRightAlongTheTop(int fromX)
{
    xdo("mousemove " + std::to_string(fromX) + " 0 mousedown 1");
    for (int i = 1; i <= 5; ++i) xdo("mousemove " + std::to_string(fromX + 20 * i) + " 0");
    xdo("mouseup 1");
}

// The window shows the lab drawn here from `expected`, and not from any of `others`.
void expectShows(Lab& lab, const Pose& expected, std::vector<Pose> others, const char* what)
{
    Shot now_;
    ASSERT_TRUE(holdsStill(lab, now_));
    long differing = 0;
    maxDifference(now_, labFrom(expected), 8, &differing);
    EXPECT_LE(differing, 250) << what;
    for (const Pose& other : others) {
        maxDifference(now_, labFrom(other), 8, &differing);
        EXPECT_GT(differing, 500 * 500 / 10) << what << ": the window shows the wrong camera";
    }
}

// "Move Orientation": the drag moves the point looked at, 4 a step, and leaves the eye;
// "Move Position": the same drag moves the eye back along z, 2 a step, and leaves the
// point looked at. Each is checked against both outcomes, so entries doing each other's
// job show.
TEST_F(EndToEnd, EachMainMenuModeMovesItsOwnPartOfTheCamera)
{
    const Pose start = {{0, 0, 0}, {0, 0, -30}};
    const Pose turned = {{0, 0, 0}, {20, 0, -30}};
    const Pose backed = {{0, 0, 10}, {0, 0, -30}};
    const Pose turnedThenBacked = {{0, 0, 10}, {20, 0, -30}};
    const Pose turnedTwice = {{0, 0, 0}, {40, 0, -30}};
    Lab lab;
    Shot first;
    ASSERT_TRUE(lab.open(first));
    settle(lab);
    expectShows(lab, start, {}, "the start");
    choose({MOVE_ORIENTATION});
    dragRightAlongTheTop(100);
    expectShows(lab, turned, {backed, start}, "after Move Orientation");
    choose({MOVE_POSITION});
    dragRightAlongTheTop(300);  // right of where the last drag ended, so every step is rightwards
    expectShows(lab, turnedThenBacked, {turnedTwice, turned}, "after Move Position");
}

// A burst of 99,999 motion events in orientation mode, in cycles of three that end where
// they began: 16,667 cycles right 2, left 1, left 1 (each -4 on centerX), then 16,666
// mirrored ones (+4). Handled one by one, the centre ends at (-4, -4); events dropped or
// merged would leave it elsewhere (all merged into one: (4, -4)). A fresh run reaches
// (-4, -4) with three events; both must show the same picture.
TEST_F(EndToEnd, AMotionBurstLandsExactlyWhereTheStepRulesSay)
{
    Shot expected, burst;
    {
        Lab lab;
        Shot first;
        ASSERT_TRUE(lab.open(first));
        choose({MOVE_ORIENTATION});
        xdo("mousemove 201 300 mousedown 1 mousemove 202 300 mousemove 201 300 mousemove 200 300 mouseup 1");
        ASSERT_TRUE(holdsStill(lab, expected));
    }
    Lab lab;
    Shot first;
    ASSERT_TRUE(lab.open(first));
    choose({MOVE_ORIENTATION});
    xdo("mousemove 200 300");
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    const int left[3] = {202, 201, 200}, right[3] = {198, 199, 200};
    for (int cycle = 0; cycle < 33333; ++cycle) {
        const int* xs = cycle < 16667 ? left : right;
        for (int k = 0; k < 3; ++k) XTestFakeMotionEvent(dpy, -1, xs[k], 300, CurrentTime);
        if (cycle % 300 == 0) XFlush(dpy);
    }
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
    ASSERT_TRUE(holdsStill(lab, burst));
    EXPECT_TRUE(burst == expected);
    key("a");  // and it still answers
    EXPECT_TRUE(changes(lab, burst));
}

// ---- the orbit

TEST_F(EndToEnd, AStartsTheOrbitAndSStopsIt)
{
    Lab lab;
    Shot first, still;
    ASSERT_TRUE(lab.open(first));
    key("A");
    key("S");
    ASSERT_TRUE(holdsStill(lab, still));
    EXPECT_TRUE(still == first) << "upper case does nothing";

    Shot settled = settle(lab);  // "Auto Movement" itself
    choose({CONTROLS, AUTOMOVE_CONTROLS, A_AUTOMOVE});
    ASSERT_TRUE(holdsStill(lab, still));
    EXPECT_TRUE(still == settled) << "menu entries do not start the orbit";

    key("a");
    ASSERT_TRUE(changes(lab, settled));
    Shot a = lab.shot();
    EXPECT_TRUE(changes(lab, a)) << "successive pictures differ while orbiting";
    key("S");
    choose({CONTROLS, AUTOMOVE_CONTROLS, S_STOP});
    a = lab.shot();
    EXPECT_TRUE(changes(lab, a)) << "neither S nor the 's = Stop' entry stops it";

    key("s");
    ASSERT_TRUE(holdsStill(lab, still)) << "s stops the orbit";
    key("a");
    EXPECT_TRUE(changes(lab, still)) << "a carries on from where it stopped";
}

TEST_F(EndToEnd, QuitEndsWithStatusZeroAlsoWhileOrbiting)
{
    for (bool orbiting : {false, true}) {
        Lab lab;
        Shot first;
        ASSERT_TRUE(lab.open(first));
        if (orbiting) {
            key("a");
            ASSERT_TRUE(changes(lab, first));
        }
        choose({QUIT});
        ASSERT_TRUE(lab.exited(20)) << "orbiting " << orbiting;
        EXPECT_TRUE(WIFEXITED(lab.status));
        EXPECT_EQ(WEXITSTATUS(lab.status), 0);
    }
}

TEST_F(EndToEnd, TheMenuTreeStaysTheSameAfterManyFrames)
{
    Lab lab;
    Shot first;
    ASSERT_TRUE(lab.open(first));
    int menus = countMenuWindows();
    EXPECT_EQ(menus, 5);
    key("a");
    for (int i = 0; i < 24; ++i) ASSERT_TRUE(changes(lab, lab.shot()));  // two dozen frames at least
    key("s");
    Shot still;
    ASSERT_TRUE(holdsStill(lab, still));
    EXPECT_EQ(countMenuWindows(), menus);
    choose({CONTROLS, POSITION_CONTROLS, 0});  // still opens and closes as before
    EXPECT_EQ(countMenuWindows(), menus);
}

// ---- the menu as a person reads it

struct Entry { const char* text; bool submenu; };

// Each entry's text, in order, ink for ink against the font's own drawing of it; the
// arrow of a submenu entry sits at the right edge, a font's underscore wide.
void expectEntries(Lab& lab, const MenuWindow& m, const std::vector<Entry>& entries)
{
    Shot s;
    // freeglut may draw a menu before Xvfb has mapped it, and draws it again when the
    // highlighted entry changes: point at its entries in turn until it shows.
    bool shown = false;
    for (int i = 0; i < 20 && !shown; ++i) {
        xdo("mousemove " + std::to_string(m.x + 20) + " " + std::to_string(entryY(m, i % 2 % entries.size())));
        shown = lab.rests() && grabWindow(dpy, m.w, s) && !singleColour(s);
    }
    ASSERT_TRUE(shown) << "the menu of " << entries[0].text << " shows";
    ASSERT_EQ(s.height, 4 + 25 * (int)entries.size()) << "one entry per text: " << entries[0].text;
    ownWindow();  // for the font
    int arrow = s.width - 2 - glutBitmapWidth(MENU_FONT, '_') - 1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        int top = 2 + 25 * (int)i;
        std::vector<std::string> seen = inkOf(s, 2, top, e.submenu ? arrow : s.width - 2, top + 25);
        EXPECT_EQ(picture(seen), picture(textInk(e.text))) << "entry " << i << " should read \"" << e.text << "\"";
        if (e.submenu) {
            EXPECT_FALSE(inkOf(s, arrow, top, s.width - 2, top + 25).empty()) << e.text << " shows its arrow";
        }
    }
}

TEST_F(EndToEnd, TheMenuReadsAsWritten)
{
    Lab lab;
    // A failure part way leaves the right button held: let it go for the tests after.
    struct Release { ~Release() { if (::testing::Test::HasFailure()) system("xdotool mouseup 3"); } } release;
    Shot first;
    ASSERT_TRUE(lab.open(first));
    xdo("mousemove 250 250 mousedown 3");
    MenuWindow main;
    ASSERT_TRUE(menuAt(250, 250, main));
    expectEntries(lab, main, {{"Move Orientation", false}, {"Move Position", false}, {"Auto Movement", false},
                              {"Controls [LOCKED]", true}, {"Quit", false}});
    xdo("mousemove " + std::to_string(main.x + 20) + " " + std::to_string(entryY(main, CONTROLS)));
    MenuWindow controls;
    ASSERT_TRUE(menuAt(main.x + main.width, entryY(main, CONTROLS) - 14, controls));
    expectEntries(lab, controls, {{"Orientation Controls", true}, {"Position Controls", true}, {"Automove Controls", true}});
    const std::vector<Entry> lists[3] = {
        {{"Mouseup = y+2", false}, {"Mousedown = y-2", false}, {"Mouseleft = z-2", false}, {"Mouseright = z+2", false}},
        {{"Mouseup = y+4", false}, {"Mousedown = y-4", false}, {"Mouseleft = x-4", false}, {"Mouseright = x+4", false}},
        {{"a = Automove", false}, {"s = Stop", false}},
    };
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        xdo("mousemove " + std::to_string(controls.x + 20) + " " + std::to_string(entryY(controls, k)));
        MenuWindow sub;
        ASSERT_TRUE(menuAt(controls.x + controls.width, entryY(controls, k) - 14, sub));
        expectEntries(lab, sub, lists[k]);
    }
    // Let go away from every menu and click there: they close and nothing is chosen.
    xdo("mousemove 50 450 mouseup 3");
    ASSERT_TRUE(lab.rests());
    if (!viewableMenus().empty()) xdo("click 1");
    EXPECT_TRUE(lab.rests()) << "not Quit";
    EXPECT_TRUE(viewableMenus().empty());
}

// ---- the window changing size

TEST_F(EndToEnd, KeepsDrawingThroughResizes)
{
    Lab lab;
    Shot first, s;
    ASSERT_TRUE(lab.open(first));
    std::string id = std::to_string(lab.window);
    // A height of 0 cannot be asked of X: 1 x 1 is the smallest window there is.
    for (const char* size : {"1 1", "2000 1500", "500 500"}) {
        xdo("windowsize " + id + " " + size);
        ASSERT_TRUE(holdsStill(lab, s)) << "still running at " << size;
        if (s.width > 1) {
            EXPECT_FALSE(singleColour(s)) << size;
        }
    }
    EXPECT_EQ(s.width, 500);
    long differing = 0;
    Shot start = reference("start");
    maxDifference(s, start, REFERENCE_TOLERANCE, &differing);
    EXPECT_LE(differing, REFERENCE_PIXELS_OFF) << "the picture comes back: " << offReference("start", differing, s, start);
}

// ---- images that cannot be read

struct Fault { const char* name; const char* setup; std::string file; bool missing; const char* reason; };

TEST_F(EndToEnd, AnUnreadableImageStopsTheLabWithOneLine)
{
    const Fault faults[] = {
        // The images named by a relative OSTREL_LAB_DATA, from where the lab stands: all or nothing.
        {"no data folder", "rm -r data", "data/drywall.tga", true,
         "No such file or directory: OSTREL_LAB_DATA names data, which must hold all the lab's images (drywall.tga, "},
        {"one image missing", "rm data/carpet.tga", "data/carpet.tga", true, "No such file or directory: "},
        {"an empty file", ": > data/Keyboard.tga", "data/Keyboard.tga", false, "header is 0 of 18 bytes"},
        {"a folder for a file", "rm data/login.tga && mkdir data/login.tga", "data/login.tga", false,
         "Is a directory"},
        {"only a header", "head -c 18 data/freehand1.tga > x && mv x data/freehand1.tga", "data/freehand1.tga",
         false, "file ends early"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        char tmpl[] = "/tmp/ostrel-fault-XXXXXX";
        std::string dir = mkdtemp(tmpl);
        std::string prepare = "cd " + dir + " && cp -r '" OSTREL_SOURCE "/data' . && " + f.setup;
        ASSERT_EQ(system(prepare.c_str()), 0);
        Lab lab;
        ASSERT_TRUE(lab.LabProcess::start(OSTREL_BINARY, dir, {}, "data"));
        // Watch the window while it lasts: it must never show a drawn frame.
        bool exited = false, drew = false;
        for (double end = secondsNow() + 30; !exited && secondsNow() < end;) {
            Window w = findWindow(dpy, TITLE, 0);
            Shot s;
            if (w && grabWindow(dpy, w, s) && !s.rgb.empty()) drew = drew || !singleColour(s);
            exited = lab.exited(0.01);
        }
        ASSERT_TRUE(exited);
        EXPECT_FALSE(drew) << "no frame is shown";
        EXPECT_TRUE(WIFEXITED(lab.status));
        EXPECT_EQ(WEXITSTATUS(lab.status), 1);
        EXPECT_EQ(slurp(lab.out), f.missing ? "\nUnable to load TGA File!\n" : "");
        std::string err = slurp(lab.err);
        EXPECT_EQ(err.rfind(std::string(f.file) + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(f.reason), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        system(("rm -rf " + dir).c_str());
    }
}

// The picture ./lab run takes without a display: a lab that stops on a broken image ends
// lab-shot at once with the reader's line and the lab's status, and no picture is left,
// not even an old one. The wait is lab-shot's own (as ./lab run gives it), twice this test's.
TEST_F(EndToEnd, TheHeadlessPictureEndsWithTheLabAndLeavesNoPicture)
{
    char tmpl[] = "/tmp/ostrel-shot-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    // Cut inside the header, so that what the reader says holds for any carpet.
    std::string prepare = "cd " + dir + " && cp -r '" OSTREL_SOURCE "/data' . && head -c 10 data/carpet.tga > x && " +
                          "mv x data/carpet.tga && echo old > lab.ppm";
    ASSERT_EQ(system(prepare.c_str()), 0);
    LabProcess shot;
    ASSERT_TRUE(shot.start(LAB_SHOT, dir, {"lab.ppm", "120", OSTREL_BINARY}));
    ASSERT_TRUE(shot.exited(60)) << "lab-shot still waits for a lab that has ended";
    EXPECT_TRUE(WIFEXITED(shot.status));
    EXPECT_EQ(WEXITSTATUS(shot.status), 1);
    EXPECT_EQ(slurp(shot.err), "data/carpet.tga: file ends early: header is 10 of 18 bytes: the file is probably "
                               "cut short: copy it again, or save it again\n");
    EXPECT_NE(access((dir + "/lab.ppm").c_str(), F_OK), 0) << "the old picture is gone";
    system(("rm -rf " + dir).c_str());
}

// lab-shot takes a window of the program it started only: beside another program's window
// of the same title, a program that opens none gives no picture, and the lab gives its own.
TEST_F(EndToEnd, TheHeadlessPictureIsOfTheProgramStartedOnly)
{
    char tmpl[] = "/tmp/ostrel-decoy-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    {
        LabProcess decoy, none, lab;
        ASSERT_TRUE(decoy.start("/usr/bin/xmessage", dir, {"-title", TITLE, "another program's window"}));
        ASSERT_NE(findWindow(dpy, TITLE, 30), 0u) << "xmessage showed no window";
        ASSERT_TRUE(none.start(LAB_SHOT, dir, {"none.ppm", "5", "/bin/sleep", "60"}));
        ASSERT_TRUE(none.exited(60));
        EXPECT_TRUE(WIFEXITED(none.status) && WEXITSTATUS(none.status) == 1) << slurp(none.err);
        EXPECT_NE(access((dir + "/none.ppm").c_str(), F_OK), 0) << "a picture of the other program's window";
        EXPECT_NE(slurp(none.err).find("was passed over"), std::string::npos) << slurp(none.err);
        ASSERT_TRUE(lab.start(LAB_SHOT, dir, {"lab.ppm", "120", OSTREL_BINARY}));
        ASSERT_TRUE(lab.exited(150));
        EXPECT_TRUE(WIFEXITED(lab.status) && WEXITSTATUS(lab.status) == 0) << slurp(lab.err);
        Shot shot;
        ASSERT_TRUE(readPpm(dir + "/lab.ppm", shot));
        EXPECT_EQ(shot.width, 500);
        EXPECT_EQ(shot.height, 500);
    }
    // The other tests find the lab's window by its title.
    for (double end = secondsNow() + 20; findWindow(dpy, TITLE, 0) && secondsNow() < end;) sleepSeconds(0.05);
    EXPECT_EQ(findWindow(dpy, TITLE, 0), 0u) << "xmessage's window outlived it";
    system(("rm -rf " + dir).c_str());
}

}  // namespace
