// Building TGA files byte by byte, and decoding them with the reader.
#pragma once

#include "texture/tga.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct Header {
    uint8_t idLength = 0, colorMapType = 0, imageType = 2;
    uint16_t colorMapLength = 0;
    uint8_t colorMapBits = 0;
    uint16_t width = 1, height = 1;
    uint8_t bits = 24, descriptor = 0;
};

inline Bytes tga(const Header& h, const Bytes& body = {})
{
    Bytes b = {h.idLength, h.colorMapType, h.imageType, 0, 0,
               (uint8_t)(h.colorMapLength & 0xFF), (uint8_t)(h.colorMapLength >> 8), h.colorMapBits,
               0, 0, 0, 0,
               (uint8_t)(h.width & 0xFF), (uint8_t)(h.width >> 8), (uint8_t)(h.height & 0xFF), (uint8_t)(h.height >> 8),
               h.bits, h.descriptor};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Run-length packets over pixels as the reader delivers them (R, G, B(, A), bottom row
// first), written back as B, G, R(, A) under a bottom-left header: runs of two or more
// equal pixels become run packets, everything else raw packets.
inline Bytes encodeRle(const Bytes& pixels, int width, int height, int bytesPerPixel)
{
    Header h;
    h.imageType = 10;
    h.width = (uint16_t)width;
    h.height = (uint16_t)height;
    h.bits = (uint8_t)(8 * bytesPerPixel);
    Bytes out = tga(h);
    size_t n = (size_t)width * height;
    auto same = [&](size_t a, size_t b) {
        return std::equal(&pixels[a * bytesPerPixel], &pixels[(a + 1) * bytesPerPixel], &pixels[b * bytesPerPixel]);
    };
    auto put = [&](size_t i) {
        const uint8_t* p = &pixels[i * bytesPerPixel];
        out.insert(out.end(), {p[2], p[1], p[0]});
        if (bytesPerPixel == 4) out.push_back(p[3]);
    };
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 128 && same(i + run, i)) ++run;
        if (run >= 2) {
            out.push_back((uint8_t)(0x80 | (run - 1)));
            put(i);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < n && raw < 128 && !(i + raw + 1 < n && same(i + raw, i + raw + 1))) ++raw;
        out.push_back((uint8_t)(raw - 1));
        for (size_t k = 0; k < raw; ++k) put(i + k);
        i += raw;
    }
    return out;
}

inline TGAImage* decode(const Bytes& b) { return decodeTGA(b.data(), b.size(), "test.tga"); }

inline Bytes pixelsOf(const TGAImage* image)
{
    return Bytes(image->imageData, image->imageData + (size_t)image->width * image->height * image->bytesPerPixel);
}

std::string buildDir();
std::string tempDir();
bool readFile(const std::string& path, Bytes& out);
bool writeFile(const std::string& path, const Bytes& data);
