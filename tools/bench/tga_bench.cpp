// TGA decoding speed: each image decoded from memory many times; one JSON line per image,
// beside the speed of copying the same number of bytes with memcpy, the reader's ceiling.
// Usage: tga-bench [file.tga ...]   (default: the lab's images, scene/images.h)
#include "scene/images.h"
#include "texture/tga.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs step(run) over and over, at least ten times and for half a second; the seconds
// taken, or -1 when a step fails.
template <class Step>
static double timeRuns(Step step, int& runs)
{
    runs = 0;
    double start = nowSeconds(), elapsed = 0;
    while (elapsed < 0.5 || runs < 10) {
        if (!step(runs)) return -1;
        ++runs;
        elapsed = nowSeconds() - start;
    }
    return elapsed;
}

// Copies `bytes` bytes between two warm blocks, the same way; MB/s. The blocks share one
// allocation, half a page apart in their page offsets: wherever the heap happened to put two
// separate blocks, a destination a few bytes past the source's page offset made the copy
// many times slower for one image size and not the others.
static double memcpySpeed(size_t bytes)
{
    const size_t PAGE = 4096;
    size_t gap = (bytes + PAGE - 1) / PAGE * PAGE + PAGE / 2;
    std::vector<unsigned char> block(gap + bytes, 1);
    unsigned char* from = block.data();
    unsigned char* to = block.data() + gap;
    int runs;
    double seconds = timeRuns([&](int run) {
        memcpy(to, from, bytes);
        from[run % bytes] = to[(run * 7) % bytes];  // keeps the copies from being folded away
        return true;
    }, runs);
    return bytes * (double)runs / seconds / 1e6;
}

int main(int argc, char** argv)
{
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.empty())
        for (const char* image : labImageFiles) files.push_back(std::string("data/") + image);
    for (const std::string& file : files) {
        const char* name = file.c_str();
        FILE* f = fopen(name, "rb");
        if (!f) {
            fprintf(stderr, "tga-bench: cannot open %s\n", name);
            return 1;
        }
        std::vector<unsigned char> data;
        unsigned char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        fclose(f);

        int runs;
        size_t decodedBytes = 0;
        double elapsed = timeRuns([&](int) {
            TGAImage* image = decodeTGA(data.data(), data.size(), name);
            if (!image) return false;
            decodedBytes = (size_t)image->width * image->height * image->bytesPerPixel;
            freeTGA(image);
            return true;
        }, runs);
        if (elapsed < 0) return 1;
        const char* kind = data[2] == 10 ? (data[16] == 32 ? "rle32" : "rle24") : data[16] == 16 ? "raw16" : data[16] == 32 ? "raw32" : "raw24";
        double decodeSpeed = decodedBytes * runs / elapsed / 1e6;
        double copySpeed = memcpySpeed(decodedBytes);
        printf("{\"file\": \"%s\", \"kind\": \"%s\", \"decodes\": %d, \"us_per_decode\": %.1f, "
               "\"mb_per_s\": %.0f, \"memcpy_mb_per_s\": %.0f, \"of_memcpy\": %.3f}\n",
               name, kind, runs, elapsed / runs * 1e6, decodeSpeed, copySpeed, decodeSpeed / copySpeed);
    }
    return 0;
}
