// Writes a TGA file as a PPM, top row first, through the lab's own reader: a way to see
// what the lab will show of an image. Usage: tga-to-ppm IN.tga OUT.ppm
#include "texture/tga.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: tga-to-ppm IN.tga OUT.ppm\n");
        return 2;
    }
    TGAImage* image = loadTGA(argv[1]);
    if (!image) return 1;
    FILE* out = fopen(argv[2], "wb");
    if (!out) {
        fprintf(stderr, "tga-to-ppm: cannot write %s\n", argv[2]);
        freeTGA(image);
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", image->width, image->height);
    for (int y = image->height - 1; y >= 0; --y)  // bottom row first in memory
        for (int x = 0; x < image->width; ++x)
            fwrite(image->imageData + ((size_t)y * image->width + x) * image->bytesPerPixel, 1, 3, out);
    fclose(out);
    freeTGA(image);
    return 0;
}
