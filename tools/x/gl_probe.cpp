#include "gl_probe.h"

#include <GL/freeglut.h>

#include <unistd.h>
#include <vector>

int texturesAlive()
{
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name) n += glIsTexture(name) ? 1 : 0;
    return n;
}

bool showFirstFrame(int looks)
{
    for (int i = 0; i < looks && !texturesAlive(); ++i) {
        glutMainLoopEvent();
        usleep(10000);
    }
    return texturesAlive() > 0;
}

static void ignoreChoice(int) {}

int menusCreated()
{
    int current = glutGetMenu();
    int probe = glutCreateMenu(ignoreChoice);
    glutDestroyMenu(probe);
    if (current) glutSetMenu(current);
    return probe - 1;
}

Shot readFrame(int width, int height)
{
    std::vector<unsigned char> bottomUp((size_t)width * height * 3);
    glFinish();
    glReadBuffer(GL_BACK);  // Mesa copies the back buffer out on a swap and keeps it
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    Shot shot;
    shot.width = width;
    shot.height = height;
    for (int y = height - 1; y >= 0; --y)
        shot.rgb.insert(shot.rgb.end(), bottomUp.begin() + (size_t)y * width * 3,
                        bottomUp.begin() + (size_t)(y + 1) * width * 3);
    return shot;
}
