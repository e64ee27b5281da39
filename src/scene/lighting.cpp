#include "scene/lighting.h"

#include <GL/gl.h>

// ---- palette
const GLfloat no_mat[4] = {0, 0, 0, 1};
const GLfloat mat_specular[4] = {1, 1, 1, 1};
const GLfloat mat_ambient_whiteboard[4] = {1, 1, 1, 1};
const GLfloat mat_ambient_door[4] = {0.25f, 0.15f, 0.07f, 1};
const GLfloat mat_ambient_black[4] = {0, 0, 0, 1};
const GLfloat mat_ambient_table[4] = {0.45f, 0.35f, 0.1f, 1};
const GLfloat mat_ambient_silver[4] = {0.4f, 0.4f, 0.35f, 1};

// ---- lights, filled by initGL
static GLfloat ambient[4], diffuse[4], specular[4];
static GLfloat position1[4], position2[4];
static GLfloat lmodel_ambient[4];
static GLfloat local_view[1];

// ---- quadric handles
GLUquadric* quadric;
GLUquadric* pillarQuadric;
GLUquadric* lensQuadric;

static void setVec4(GLfloat* v, GLfloat a, GLfloat b, GLfloat c, GLfloat d)
{
    v[0] = a; v[1] = b; v[2] = c; v[3] = d;
}

// The lights are positioned while the modelview is still the identity, so they
// stay fixed to the eye however the camera moves.
void initGL()
{
    glClearColor(0.3f, 0.5f, 0.7f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 1, 0.1, 100);

    setVec4(ambient, 1, 1, 1, 1);
    setVec4(diffuse, 0.2f, 0.2f, 0.2f, 1);
    setVec4(specular, 1, 1, 1, 1);
    setVec4(position1, -20, 5, -8, 1);
    setVec4(position2, 0, 50, -29, 1);
    setVec4(lmodel_ambient, 0, 0, 0, 1);
    local_view[0] = 0;

    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position1);
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT1, GL_POSITION, position2);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, lmodel_ambient);
    glLightModelfv(GL_LIGHT_MODEL_LOCAL_VIEWER, local_view);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);

    // One quadric serves all three handles: none departs from GLU's defaults,
    // and making them here keeps the frame free of allocations.
    if (!quadric) quadric = gluNewQuadric();
    pillarQuadric = quadric;
    lensQuadric = quadric;
}

// The aspect stays 1 whatever the window's shape: a wide window stretches the lab.
void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(120, 1, 0.5, 300);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
