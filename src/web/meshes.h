// GLUT's cube and torus and GLU's cylinder as meshes: made once for each set of parameters
// from the calls in solids.cpp, then one draw of the mesh with the current state per call.
#pragma once

void drawSolidCube(double size);
void drawSolidTorus(double innerRadius, double outerRadius, int sides, int rings);
void drawCylinder(double base, double top, double height, int slices, int stacks);
