// libFuzzer entry for the in-memory TGA decoder.
#include "texture/tga.h"

#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TGAImage* image = decodeTGA(data, size, "fuzz.tga");
    if (image) {
        // Read every delivered byte so the sanitizers see any short or stray block.
        volatile uint8_t sum = 0;
        size_t n = (size_t)image->width * image->height * image->bytesPerPixel;
        for (size_t i = 0; i < n; ++i) sum += image->imageData[i];
        (void)sum;
        freeTGA(image);
    }
    return 0;
}
