// GLUT's cube and torus and GLU's cylinder, sent as GL 1.1 immediate-mode calls (meshes.cpp makes each shape once from them).
// The same vertices, normals and primitives as the native libraries, so a native test can
// hold one against the other.
#pragma once

void labSolidCube(double size);
void labSolidTorus(double innerRadius, double outerRadius, int sides, int rings);
void labCylinder(double base, double top, double height, int slices, int stacks);  // GLU's defaults: filled, smooth, outside
