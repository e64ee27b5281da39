#include "gl_probe.h"

#include <GL/glut.h>

int texturesAlive()
{
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name) n += glIsTexture(name) ? 1 : 0;
    return n;
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
