// Frame benchmark: the lab's own start-up and frame in a real window, GLUT's events
// processed between frames as the main loop would, glFinish after each frame.
// Prints one JSON line, each frame's time in it. Usage: lab-bench [--frames N] [--orbit] [GLUT options]
#include "app/frame.h"
#include "app/startup.h"
#include "gl_probe.h"
#include "camera/camera.h"
#include "scene/lighting.h"
#include "scene/surface.h"
#include "texture/texture.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <time.h>
#include <unistd.h>
#include <vector>

static double nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

static long rssKb()
{
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What reading and building every textured surface's image anew costs, as each frame
// would if textures were not kept: loadTexture (the reader and gluBuild2DMipmaps), 40 times.
static double reloadAllSurfacesMs()
{
    const int surfaces[LAB_IMAGE_COUNT] = {5, 1, 1, 1, 3, 6, 23};  // per image, in table order
    double start = nowMs();
    for (int image = 0; image < LAB_IMAGE_COUNT; ++image)
        for (int n = 0; n < surfaces[image]; ++n) {
            GLuint id;
            loadTexture(&id, labImagePath((LabImage)image).c_str(), 0);
            glDeleteTextures(1, &id);
        }
    glFinish();
    return nowMs() - start;
}

// The lab's display, counted: a window GLUT thinks hidden draws nothing, and that
// must not pass for a fast frame.
static int framesDrawn;
static void countedDisplay()
{
    display();
    ++framesDrawn;
}

// Runs GLUT's event processing until the frame asked for has been drawn.
static bool drawOneFrame()
{
    int before = framesDrawn;
    double give_up = nowMs() + 10000;
    while (framesDrawn == before && nowMs() < give_up) glutMainLoopEvent();
    return framesDrawn > before;
}

static double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (size_t)(p * (v.size() - 1) + 0.5))];
}

int main(int argc, char** argv)
{
    int frames = 600;
    bool orbit = false;
    std::vector<char*> glutArgs = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--frames") && i + 1 < argc) frames = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--orbit")) orbit = true;
        else glutArgs.push_back(argv[i]);
    }
    int glutArgc = (int)glutArgs.size();
    glutArgs.push_back(nullptr);
    startLab(&glutArgc, glutArgs.data());
    glutDisplayFunc(countedDisplay);
    if (!drawOneFrame()) {  // the first frame, as GLUT shows the window
        fprintf(stderr, "lab-bench: the window never drew its first frame\n");
        return 1;
    }
    GLUquadric* firstQuadric = quadric;
    int quadricsMade = quadric ? 1 : 0;

    std::vector<double> times;
    long rssHalf = 0;
    for (int i = 0; i < frames; ++i) {
        if (orbit) autoMove();
        else glutPostRedisplay();
        double t0 = nowMs();
        if (!drawOneFrame()) {
            fprintf(stderr, "lab-bench: frame %d was never drawn (is the window covered?)\n", i + 1);
            return 1;
        }
        glFinish();
        times.push_back(nowMs() - t0);
        if (quadric != firstQuadric) ++quadricsMade, firstQuadric = quadric;
        if (i == frames / 2) rssHalf = rssKb();
    }
    long rssEnd = rssKb();
    double median = percentile(times, 0.5), p95 = percentile(times, 0.95);
    std::vector<double> reloads;
    for (int i = 0; i < 5; ++i) reloads.push_back(reloadAllSurfacesMs());
    double reload = percentile(reloads, 0.5);
    double total = 0;
    for (double t : times) total += t;

    printf("{\"frames\": %d, \"orbit\": %s, \"median_ms\": %.3f, \"p95_ms\": %.3f, \"fps\": %.1f, "
           "\"rss_kb_half\": %ld, \"rss_kb_end\": %ld, \"textures\": %d, \"menus\": %d, \"quadrics\": %d, "
           "\"reload_ms\": %.3f, \"reload_ratio\": %.2f, \"renderer\": \"%s, %s\", \"times_ms\": [",
           framesDrawn - 1, orbit ? "true" : "false", median, p95, frames * 1000.0 / total, rssHalf, rssEnd,
           texturesAlive(), menusCreated(), quadricsMade, reload, reload / median,
           (const char*)glGetString(GL_RENDERER), (const char*)glGetString(GL_VERSION));
    for (size_t i = 0; i < times.size(); ++i) printf("%s%.3f", i ? ", " : "", times[i]);
    printf("]}\n");
    return 0;
}
