// Starts the lab, waits for whichever comes first, its window's first frame or its end,
// and saves the frame as a PPM. A lab that ends first has written its own message on
// the standard error both share; lab-shot then ends at once with the lab's status.
// Only a window of the process started (or of one it started) is taken: another program's
// window of the same title, left from an earlier run or opened by chance, is passed over.
// Usage: lab-shot OUT.ppm TIMEOUT PROGRAM [ARGS...]
#include "xgrab.h"

#include <X11/Xatom.h>
#include <X11/extensions/XRes.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

static const char* const TITLE = "Ostrel Lab";
static const double FRAME_WAIT = 0.5;  // per look at the window, so that the lab's end is seen between looks
static const int SIGNAL_STATUS = 128;  // as the shell reports a program ended by a signal

static int statusOf(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : SIGNAL_STATUS + WTERMSIG(waitStatus);
}

static void stop(pid_t lab)
{
    kill(lab, SIGTERM);
    waitpid(lab, nullptr, 0);
}

// The process that made the window, as the X server knows its client (X-Resource 1.2,
// Xorg's and Xvfb's); only where the server cannot tell, the _NET_WM_PID the program set
// itself. 0 when neither says, or the window has gone.
static pid_t ownerOf(Display* dpy, Window w)
{
    pid_t pid = 0;
    int event, error, major = 0, minor = 0;
    XErrorHandler old = XSetErrorHandler(ignoreErrors);
    if (XResQueryExtension(dpy, &event, &error) && XResQueryVersion(dpy, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 2))) {
        XResClientIdSpec spec{w, XRES_CLIENT_ID_PID_MASK};
        long n = 0;
        XResClientIdValue* ids = nullptr;
        if (XResQueryClientIds(dpy, 1, &spec, &n, &ids) == Success) {
            for (long i = 0; i < n; ++i)
                if (XResGetClientPid(&ids[i]) > 0) pid = XResGetClientPid(&ids[i]);
            XResClientIdsDestroy(n, ids);
        }
    } else {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                               &format, &n, &after, &data) == Success && data) {
            if (type == XA_CARDINAL && format == 32 && n == 1) pid = (pid_t)*(unsigned long*)data;
            XFree(data);
        }
    }
    XSync(dpy, False);
    XSetErrorHandler(old);
    return pid;
}

static pid_t parentOf(pid_t pid)
{
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return 0;
    char line[1024];
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;
    const char* end = strrchr(line, ')');  // the command's name, in parentheses, may hold anything
    int parent = 0;
    return end && sscanf(end + 1, " %*c %d", &parent) == 1 ? parent : 0;
}

// The process started, or one that it started (a program that runs another, as qemu-user
// does not but a shell script would).
static bool startedBy(pid_t pid, pid_t started)
{
    for (int depth = 0; pid > 1 && depth < 64; ++depth, pid = parentOf(pid))
        if (pid == started) return true;
    return false;
}

// The whole run on an open display, which the caller closes whatever the outcome.
static int shoot(Display* dpy, const char* out, double timeout, char** program)
{
    pid_t lab = fork();
    if (lab == 0) {
        execv(program[0], program);
        perror(program[0]);
        _exit(127);
    }
    Window w = 0;
    pid_t other = 0;  // the owner of a window passed over, for the message
    Shot shot;
    for (double end = secondsNow() + timeout; secondsNow() < end;) {
        int status;
        if (waitpid(lab, &status, WNOHANG) == lab) return statusOf(status);
        if (!w) {
            for (Window candidate : findWindows(dpy, TITLE)) {
                pid_t owner = ownerOf(dpy, candidate);
                if (owner && startedBy(owner, lab)) {
                    w = candidate;
                    break;
                }
                other = owner ? owner : -1;
            }
            sleepSeconds(0.05);
        } else if (waitForFrame(dpy, w, shot, FRAME_WAIT)) {
            stop(lab);
            if (writePpm(out, shot)) return 0;
            fprintf(stderr, "lab-shot: cannot write %s\n", out);
            return 1;
        }
    }
    stop(lab);
    fprintf(stderr, "lab-shot: no frame of a \"%s\" window of %s within %g s", TITLE, program[0], timeout);
    if (other > 0) fprintf(stderr, " (one of process %d, which %s did not start, was passed over)", (int)other, program[0]);
    if (other < 0) fprintf(stderr, " (one whose process the X server could not tell was passed over)");
    fputc('\n', stderr);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: lab-shot OUT.ppm TIMEOUT PROGRAM [ARGS...]\n");
        return 2;
    }
    const char* out = argv[1];
    double timeout = atof(argv[2]);
    unlink(out);  // a picture left from an earlier run must not pass for this one's
    Display* dpy = openDisplay();
    if (!dpy) {
        fprintf(stderr, "lab-shot: cannot open the X display\n");
        return 1;
    }
    int status = shoot(dpy, out, timeout, argv + 3);
    XCloseDisplay(dpy);
    return status;
}
