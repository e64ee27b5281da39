// Shared by the tests that draw the lab in their own process, in a real GLUT window.
#pragma once

#include "xgrab.h"

#include <GL/gl.h>

#include <string>

struct Pose { double eye[3], center[3]; };

void drawFrame();  // one display() call, as GLUT makes it
void setCamera(const Pose& pose);
Shot readFrame(int width, int height);  // the frame just drawn, top row first
std::string sourcePath(const std::string& relative);
