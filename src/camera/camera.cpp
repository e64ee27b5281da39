#include "camera/camera.h"

#include <GL/glut.h>
#include <cmath>

// ---- camera state: plain globals, read by the frame, written by the handlers
double eyeX, eyeY, eyeZ;
double centerX, centerY, centerZ;
double upX, upY, upZ;
double orbitAngle, orbitRadius, orbitStep;
int lastMouseX, lastMouseY;

static const int ORIENTATION_STEP = 4;
static const int POSITION_STEP = 2;

void initCamera()
{
    orbitAngle = 90;
    orbitRadius = 40;
    orbitStep = 4.0 * PI / 360.0;
    eyeX = 0; eyeY = 0; eyeZ = 0;
    centerX = 0; centerY = 0; centerZ = -30;
    upX = 0; upY = 1; upZ = 0;
}

// One step per axis per event, whatever the distance the pointer travelled.
void orientationMotion(int x, int y)
{
    if (lastMouseX < x) centerX += ORIENTATION_STEP;
    else if (lastMouseX > x) centerX -= ORIENTATION_STEP;
    if (lastMouseY < y) centerY -= ORIENTATION_STEP;
    else if (lastMouseY > y) centerY += ORIENTATION_STEP;
    glutPostRedisplay();
    lastMouseY = y;
    lastMouseX = x;
}

// Horizontal drags move the eye along z, and a downward drag raises it.
void positionMotion(int x, int y)
{
    if (x > lastMouseX) eyeZ += POSITION_STEP;
    else if (x < lastMouseX) eyeZ -= POSITION_STEP;
    if (y > lastMouseY) eyeY += POSITION_STEP;
    else if (y < lastMouseY) eyeY -= POSITION_STEP;
    glutPostRedisplay();
    lastMouseY = y;
    lastMouseX = x;
}

void keyboard(unsigned char key, int, int)
{
    if (key == 'a') glutIdleFunc(autoMove);
    else if (key == 's') glutIdleFunc(NULL);
}

// One step per idle pass, no clock: the orbit's speed is the frame rate.
void autoMove()
{
    orbitAngle = orbitAngle + orbitStep;
    if (orbitAngle > 2.0 * PI)
        orbitAngle -= 2.0 * PI;  // once only: the start value of 90 takes 14 steps to come into range
    eyeX = cos(orbitAngle) * orbitRadius;
    eyeY = 0;
    eyeZ = sin(orbitAngle) * orbitRadius;
    glutPostRedisplay();
}
