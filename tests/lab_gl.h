// Shared by the tests that draw the lab in their own process, in a real GLUT window.
#pragma once

#include "gl_probe.h"

#include <GL/gl.h>

#include <string>

struct Pose { double eye[3], center[3]; };

void drawFrame();  // one display() call, as GLUT makes it
void setCamera(const Pose& pose);
std::string sourcePath(const std::string& relative);

// The reference pictures (tests/reference/NAME.ppm) are the lab's own frames, written by
// gl-tests under OSTREL_UPDATE_REFERENCES=1; a frame may differ from its reference by more
// than the tolerance in this many pixels (0.1 %).
const int REFERENCE_TOLERANCE = 8;
const long REFERENCE_PIXELS_OFF = 500 * 500 / 1000;
// What a failure says: how far off, what to do when the change is meant, and the PNG files it
// wrote of the frame got, the reference and their difference.
std::string offReference(const char* name, long differing, const Shot& got, const Shot& reference);
