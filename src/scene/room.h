// The room's shell and fixtures, drawn in two stretches around the workstation rows.
#pragma once

void drawFrontStretch();  // front wall, whiteboard, screen, freehand panel, left wall, door, right wall
void drawBackStretch();   // back wall, pillar, ceiling, projector body and lens, floor
