// Starts the lab, waits for whichever comes first, its window's first frame or its end,
// and saves the frame as a PPM. A lab that ends first has written its own message on
// the standard error both share; lab-shot then ends at once with the lab's status.
// Usage: lab-shot OUT.ppm TIMEOUT PROGRAM [ARGS...]
#include "xgrab.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
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
    Shot shot;
    for (double end = secondsNow() + timeout; secondsNow() < end;) {
        int status;
        if (waitpid(lab, &status, WNOHANG) == lab) return statusOf(status);
        if (!w) {
            w = findWindow(dpy, TITLE, 0);
            sleepSeconds(0.05);
        } else if (waitForFrame(dpy, w, shot, FRAME_WAIT)) {
            stop(lab);
            if (writePpm(out, shot)) return 0;
            fprintf(stderr, "lab-shot: cannot write %s\n", out);
            return 1;
        }
    }
    stop(lab);
    fprintf(stderr, "lab-shot: no frame of \"%s\" within %g s\n", TITLE, timeout);
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
