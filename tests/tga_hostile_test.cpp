// Damaged and hostile TGA files: each gives a well-formed image or null with one line
// naming the file. Run under AddressSanitizer too, where any stray read or write fails.
#include "tga_support.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Decodes from a heap block of exactly the file's size, so an overread is caught.
struct Outcome { bool image; std::string message; };

Outcome decodeExact(const Bytes& file, const Header* expect = nullptr)
{
    testing::internal::CaptureStderr();
    uint8_t* exact = new uint8_t[file.size() ? file.size() : 1];
    std::copy(file.begin(), file.end(), exact);
    TGAImage* image = decodeTGA(exact, file.size(), "test.tga");
    delete[] exact;
    Outcome out{image != nullptr, testing::internal::GetCapturedStderr()};
    if (image) {
        EXPECT_TRUE(image->bytesPerPixel == 3 || image->bytesPerPixel == 4);
        EXPECT_GT(image->width, 0);
        EXPECT_GT(image->height, 0);
        EXPECT_LE((long)image->width * image->height, TGA_MAX_PIXELS);
        if (expect) {
            EXPECT_EQ(image->width, expect->width);
            EXPECT_EQ(image->height, expect->height);
        }
        volatile uint8_t sum = 0;  // touch every byte: uninitialised or short blocks show under the sanitizers
        for (size_t i = 0; i < (size_t)image->width * image->height * image->bytesPerPixel; ++i) sum += image->imageData[i];
        (void)sum;
        freeTGA(image);
        EXPECT_EQ(out.message, "") << "a delivered image says nothing";
    } else {
        EXPECT_EQ(out.message.rfind("test.tga: ", 0), 0u) << out.message;
        EXPECT_EQ(out.message.find('\n'), out.message.size() - 1) << "one line: " << out.message;
    }
    return out;
}

Header h24(uint16_t w, uint16_t h, uint8_t type = 2, uint8_t bits = 24)
{
    Header x;
    x.width = w;
    x.height = h;
    x.imageType = type;
    x.bits = bits;
    return x;
}

struct Case { const char* name; Bytes file; bool decodes; const char* reason; };

