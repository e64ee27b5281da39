// Waits for the lab's window to show its first frame and saves it as a PPM.
// Usage: lab-shot OUT.ppm [timeout seconds]
#include "xgrab.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: lab-shot OUT.ppm [timeout seconds]\n");
        return 2;
    }
    double timeout = argc > 2 ? atof(argv[2]) : 60;
    Display* dpy = openDisplay();
    if (!dpy) {
        fprintf(stderr, "lab-shot: cannot open the X display\n");
        return 1;
    }
    Shot shot;
    Window w = findWindow(dpy, "Ostrel Lab", timeout);
    if (!w || !waitForFrame(dpy, w, shot, timeout)) {
        fprintf(stderr, "lab-shot: no frame of \"Ostrel Lab\" within %g s\n", timeout);
        return 1;
    }
    if (!writePpm(argv[1], shot)) {
        fprintf(stderr, "lab-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
