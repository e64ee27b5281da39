// Building TGA files byte by byte, and decoding them with the reader.
#pragma once

#include "texture/tga.h"

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

inline TGAImage* decode(const Bytes& b) { return decodeTGA(b.data(), b.size(), "test.tga"); }

inline Bytes pixelsOf(const TGAImage* image)
{
    return Bytes(image->imageData, image->imageData + (size_t)image->width * image->height * image->bytesPerPixel);
}

std::string buildDir();
std::string tempDir();
bool readFile(const std::string& path, Bytes& out);
bool writeFile(const std::string& path, const Bytes& data);
