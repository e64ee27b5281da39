// What the lab has made and drawn, asked of GL and GLUT themselves: for the tests and the tools.
#pragma once

#include "xgrab.h"

int texturesAlive();  // texture names GL knows, among the first 4095
int menusCreated();   // freeglut numbers menus in order: a probe's id tells how many came before
Shot readFrame(int width, int height);  // the frame just drawn (the back buffer), top row first
// Lets GLUT show the window and draw, for at most LOOKS looks 10 ms apart, until the first
// frame has made its textures; false if it never did.
bool showFirstFrame(int looks);
