#include "scene/layout.h"

#include "scene/workstation.h"

#include <GL/gl.h>

// ---- the layout tables

const int NO_SCREEN = -1;
const int PLACES = 3;  // the length of every per-place table: a group's places index them

// Shared by every row group of both banks.
static const float monitorX[PLACES] = {19, 34, 47};
static const float caseX[PLACES] = {25, 40, 53};
static const float keyboardOffset[PLACES] = {0, 13, 26};
static const float chairOffset[PLACES] = {0, 15, 30};

// Per bank: the left bank is not a mirror of the right, just shifted with its own values.
static const float footF[2][PLACES] = {{6.5f, 11.5f, 15.75f}, {6, 11, 15}};
static const float screenOffset[2][PLACES] = {{0, 15.5f, 28}, {0, 15, 28}};

struct RowGroup {
    bool bracketed;          // the first right-hand group draws straight in the view frame
    float tx, ty, tz;
    Bank bank;
    int places;
    float deskC, deskL, legX;
    bool deskFirst;          // the short back-left desk comes before its places
    unsigned keyboardEarly;  // bit p: place p draws its keyboard before the stand post
    int screens[PLACES];     // LabImage or NO_SCREEN
};

static constexpr RowGroup rowGroups[] = {
    {true, -65, 0, 0, LEFT_BANK, 3, 35, 10, 54, false, 0x5, {LOGIN, NO_SCREEN, SMALLSCR}},
    {false, 0, 0, 0, RIGHT_BANK, 3, 35, 10, 15.5f, false, 0, {SMALLSCR, NO_SCREEN, NO_SCREEN}},
    {true, -65, 0, 25, LEFT_BANK, 3, 35, 10, 54, false, 0, {NO_SCREEN, SMALLSCR, NO_SCREEN}},
    {true, 0, 0, 25, RIGHT_BANK, 3, 35, 10, 15.5f, false, 0, {NO_SCREEN, NO_SCREEN, LOGIN}},
    {true, -65, 0, 45, LEFT_BANK, 3, 35, 10, 54, false, 0, {NO_SCREEN, NO_SCREEN, NO_SCREEN}},
    {true, 0, 0, 45, RIGHT_BANK, 3, 35, 10, 15.5f, false, 0, {SMALLSCR, SMALLSCR, NO_SCREEN}},
    {true, -65, 0, 65, LEFT_BANK, 2, 31, 8, 45.5f, true, 0, {NO_SCREEN, LOGIN, NO_SCREEN}},
    {true, 0, 0, 65, RIGHT_BANK, 3, 35, 10, 15.5f, false, 0, {NO_SCREEN, SMALLSCR, NO_SCREEN}},
};

// Checked as the program is compiled: a group with more places than the per-place tables
// hold, or a screen that is no image, would read past the end of a table.
constexpr bool placesFit()
{
    for (const RowGroup& g : rowGroups)
        if (g.places < 0 || g.places > PLACES) return false;
    return true;
}
constexpr bool screensAreImages()
{
    for (const RowGroup& g : rowGroups)
        for (int screen : g.screens)
            if (screen != NO_SCREEN && (screen < 0 || screen >= LAB_IMAGE_COUNT)) return false;
    return true;
}
static_assert(placesFit(), "rowGroups: a row group's places is above PLACES, the length of the per-place "
                           "tables monitorX, caseX, keyboardOffset, chairOffset, footF, screenOffset and screens");
static_assert(screensAreImages(), "rowGroups: a screen is neither NO_SCREEN nor a LabImage below LAB_IMAGE_COUNT, "
                                  "the length of labImageFiles and textureIds");

static void drawDesk(const RowGroup& g)
{
    drawDeskTop(g.deskC, g.deskL);
    drawDeskLeg(g.legX);
}

static void drawPlace(const RowGroup& g, int p)
{
    bool keyboardEarly = g.keyboardEarly & (1u << p);
    drawMonitorBody(monitorX[p]);
    if (g.screens[p] != NO_SCREEN)
        drawScreenPanel((LabImage)g.screens[p], g.bank, screenOffset[g.bank][p]);
    if (keyboardEarly) drawKeyboardPanel(g.bank, keyboardOffset[p]);
    drawStandPost(monitorX[p]);
    drawStandFoot(footF[g.bank][p]);
    drawComputerCase(caseX[p]);
    if (!keyboardEarly) drawKeyboardPanel(g.bank, keyboardOffset[p]);
    drawChair(chairOffset[p]);
}

void drawRowGroups()
{
    for (const RowGroup& g : rowGroups) {
        if (g.bracketed) {
            glPushMatrix();
            glTranslatef(g.tx, g.ty, g.tz);
        }
        if (g.deskFirst) drawDesk(g);
        for (int p = 0; p < g.places; ++p) {
            drawPlace(g, p);
            if (p == 1 && !g.deskFirst) drawDesk(g);
        }
        if (g.bracketed) glPopMatrix();
    }
}
