// The native picture of camera poses, for comparing the browser build with: starts the
// lab in its window, shows its first frame, then draws each pose as a later frame.
// Usage: lab-pose OUTDIR name=eyeX,eyeY,eyeZ,centerX,centerY,centerZ ...
// writes OUTDIR/first.ppm (the first frame) and OUTDIR/name.ppm per pose.
#include "app/frame.h"
#include "app/startup.h"
#include "camera/camera.h"
#include "scene/surface.h"
#include "gl_probe.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: lab-pose OUTDIR name=eyeX,eyeY,eyeZ,centerX,centerY,centerZ ...\n");
        return 2;
    }
    std::string dir = argv[1];
    int glutArgc = 1;
    startLab(&glutArgc, argv);
    for (int i = 0; i < 1000 && !textureIds[DRYWALL]; ++i) {  // until GLUT has shown the first frame
        glutMainLoopEvent();
        usleep(10000);
    }
    if (!textureIds[DRYWALL] || !writePpm(dir + "/first.ppm", readFrame(WINDOW_WIDTH, WINDOW_HEIGHT))) {
        fprintf(stderr, "lab-pose: no first frame\n");
        return 1;
    }
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
        if (!writePpm(dir + "/" + name + ".ppm", readFrame(WINDOW_WIDTH, WINDOW_HEIGHT))) {
            fprintf(stderr, "lab-pose: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
