#include "app/startup.h"

#include "app/frame.h"
#include "app/messages.h"
#include "camera/camera.h"
#include "scene/lighting.h"

#include <GL/glut.h>

// Size and position come after glutInit has read its options, so -geometry cannot change them.
void startLab(int* argc, char** argv)
{
    glutInit(argc, argv);
    glutHasStarted();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(WINDOW_WIDTH, WINDOW_HEIGHT);
    glutInitWindowPosition(0, 0);
    glutCreateWindow(WINDOW_TITLE);
    glutReshapeFunc(reshape);
    glutDisplayFunc(display);
    initGL();
    initCamera();
    glutKeyboardFunc(keyboard);
    buildMenus();
}
