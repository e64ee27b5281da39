// Shared by the in-process tests: the lab is started once in a real GLUT window.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

struct Pose { double eye[3], center[3]; };

void drawFrame();  // one display() call, as GLUT makes it
void setCamera(const Pose& pose);
int texturesAlive();
int menusCreated();  // counted by the id the next menu would get
std::vector<unsigned char> readFrontBuffer(int width, int height);  // RGB, bottom row first
std::string sourcePath(const std::string& relative);
