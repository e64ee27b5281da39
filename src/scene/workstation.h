// The nine workstation pieces, each drawn in the row group's frame inside its own matrix bracket.
#pragma once

#include "scene/surface.h"

enum Bank { LEFT_BANK, RIGHT_BANK };  // picks the screen and keyboard panel variant

void drawMonitorBody(float xm);
void drawScreenPanel(LabImage image, Bank bank, float d);
void drawKeyboardPanel(Bank bank, float d);
void drawStandPost(float xm);
void drawStandFoot(float f);
void drawComputerCase(float xc);
void drawChair(float d);
void drawDeskTop(float c, float length);
void drawDeskLeg(float xl);
