// GLUT's and GLU's solids as GL 1.1 immediate-mode calls: the same vertices, normals and
// primitives the native libraries send, so a native test can hold one against the other.
#pragma once

void labSolidCube(double size);
void labSolidTorus(double innerRadius, double outerRadius, int sides, int rings);
void labCylinder(double base, double top, double height, int slices, int stacks);  // GLU's defaults: filled, smooth, outside
