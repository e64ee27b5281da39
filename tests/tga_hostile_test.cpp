// Damaged and hostile TGA files: each gives a well-formed image or null with one line
// naming the file. Run under AddressSanitizer too, where any stray read or write fails.
#include "scene/images.h"
#include "tga_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

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

// The limit itself is accepted: 4096 x 4096 in runs of 128.
TEST(HostileImages, TheLargestAcceptedSizeDecodes)
{
    Header largest = h24(4096, 4096, 10);
    Bytes body;
    for (long i = 0; i < TGA_MAX_PIXELS / 128; ++i) body.insert(body.end(), {0xFF, 1, 2, 3});
    Outcome out = decodeExact(tga(largest, body), &largest);
    EXPECT_TRUE(out.image) << out.message;
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
            bool tgaDepth = bits == 8 || bits == 15;  // a depth TGA files have, just not one read as true colour
            std::string reason = tgaDepth ? " of " + std::to_string(bits) + " bits: "
                                          : "not a TGA image (image type " + std::to_string(type) + ", pixel depth " +
                                                std::to_string(bits) + ")";
            EXPECT_NE(out.message.find(reason), std::string::npos) << out.message;
        }
}

// ---- run-length data ending early: every cut inside the last packet, at both depths

const char* const CUT_SHORT = "test.tga: file ends early inside the run-length data: ";

// Five pixels in two packets, the second one last; `cuts` are the lengths that end inside
// or just before it. Every cut is refused with the message, read from an exact-size block.
void expectEveryCutRefused(const Bytes& file, size_t lastPacket, const Bytes& expectPixels)
{
    Outcome whole = decodeExact(file);
    ASSERT_TRUE(whole.image) << "the uncut file is good";
    TGAImage* image = decode(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image), expectPixels);
    freeTGA(image);
    for (size_t n = lastPacket; n < file.size(); ++n) {
        Outcome out = decodeExact(Bytes(file.begin(), file.begin() + n));
        EXPECT_FALSE(out.image) << "cut at " << n << " of " << file.size();
        EXPECT_EQ(out.message.rfind(CUT_SHORT, 0), 0u) << "cut at " << n << ": " << out.message;
    }
}

TEST(RunLengthEndingEarly, EveryCutOfAFinalRawPacket)
{
    for (int bpp : {3, 4}) {
        SCOPED_TRACE(8 * bpp);
        Bytes p(bpp, 0), q(bpp, 0), r(bpp, 0), s(bpp, 0);
        for (int c = 0; c < bpp; ++c) { p[c] = 10 + c; q[c] = 20 + c; r[c] = 30 + c; s[c] = 40 + c; }
        Bytes body = {0x81};  // a run of 2, then a raw packet of 3
        for (const Bytes* px : {&p, &q, &r, &s}) {
            if (px == &q) body.push_back(0x02);
            body.insert(body.end(), px->begin(), px->end());
        }
        Bytes file = tga(h24(5, 1, 10, (uint8_t)(8 * bpp)), body);
        Bytes want;
        for (const Bytes* px : {&p, &p, &q, &r, &s})
            for (int c = 0; c < bpp; ++c) want.push_back((*px)[c == 0 ? 2 : c == 2 ? 0 : c]);
        // From just before the raw packet's header to one byte short of its last pixel.
        expectEveryCutRefused(file, 18 + 1 + bpp, want);
    }
}

TEST(RunLengthEndingEarly, EveryCutOfAFinalRunPacket)
{
    for (int bpp : {3, 4}) {
        SCOPED_TRACE(8 * bpp);
        Bytes body = {0x01};  // a raw packet of 2, then a run of 3
        for (int i = 0; i < 3 * bpp; ++i) body.push_back((uint8_t)(50 + i));
        body.insert(body.begin() + 1 + 2 * bpp, 0x82);
        Bytes file = tga(h24(5, 1, 10, (uint8_t)(8 * bpp)), body);
        Bytes want;
        for (int px : {0, 1, 2, 2, 2})
            for (int c = 0; c < bpp; ++c) want.push_back((uint8_t)(50 + px * bpp + (c == 0 ? 2 : c == 2 ? 0 : c)));
        expectEveryCutRefused(file, 18 + 1 + 2 * bpp, want);
    }
}

