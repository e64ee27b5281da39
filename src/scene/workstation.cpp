#include "scene/workstation.h"

#include "scene/lighting.h"

#include <GL/glut.h>

// ---- panel corners per bank, {s, t, x, y, z}
static const TexturedCorner screenPanels[2][4] = {
    {{0, 0, 22.2f, -6.5f, -19.3f}, {1, 0, 16.6f, -6.5f, -19.3f},
     {1, 1, 16.6f, -1.3f, -19.3f}, {0, 1, 22.2f, -1.3f, -19.3f}},
    {{0, 0, 21.2f, -6.5f, -19.3f}, {1, 0, 15.7f, -6.5f, -19.3f},
     {1, 1, 15.7f, -1.3f, -19.3f}, {0, 1, 21.2f, -1.3f, -19.3f}},
};
static const TexturedCorner keyboardPanels[2][4] = {
    {{1, 1, 23.7f, -8.7f, -18.3f}, {0, 1, 18.4f, -8.7f, -18.3f},
     {0, 0, 18.4f, -9.0f, -16.3f}, {1, 0, 23.7f, -9.0f, -16.3f}},
    {{1, 1, 22.0f, -8.7f, -18.3f}, {0, 1, 15.7f, -8.7f, -18.3f},
     {0, 0, 15.7f, -9.0f, -16.3f}, {1, 0, 22.0f, -9.0f, -16.3f}},
};

static void rotateAboutX() { glRotatef(90, 1, 0, 0); }  // +z becomes -y
static void rotateAboutY() { glRotatef(90, 0, 1, 0); }  // +x becomes -z
static void post(float height) { gluCylinder(quadric, 0.5, 0.5, height, 16, 16); }
static void ring() { glutSolidTorus(0.05, 0.5, 60, 60); }

// An offset of 0 issues no translate at all.
static void offsetX(float d)
{
    if (d != 0) glTranslatef(d, 0, 0);
}

void drawMonitorBody(float xm)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    glTranslatef(xm, -4, -20);
    glScalef(6, 6, 1);
    glutSolidCube(1);
    glPopMatrix();
}

void drawScreenPanel(LabImage image, Bank bank, float d)
{
    glPushMatrix();
    offsetX(d);
    drawTexturedQuad(image, AMBIENT_ONLY, screenPanels[bank]);
    glPopMatrix();
}

void drawKeyboardPanel(Bank bank, float d)
{
    glPushMatrix();
    offsetX(d);
    drawTexturedQuad(KEYBOARD, AMBIENT_ONLY, keyboardPanels[bank]);
    glPopMatrix();
}

void drawStandPost(float xm)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    glTranslatef(xm, -4, -21);
    rotateAboutX();
    post(6);
    glPopMatrix();
}

// The translate comes after the scale, so f is in units of 3.
void drawStandFoot(float f)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    glScalef(3, 3, 3);
    glTranslatef(f, -3, -6.7f);
    rotateAboutX();
    ring();
    glPopMatrix();
}

void drawComputerCase(float xc)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    glTranslatef(xc, -6, -21);
    rotateAboutY();
    glScalef(6, 7, 1.5f);
    glutSolidCube(1);
    glPopMatrix();
}

// Backrest and seat set no material: they take the black the piece before left.
void drawChair(float d)
{
    glPushMatrix();
    if (d != 0) {
        glTranslatef(d, 0, 0);
        glPushMatrix();
    }
    glTranslatef(17, -12, -8);

    glPushMatrix();
    glScalef(1.5f, 1.5f, 0.33f);
    glutSolidCube(4);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0, -2, -2.2f);
    glScalef(1.5f, 0.33f, 1);
    glutSolidCube(4);
    glPopMatrix();

    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    rotateAboutX();
    post(8);
    glPopMatrix();

    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_black);
    glScalef(6, 6, 6);
    glTranslatef(0, -1.25f, 0);
    rotateAboutX();
    ring();
    glPopMatrix();

    if (d != 0) glPopMatrix();
    glPopMatrix();
}

// The translate follows the rotation, so (20, -10, c) lands at (c, -10, -20);
// the x factor of -2 mirrors the slab without changing its extent.
void drawDeskTop(float c, float length)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_table);
    rotateAboutY();
    glTranslatef(20, -10, c);
    glScalef(-2, 0.3f, length);
    glutSolidCube(4);
    glPopMatrix();
}

void drawDeskLeg(float xl)
{
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_ambient_table);
    glTranslatef(xl, -15.15f, -19.5f);
    glScalef(0.3f, 2.4f, 1);
    glutSolidCube(4);
    glPopMatrix();
}