TEST(HostileImages, HeadersAndBodiesThatLie)
{
    Header longId = h24(1, 1);
    longId.idLength = 255;
    Header longMap = h24(1, 1);
    longMap.colorMapType = 1;
    longMap.colorMapLength = 65535;
    longMap.colorMapBits = 255;
    Header huge = h24(65535, 65535, 2, 32);
    Header justOver = h24(4097, 4096, 2, 24);
    const Bytes threeRaw = {0x00, 1, 2, 3, 0x00, 1, 2, 3, 0x00, 1, 2, 3};
    auto plus = [](Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; };
    const Case cases[] = {
        {"image ID past the end", tga(longId, {1, 2, 3}), false, "image ID or colour map runs past the end"},
        {"colour map past the end", tga(longMap, Bytes(100, 1)), false, "image ID or colour map runs past the end"},
        {"width 0", tga(h24(0, 5), Bytes(30, 1)), false, "no pixels"},
        {"height 0", tga(h24(5, 0), Bytes(30, 1)), false, "no pixels"},
        {"65535 x 65535 x 32 with 4 bytes", tga(huge, {1, 2, 3, 4}), false, "larger than"},
        {"one row over the limit", tga(justOver, {1, 2, 3}), false, "larger than"},
        {"uncompressed body cut short", tga(h24(4, 4), Bytes(47, 9)), false, "file ends early"},
        {"16-bit body cut short", tga(h24(2, 2, 2, 16), Bytes(7, 9)), false, "file ends early"},
        // 300 pixels need at least 12 bytes of packets: these pass that check and end inside the data.
        {"run-length ends between packets", tga(h24(300, 1, 10), threeRaw), false, "inside the run-length data"},
        {"run-length cut after a packet header", tga(h24(300, 1, 10), plus(threeRaw, {0x80})), false,
         "inside the run-length data"},
        {"run-length cut inside a raw packet", tga(h24(300, 1, 10), plus({0x7F}, Bytes(20, 5))), false,
         "inside the run-length data"},
        {"run-length cut inside a run packet", tga(h24(300, 1, 10), plus(threeRaw, {0x80, 1, 2})), false,
         "inside the run-length data"},
        {"data after the last packet", tga(h24(2, 1, 10), plus(threeRaw, threeRaw)), true, ""},
        {"run of 128 past the last pixel", tga(h24(3, 1, 10), {0xFF, 1, 2, 3}), true, ""},
        {"raw packet of 128 past the last pixel", tga(h24(2, 1, 10, 32), [] {
             Bytes b = {0x7F};
             for (int i = 0; i < 128 * 4; ++i) b.push_back((uint8_t)i);
             return b;
         }()), true, ""},
        {"packet crossing rows", tga(h24(3, 3, 10), {0x84, 1, 2, 3, 0x83, 4, 5, 6}), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome out = decodeExact(c.file);
        EXPECT_EQ(out.image, c.decodes);
        EXPECT_NE(out.message.find(c.reason), std::string::npos) << out.message;
    }
}

TEST(HostileImages, ShortHeaders)
{
    Bytes full = tga(h24(1, 1), {1, 2, 3});
    for (size_t n = 0; n < 18; ++n) {
        Outcome out = decodeExact(Bytes(full.begin(), full.begin() + n));
        EXPECT_FALSE(out.image) << n;
        EXPECT_NE(out.message.find("header is " + std::to_string(n) + " of 18 bytes"), std::string::npos);
    }
}

TEST(HostileImages, UnsupportedDepths)
{
    for (uint8_t type : {2, 10})
        for (uint8_t bits : {0, 8, 15, 33, 64, 255}) {
            Outcome out = decodeExact(tga(h24(2, 2, type, bits), Bytes(64, 1)));
            EXPECT_FALSE(out.image) << (int)type << " " << (int)bits;
            EXPECT_NE(out.message.find("unsupported pixel depth " + std::to_string(bits)), std::string::npos);
        }
}

// Truncations of the lab's own images: every length up to 1 KiB, then every 97th.
TEST(HostileImages, EveryTruncationOfTheShippedImagesIsRefused)
{
    for (const char* name : {"data/drywall.tga", "data/screens.tga", "data/freehand1.tga", "data/carpet.tga",
                             "data/login.tga", "data/smallscr.tga", "data/Keyboard.tga"}) {
        Bytes file;
        ASSERT_TRUE(readFile(name, file)) << name;
        for (size_t n = 0; n < file.size(); n += n < 1024 ? 1 : 97) {
            Outcome out = decodeExact(Bytes(file.begin(), file.begin() + n));
            ASSERT_FALSE(out.image) << name << " cut at " << n;
        }
        EXPECT_TRUE(decodeExact(file).image) << name;
    }
}

// Random bit flips with a fixed seed: headers, packet counts and pixels all get hit.
TEST(HostileImages, BitFlipsNeverReachOutsideTheBuffers)
{
    uint32_t seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return seed >> 8; };
    for (const char* name : {"data/screens.tga", "data/freehand1.tga", "data/smallscr.tga", "data/carpet.tga",
                             "data/Keyboard.tga"}) {
        Bytes file;
        ASSERT_TRUE(readFile(name, file));
        for (int round = 0; round < 150; ++round) {
            Bytes mutant = file;
            int flips = 1 + next() % 8;
            for (int i = 0; i < flips; ++i) {
                // Half of the flips land in the header, where they do the most harm.
                size_t at = next() % 2 ? next() % 18 : next() % mutant.size();
                mutant[at] ^= (uint8_t)(1u << (next() % 8));
            }
            decodeExact(mutant);
        }
    }
}

}  // namespace
