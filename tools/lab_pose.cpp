// The native picture of camera poses, for comparing the browser build with: starts the
// lab in its window, shows its first frame, then draws each pose as a later frame.
// Usage: lab-pose OUTDIR name=eyeX,eyeY,eyeZ,centerX,centerY,centerZ ...
// writes OUTDIR/first.ppm (the first frame) and OUTDIR/name.ppm per pose.
#include "app/frame.h"
#include "app/startup.h"
#include "camera/camera.h"
#include "scene/surface.h"
#include "xgrab.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

static Shot backBuffer()
{
    std::vector<unsigned char> bottomUp((size_t)WINDOW_WIDTH * WINDOW_HEIGHT * 3);
    glFinish();
    glReadBuffer(GL_BACK);  // Mesa keeps the back buffer's contents over a swap
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    Shot shot;
    shot.width = WINDOW_WIDTH;
    shot.height = WINDOW_HEIGHT;
    for (int y = WINDOW_HEIGHT - 1; y >= 0; --y)
        shot.rgb.insert(shot.rgb.end(), bottomUp.begin() + (size_t)y * WINDOW_WIDTH * 3,
                        bottomUp.begin() + (size_t)(y + 1) * WINDOW_WIDTH * 3);
    return shot;
}

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
    if (!textureIds[DRYWALL] || !writePpm(dir + "/first.ppm", backBuffer())) {
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
        if (!writePpm(dir + "/" + name + ".ppm", backBuffer())) {
            fprintf(stderr, "lab-pose: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