// The same through the file reader: the message names the file.
TEST(RunLengthEndingEarly, AShortRawPacketInAFileIsRefusedByName)
{
    Bytes body = {0x02, 1, 2, 3, 4, 5, 6, 7, 8};  // three raw pixels, the last one a byte short
    std::string dir = tempDir(), path = dir + "/short-raw.tga";
    ASSERT_TRUE(writeFile(path, tga(h24(3, 1, 10), body)));
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadTGA(path.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": file ends early inside the run-length data: 1 of 3 "
              "pixels missing: the file is probably cut short: copy it again, or save it again\n");
    remove(path.c_str());
    rmdir(dir.c_str());
}

// Truncations of the lab's own images: every length up to 1 KiB, then every 97th, and
// every length within the last packets. The shipped run-length images all end in a run
// packet, so two of them are written again ending in a raw packet of three pixels.
TEST(HostileImages, EveryTruncationOfTheShippedImagesIsRefused)
{
    std::vector<std::pair<std::string, Bytes>> files;
    for (const char* image : labImageFiles) {
        std::string name = std::string("data/") + image;
        Bytes file;
        ASSERT_TRUE(readFile(name, file)) << name;
        files.push_back({name, file});
    }
    for (const char* name : {"data/smallscr.tga", "data/freehand1.tga"}) {
        TGAImage* image = loadTGA(name);
        ASSERT_TRUE(image) << name;
        Bytes pixels = pixelsOf(image);
        int bpp = image->bytesPerPixel;
        for (size_t i = pixels.size() - 3 * bpp; i < pixels.size(); ++i) pixels[i] = (uint8_t)(i * 7);
        Bytes file = encodeRle(pixels, image->width, image->height, bpp);
        ASSERT_EQ(file[file.size() - 1 - 3 * bpp], 0x02) << name << " written again ends in a raw packet of 3";
        TGAImage* again = decode(file);
        ASSERT_TRUE(again);
        EXPECT_EQ(pixelsOf(again), pixels) << name << " written again reads back the same";
        freeTGA(again);
        freeTGA(image);
        files.push_back({std::string(name) + " ending in a raw packet", file});
    }
    const size_t TAIL = 64;
    for (const auto& [name, file] : files) {
        for (size_t n = 0; n < file.size(); n += n < 1024 ? 1 : n + TAIL < file.size() ? 97 : 1) {
            Outcome out = decodeExact(Bytes(file.begin(), file.begin() + n));
            ASSERT_FALSE(out.image) << name << " cut at " << n;
        }
        EXPECT_TRUE(decodeExact(file).image) << name;
    }
}

// The fuzzer's seeds, read from disk as the lab reads its images: the damaged ones (cut,
// short, too large, empty, grey) refused in one line naming the file, the others decoded.
TEST(HostileImages, TheCorpusIsDecodedOrRefusedByName)
{
    const char* const DAMAGED[] = {"cut", "short-", "huge", "zero-width", "depth8"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator("tests/corpus")) {
        std::string path = entry.path().string(), name = entry.path().filename().string();
        bool damaged = std::any_of(std::begin(DAMAGED), std::end(DAMAGED),
                                   [&](const char* d) { return name.find(d) != std::string::npos; });
        testing::internal::CaptureStderr();
        TGAImage* image = loadTGA(path.c_str());
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(image == nullptr, damaged) << path << ": " << said;
        EXPECT_EQ(said, damaged ? said.substr(0, said.find('\n')) + "\n" : "") << path;
        EXPECT_EQ(said.rfind(damaged ? path + ": " : "", 0), 0u) << said;
        freeTGA(image);
        ++files;
    }
    EXPECT_GE(files, 20) << "the corpus in tests/corpus";
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
