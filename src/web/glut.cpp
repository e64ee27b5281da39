// GLUT on a page: the canvas is the window, the browser's animation frames run the main
// loop, pointer, key and menu events come in from input.js through the exported web* calls.
// The page runs the loop itself, not emscripten_set_main_loop: that keeps the runtime alive,
// and an exit() from a frame or an event then reaches none of emscripten's exit hooks.
#include "gl_state.h"
#include "meshes.h"
#include "slices.h"
#include "webgl.h"

#include <GL/glut.h>

#include <emscripten.h>
#include <emscripten/eventloop.h>

extern "C" {
// page.js
int webBenchFrames(void);
void webPassBegan(void);
void webBenchFrameDrawn(void);
// input.js
void webPageSetup(const char* title);
int webResizeAndClearCanvasWidth(void);  // in drawing-buffer pixels
int webResizeAndClearCanvasHeight(void);
void webMenuCreate(int menu);
void webMenuAddEntry(int menu, const char* label, int value);
void webMenuAddSubMenu(int menu, const char* label, int submenu);
void webMenuAttach(int menu, int button);
void webMainLoop(void);  // a webLoopPass in each animation frame from now on, until the lab ends
void webYield(void);     // the pass goes on in a task of its own (ASYNCIFY)
}

// ---- the window: its size and callbacks, and the redisplay flag
static int requestedWidth = 300, requestedHeight = 300;
static int reshapedWidth = -1, reshapedHeight = -1;  // as last passed to the reshape callback
static bool redisplayPending;
static int benchFramesLeft;  // the page's ?bench=N mode: a redisplay every pass until N are drawn
static void (*displayCallback)(void);
static void (*reshapeCallback)(int, int);
static void (*keyboardCallback)(unsigned char, int, int);
static void (*motionCallback)(int, int);
static void (*idleCallback)(void);

// ---- menus: callbacks by menu number (from 1); their entries live in the page
static const int MAX_MENUS = 64;
static void (*menuCallbacks[MAX_MENUS + 1])(int);
static int menuCount, currentMenu;

void glutInit(int*, char**) {}
void glutInitDisplayMode(unsigned int) {}  // the page's context is always RGB, double-buffered, with depth

void glutInitWindowSize(int width, int height)
{
    requestedWidth = width;
    requestedHeight = height;
}

void glutInitWindowPosition(int, int) {}  // the canvas stays where the page puts it

int glutCreateWindow(const char* title)
{
    resetGLState();
    // The page reads the structs' layout from here on, the context's buffers first.
    for (const WebLayoutEntry& entry : WEB_LAYOUT) webglLayout(entry.name, entry.value);
    webglCreateContext(requestedWidth, requestedHeight);
    setMeshProgress(yieldIfLong);
    webPageSetup(title);
    benchFramesLeft = webBenchFrames();
    redisplayPending = true;
    return 1;
}

void glutDisplayFunc(void (*callback)(void)) { displayCallback = callback; }
void glutReshapeFunc(void (*callback)(int, int)) { reshapeCallback = callback; }
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) { keyboardCallback = callback; }
void glutMotionFunc(void (*callback)(int, int)) { motionCallback = callback; }
void glutIdleFunc(void (*callback)(void)) { idleCallback = callback; }
void glutPostRedisplay(void) { redisplayPending = true; }
void glutSwapBuffers(void)
{
    yieldIfLong();  // the page's part of the first frame (shaders, uploads) in a task of its own
    submitFrame();
}

// ---- the pass in slices

// A slice of 4 ms is 16 ms on a phone 4 times slower: with the piece of work that ends it,
// under the 50 ms of a long task. Only the passes up to the first frame are cut: later
// frames make nothing new, and a frame cut in two would wait for the next animation frame.
static const double SLICE_MS = 4;
static double sliceStarted;
static bool slicing = true;

void startSlice() { sliceStarted = emscripten_get_now(); }

void yieldIfLong()
{
    if (!slicing || emscripten_get_now() - sliceStarted < SLICE_MS) return;
    webYield();
    startSlice();
}

// One pass of GLUT's loop, once per animation frame: a size change first, then the
// display if one was asked for, then the idle function.
static void mainLoopPass()
{
    webPassBegan();  // the page times the pass up to the frame's last WebGL call
    startSlice();
    int width = webResizeAndClearCanvasWidth(), height = webResizeAndClearCanvasHeight();
    if (width != reshapedWidth || height != reshapedHeight) {
        reshapedWidth = width;
        reshapedHeight = height;
        if (reshapeCallback) reshapeCallback(width, height);
        else glViewport(0, 0, width, height);
        redisplayPending = true;
    }
    if (benchFramesLeft > 0) redisplayPending = true;
    if (redisplayPending && displayCallback) {
        redisplayPending = false;
        displayCallback();
        slicing = false;
        if (benchFramesLeft > 0) {
            --benchFramesLeft;
            webBenchFrameDrawn();
        }
    }
    if (idleCallback) idleCallback();
}

// Never returns, as GLUT's does not: main's stack is unwound and the loop runs on.
void glutMainLoop(void)
{
    webMainLoop();
    emscripten_unwind_to_js_event_loop();
}

int glutCreateMenu(void (*callback)(int))
{
    if (menuCount == MAX_MENUS) return 0;
    menuCallbacks[++menuCount] = callback;
    currentMenu = menuCount;
    webMenuCreate(currentMenu);
    return currentMenu;
}

void glutAddMenuEntry(const char* label, int value)
{
    if (currentMenu) webMenuAddEntry(currentMenu, label, value);
}

void glutAddSubMenu(const char* label, int submenu)
{
    if (currentMenu && submenu >= 1 && submenu <= menuCount) webMenuAddSubMenu(currentMenu, label, submenu);
}

void glutAttachMenu(int button)
{
    if (currentMenu) webMenuAttach(currentMenu, button);
}

void glutSolidCube(GLdouble size)
{
    yieldIfLong();
    drawSolidCube(size);
}

void glutSolidTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings)
{
    yieldIfLong();
    drawSolidTorus(innerRadius, outerRadius, sides, rings);
}

// ---- events from the page
extern "C" {

EMSCRIPTEN_KEEPALIVE void webLoopPass() { mainLoopPass(); }

EMSCRIPTEN_KEEPALIVE void webMotion(int x, int y)
{
    if (motionCallback) motionCallback(x, y);
}

EMSCRIPTEN_KEEPALIVE void webKey(int key, int x, int y)
{
    if (keyboardCallback) keyboardCallback((unsigned char)key, x, y);
}

EMSCRIPTEN_KEEPALIVE void webMenuPick(int menu, int value)
{
    if (menu < 1 || menu > menuCount || !menuCallbacks[menu]) return;
    currentMenu = menu;
    menuCallbacks[menu](value);
}
}
