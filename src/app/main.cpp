// Ostrel Lab: a walkthrough of a computer teaching lab.
#include "app/messages.h"
#include "app/startup.h"

#include <GL/glut.h>

int main(int argc, char** argv)
{
    keepMessagesInSight();
    startLab(&argc, argv);
    glutMainLoop();
    return 0;
}
