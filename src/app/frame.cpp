#include "app/frame.h"

#include "camera/camera.h"
#include "scene/layout.h"
#include "scene/room.h"

#include <GL/glut.h>
#include <stdlib.h>

void display()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawFrontStretch();
    drawRowGroups();
    drawBackStretch();
    glutSwapBuffers();
}

// As many entries as the table has texts: no count to keep in step with it.
template <size_t N>
static void addEntries(const char* const (&texts)[N])
{
    for (const char* text : texts) glutAddMenuEntry(text, MENU_INFO);
}

// Built once, before the main loop: the tree never changes, so nothing needs rebuilding.
void buildMenus()
{
    static const char* const automove[] = {"a = Automove", "s = Stop"};
    // Each mode's texts give the other's step (a position drag moves 2, these say 4): kept as designed.
    static const char* const position[] = {"Mouseup = y+4", "Mousedown = y-4", "Mouseleft = x-4",
                                           "Mouseright = x+4"};
    static const char* const orientation[] = {"Mouseup = y+2", "Mousedown = y-2", "Mouseleft = z-2",
                                              "Mouseright = z+2"};

    int automoveMenu = glutCreateMenu(controlsMenu);
    addEntries(automove);
    int positionMenu = glutCreateMenu(controlsMenu);
    addEntries(position);
    int orientationMenu = glutCreateMenu(controlsMenu);
    addEntries(orientation);
    int controls = glutCreateMenu(controlsMenu);
    glutAddSubMenu("Orientation Controls", orientationMenu);
    glutAddSubMenu("Position Controls", positionMenu);
    glutAddSubMenu("Automove Controls", automoveMenu);

    glutCreateMenu(mainMenu);
    glutAddMenuEntry("Move Orientation", MENU_ORIENTATION);
    glutAddMenuEntry("Move Position", MENU_POSITION);
    glutAddMenuEntry("Auto Movement", MENU_AUTO);
    glutAddSubMenu("Controls [LOCKED]", controls);
    glutAddMenuEntry("Quit", MENU_QUIT);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

void mainMenu(int value)
{
    if (value >= MENU_QUIT) exit(0);
    if (value == MENU_ORIENTATION) glutMotionFunc(orientationMotion);
    else if (value == MENU_POSITION) glutMotionFunc(positionMotion);
    // Registers the keyboard callback main already registered, changing nothing: kept as designed.
    else if (value == MENU_AUTO) glutKeyboardFunc(keyboard);
    glutPostRedisplay();
}

// The information entries drive nothing.
void controlsMenu(int)
{
    glutPostRedisplay();
}
