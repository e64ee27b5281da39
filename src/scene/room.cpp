#include "scene/room.h"

#include "scene/lighting.h"
#include "scene/surface.h"

#include <GL/glut.h>

// ---- the room's textured surfaces: corners in drawing order, {s, t, x, y, z}
static const TexturedCorner frontWall[4] = {
    {0, 0, -60, -20, -60}, {0, 1, -60, 60, -60}, {1, 1, 60, 60, -60}, {1, 0, 60, -20, -60}};
static const TexturedCorner projectionScreen[4] = {
    {0, 0, -20, -9, -58}, {1, 0, 20, -9, -58}, {1, 1, 20, 29, -58}, {0, 1, -20, 29, -58}};
static const TexturedCorner freehandPanel[4] = {
    {0, 0, 20, -10, -58}, {1, 0, 40, -10, -58}, {1, 1, 40, 29, -58}, {0, 1, 20, 29, -58}};
static const TexturedCorner leftWall[4] = {
    {1, 0, -60, -20, 60}, {1, 1, -60, 60, 60}, {0, 1, -60, 60, -60}, {0, 0, -60, -20, -60}};
static const TexturedCorner rightWall[4] = {
    {1, 0, 60, -20, 60}, {1, 1, 60, 60, 60}, {0, 1, 60, 60, -60}, {0, 0, 60, -20, -60}};
static const TexturedCorner backWall[4] = {
    {0, 0, -60, -20, 60}, {0, 1, -60, 60, 60}, {1, 1, 60, 60, 60}, {1, 0, 60, -20, 60}};
static const TexturedCorner ceiling[4] = {
    {0, 0, -60, 60, 60}, {0, 1, -60, 60, -60}, {1, 1, 60, 60, -60}, {1, 0, 60, 60, 60}};
static const TexturedCorner carpetFloor[4] = {
    {0, 0, -60, -20, 60}, {0, 1, -60, -20, -60}, {1, 1, 60, -20, -60}, {1, 0, 60, -20, 60}};

// ---- untextured panels, {x, y, z} per corner
static const GLfloat whiteboard[4][3] = {{-40, 30, -59}, {-40, -10, -59}, {40, -10, -59}, {40, 30, -59}};
static const GLfloat door[4][3] = {{-59, 10, -45}, {-59, -20, -45}, {-59, -20, -57}, {-59, 10, -57}};
static const GLfloat doorPanel[4][3] = {
    {-58.5f, 7, -52}, {-58.5f, -9, -52}, {-58.5f, -9, -56}, {-58.5f, 7, -56}};

static void roomSurface(LabImage image, const TexturedCorner corners[4])
{
    glPushMatrix();
    drawTexturedQuad(image, EMISSIVE, corners);
    glPopMatrix();
}

static void corners(const GLfloat quad[4][3])
{
    for (int i = 0; i < 4; ++i) glVertex3fv(quad[i]);
}

static void drawWhiteboard()
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_whiteboard);
    glBegin(GL_POLYGON);
    corners(whiteboard);
    glEnd();
    glPopMatrix();
}

// The panel's white is set inside its glBegin, before its first vertex.
static void drawDoor()
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_door);
    glBegin(GL_POLYGON);
    corners(door);
    glEnd();
    glBegin(GL_POLYGON);
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_whiteboard);
    corners(doorPanel);
    glEnd();
    glPopMatrix();
}

// Hangs from the ceiling and stops 0.2 above the carpet.
static void drawPillar()
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_whiteboard);
    glTranslatef(0, 60, 47);
    glRotatef(90, 1, 0, 0);
    gluCylinder(pillarQuadric, 5, 5, 79.8, 360, 360);
    glPopMatrix();
}

static void drawProjector()
{
    glPushMatrix();
    glTranslatef(0, 50, -25);
    glScalef(8, 5, 5);
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_silver);
    glutSolidCube(1);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0, 50, -28);
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_silver);
    gluCylinder(lensQuadric, 2, 2, 1, 16, 16);
    glPopMatrix();
}

void drawFrontStretch()
{
    roomSurface(DRYWALL, frontWall);
    drawWhiteboard();
    roomSurface(SCREENS, projectionScreen);
    roomSurface(FREEHAND, freehandPanel);
    roomSurface(DRYWALL, leftWall);
    drawDoor();
    roomSurface(DRYWALL, rightWall);
}

void drawBackStretch()
{
    roomSurface(DRYWALL, backWall);
    drawPillar();
    roomSurface(DRYWALL, ceiling);
    drawProjector();
    roomSurface(CARPET, carpetFloor);
}
