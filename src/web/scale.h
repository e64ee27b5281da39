// gluBuild2DMipmaps' choice of texture size and its resampling, over plain bytes (no GL).
#pragma once

// GLU's pick for a side that is not a power of two: round to the nearer power, judged by
// the two leading bits (192 becomes 256, 160 becomes 128).
int nearestPowerOfTwo(int value);

// Resamples width x height pixels of `components` bytes each, rows `rowBytes` apart, into
// newWidth x newHeight tightly packed pixels, as GLU does for unsigned bytes: a box
// filter over the source area each output pixel covers, rounded down. Like GLU, the last
// column's box may reach one pixel past a row: `in` must have `components` bytes to spare.
void scaleImage(int components, int width, int height, const unsigned char* in, int rowBytes,
                int newWidth, int newHeight, unsigned char* out);
