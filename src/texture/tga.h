// The TGA reader: run-length and uncompressed true colour (24/32 bit) and 16-bit files.
// Standard library only, so it builds and fuzzes without GL.
#pragma once

#include <stddef.h>

struct TGAImage {
    int bytesPerPixel;           // 3 (RGB) or 4 (RGBA)
    int width;
    int height;
    unsigned char* imageData;    // width * height * bytesPerPixel bytes, bottom row first
};

// Largest image accepted, in pixels (4096 x 4096): anything larger is refused
// before allocation, which bounds what a hostile header can ask for.
const long TGA_MAX_PIXELS = 4096L * 4096L;

// Reads a whole file and decodes it. On failure returns null and writes one line
// naming the file and the reason to standard error; a file that cannot be opened
// also prints "\nUnable to load TGA File!\n" on standard output, and whenMissing, if not
// empty, ends the line of a file that is not there.
TGAImage* loadTGA(const char* fileName, const char* whenMissing = "");

// Decodes a TGA file held in memory; `name` is used only in messages.
TGAImage* decodeTGA(const unsigned char* data, size_t size, const char* name);

// Releases an image either reader returned: its pixels, then the record. Null is ignored.
void freeTGA(TGAImage* image);
