// Camera state and the controls that change it: mouse drags, keys and the orbit.
#pragma once

const double PI = 3.14156;  // the lab's own value; one orbit is 180 steps with it

// gluLookAt arguments, in the order the frame passes them
extern double eyeX, eyeY, eyeZ;
extern double centerX, centerY, centerZ;
extern double upX, upY, upZ;

extern double orbitAngle;   // radians; starts far above the wrap bound
extern double orbitRadius;
extern double orbitStep;

extern int lastMouseX, lastMouseY;  // shared by both drag modes

void initCamera();

// GLUT motion callbacks, registered from the main menu
void orientationMotion(int x, int y);
void positionMotion(int x, int y);

// GLUT keyboard and idle callbacks: 'a' starts the orbit, 's' stops it
void keyboard(unsigned char key, int x, int y);
void autoMove();
