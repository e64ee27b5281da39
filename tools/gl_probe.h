// Counting what the lab has made, asked of GL and GLUT themselves: for the tests and the benchmark.
#pragma once

int texturesAlive();  // texture names GL knows, among the first 4095
int menusCreated();   // freeglut numbers menus in order: a probe's id tells how many came before
