// The native picture of camera poses: starts the lab in its window, shows its first frame,
// then draws each pose as a later frame, with the lab's own display.
// Usage: lab-pose OUTDIR name=eyeX,eyeY,eyeZ,centerX,centerY,centerZ ...
//   writes OUTDIR/first.ppm (the first frame) and OUTDIR/name.ppm per pose: the browser
//   build's pictures are compared with these;
// or: lab-pose --picture OUT.ppm [--orbit-steps N] [--eye X,Y,Z] [--look-at X,Y,Z]
//   writes one frame from the start view so changed, the orbit's steps taken first and by
//   the lab's own idle callback (./lab picture).
#include "app/frame.h"
#include "app/startup.h"
#include "camera/camera.h"
#include "gl_probe.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>
#include <string>

static const char* const USAGE =
    "usage: lab-pose OUTDIR name=eyeX,eyeY,eyeZ,centerX,centerY,centerZ ...\n"
    "   or: lab-pose --picture OUT.ppm [--orbit-steps N] [--eye X,Y,Z] [--look-at X,Y,Z]\n";
static const int MAX_ORBIT_STEPS = 999999;

// The picture's view: what its words change of the start view.
struct PictureView {
    int orbitSteps = 0;
    bool eyeGiven = false, centerGiven = false;
    double eye[3], center[3];
};

static bool readPoint(const char* text, double* p)
{
    char rest;
    return sscanf(text, "%lf,%lf,%lf%c", &p[0], &p[1], &p[2], &rest) == 3;
}

static bool readPictureWords(int argc, char** argv, PictureView& view)
{
    for (int i = 0; i + 1 < argc; i += 2) {
        char rest;
        if (!strcmp(argv[i], "--orbit-steps")) {
            if (sscanf(argv[i + 1], "%d%c", &view.orbitSteps, &rest) != 1 || view.orbitSteps < 0 ||
                view.orbitSteps > MAX_ORBIT_STEPS)
                return false;
        } else if (!strcmp(argv[i], "--eye")) {
            if (!(view.eyeGiven = readPoint(argv[i + 1], view.eye))) return false;
        } else if (!strcmp(argv[i], "--look-at")) {
            if (!(view.centerGiven = readPoint(argv[i + 1], view.center))) return false;
        } else {
            return false;
        }
    }
    return argc % 2 == 0;
}

static void setView(const PictureView& view)
{
    for (int n = 0; n < view.orbitSteps; ++n) autoMove();
    if (view.eyeGiven) { eyeX = view.eye[0]; eyeY = view.eye[1]; eyeZ = view.eye[2]; }
    if (view.centerGiven) { centerX = view.center[0]; centerY = view.center[1]; centerZ = view.center[2]; }
}

static bool drawTo(const std::string& file)
{
    if (writePpm(file, readFrame(WINDOW_WIDTH, WINDOW_HEIGHT))) return true;
    fprintf(stderr, "lab-pose: cannot write %s\n", file.c_str());
    return false;
}

int main(int argc, char** argv)
{
    bool picture = argc >= 3 && !strcmp(argv[1], "--picture");
    PictureView view;
    if (argc < 2 || (picture && !readPictureWords(argc - 3, argv + 3, view))) {
        fprintf(stderr, "%s", USAGE);
        return 2;
    }
    int glutArgc = 1;
    startLab(&glutArgc, argv);
    if (!showFirstFrame(1000)) {
        fprintf(stderr, "lab-pose: no first frame\n");
        return 1;
    }
    if (picture) {
        setView(view);
        display();
        return drawTo(argv[2]) ? 0 : 1;
    }
    std::string dir = argv[1];
    if (!drawTo(dir + "/first.ppm")) return 1;
    for (int i = 2; i < argc; ++i) {
        char name[64];
        double p[6];
        if (sscanf(argv[i], "%63[^=]=%lf,%lf,%lf,%lf,%lf,%lf", name, &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]) != 7) {
            fprintf(stderr, "lab-pose: cannot read the pose %s\n", argv[i]);
            return 2;
        }
        eyeX = p[0]; eyeY = p[1]; eyeZ = p[2];
        centerX = p[3]; centerY = p[4]; centerZ = p[5];
        display();
        if (!drawTo(dir + "/" + name + ".ppm")) return 1;
    }
    return 0;
}
