// Ostrel Lab: a walkthrough of a computer teaching lab.
#include "app/startup.h"

#include <GL/glut.h>

int main(int argc, char** argv)
{
    startLab(&argc, argv);
    glutMainLoop();
    return 0;
}
