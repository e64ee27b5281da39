// The part of GLUT the lab uses, over a canvas and the page's events (src/web/glut.cpp).
#pragma once

#include <GL/glu.h>

#define GLUT_RGB 0
#define GLUT_DOUBLE 2
#define GLUT_DEPTH 16

#define GLUT_LEFT_BUTTON 0
#define GLUT_MIDDLE_BUTTON 1
#define GLUT_RIGHT_BUTTON 2

#ifdef __cplusplus
extern "C" {
#endif

void glutInit(int* argc, char** argv);
void glutInitDisplayMode(unsigned int mode);
void glutInitWindowSize(int width, int height);
void glutInitWindowPosition(int x, int y);
int glutCreateWindow(const char* title);
void glutMainLoop(void);

void glutDisplayFunc(void (*callback)(void));
void glutReshapeFunc(void (*callback)(int width, int height));
void glutKeyboardFunc(void (*callback)(unsigned char key, int x, int y));
void glutMotionFunc(void (*callback)(int x, int y));
void glutIdleFunc(void (*callback)(void));
void glutPostRedisplay(void);
void glutSwapBuffers(void);

int glutCreateMenu(void (*callback)(int value));
void glutAddMenuEntry(const char* label, int value);
void glutAddSubMenu(const char* label, int submenu);
void glutAttachMenu(int button);

void glutSolidCube(GLdouble size);
void glutSolidTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings);

#ifdef __cplusplus
}
#endif
