// The TGA reader, decoder by decoder, on hand-made files with exact bytes; then the
// lab's own images, and files written by another program.
#include "scene/images.h"
#include "tga_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <unistd.h>
#ifdef _WIN32
#include <direct.h>
#endif

std::string buildDir()
{
    const char* b = getenv("OSTREL_BUILD");
    return b ? b : "build";
}

std::string tempDir()
{
#ifdef _WIN32  // no mkdtemp in Windows' C runtime
    std::string tmpl = (std::filesystem::temp_directory_path() / "ostrel-test-XXXXXX").string();
    return _mktemp(&tmpl[0]) && _mkdir(tmpl.c_str()) == 0 ? tmpl : ".";
#else
    char tmpl[] = "/tmp/ostrel-test-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
#endif
}

bool readFile(const std::string& path, Bytes& out)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    fclose(f);
    return true;
}

bool writeFile(const std::string& path, const Bytes& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

namespace {

struct Decoded {
    TGAImage* image;
    explicit Decoded(const Bytes& b) : image(decode(b)) {}
    ~Decoded() { freeTGA(image); }
};

// ---- uncompressed true colour

TEST(UncompressedTrueColour, SwapsBlueAndRed)
{
    Decoded d24(tga({}, {10, 20, 30}));
    ASSERT_TRUE(d24.image);
    EXPECT_EQ(d24.image->bytesPerPixel, 3);
    EXPECT_EQ(pixelsOf(d24.image), (Bytes{30, 20, 10}));

    Header h;
    h.bits = 32;
    Decoded d32(tga(h, {10, 20, 30, 40}));
    ASSERT_TRUE(d32.image);
    EXPECT_EQ(d32.image->bytesPerPixel, 4);
    EXPECT_EQ(pixelsOf(d32.image), (Bytes{30, 20, 10, 40}));
}

TEST(UncompressedTrueColour, AnyTypeButTenDecodesByDepth)
{
    for (uint8_t type : {0, 2, 3, 9, 11, 255}) {
        Header h;
        h.imageType = type;
        Decoded d(tga(h, {1, 2, 3}));
        ASSERT_TRUE(d.image) << (int)type;
        EXPECT_EQ(pixelsOf(d.image), (Bytes{3, 2, 1}));
    }
    for (uint8_t type : {1, 3}) {  // colour-mapped and grey files of depth 8 are not read
        Header h;
        h.imageType = type;
        h.bits = 8;
        EXPECT_EQ(decode(tga(h, {1, 2, 3})), nullptr);
    }
}

TEST(UncompressedTrueColour, OddRowLengthsAndWideImages)
{
    Header h;
    h.width = 3;
    h.height = 2;  // rows of 9 bytes
    Bytes body;
    for (int i = 0; i < 18; ++i) body.push_back((uint8_t)i);
    Decoded d(tga(h, body));
    ASSERT_TRUE(d.image);
    EXPECT_EQ(pixelsOf(d.image), (Bytes{2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 17, 16, 15}));

    Header wide;
    wide.width = 256;  // width bytes 0x00 0x01
    Decoded w(tga(wide, Bytes(256 * 3, 7)));
    ASSERT_TRUE(w.image);
    EXPECT_EQ(w.image->width, 256);
}

TEST(UncompressedTrueColour, ImageIdAndColourMapAreSkipped)
{
    Header h;
    h.idLength = 255;
    Bytes body(255, 0xEE);
    body.insert(body.end(), {10, 20, 30});  // pixel data at byte 273
    Decoded d(tga(h, body));
    ASSERT_TRUE(d.image);
    EXPECT_EQ(pixelsOf(d.image), (Bytes{30, 20, 10}));

    Header mapped;  // a true-colour file that still carries a map of 2 entries of 24 bits
    mapped.colorMapType = 1;
    mapped.colorMapLength = 2;
    mapped.colorMapBits = 24;
    mapped.idLength = 1;
    Decoded m(tga(mapped, {0xAA, 9, 9, 9, 8, 8, 8, 10, 20, 30}));
    ASSERT_TRUE(m.image);
    EXPECT_EQ(pixelsOf(m.image), (Bytes{30, 20, 10}));

    for (uint8_t bits : {15, 16, 32}) {  // entries take whole bytes: 15 bits take two
        mapped.idLength = 0;
        mapped.colorMapBits = bits;
        Bytes map(2 * ((bits + 7) / 8), 9);
        map.insert(map.end(), {10, 20, 30});
        Decoded e(tga(mapped, map));
        ASSERT_TRUE(e.image) << (int)bits;
        EXPECT_EQ(pixelsOf(e.image), (Bytes{30, 20, 10})) << (int)bits;
    }
}

// ---- 16 bit

TEST(SixteenBit, ChannelsWidenByShiftAndBit15IsIgnored)
{
    Header h;
    h.bits = 16;
    h.width = 5;
    Decoded d(tga(h, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x80, 0xFF, 0xFF}));
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.image->bytesPerPixel, 3);
    EXPECT_EQ(pixelsOf(d.image), (Bytes{248, 0, 0, 0, 248, 0, 0, 0, 248, 0, 0, 0, 248, 248, 248}));
}

// ---- run-length

Header rle(uint16_t width, uint16_t height, uint8_t bits = 24)
{
    Header h;
    h.imageType = 10;
    h.width = width;
    h.height = height;
    h.bits = bits;
    return h;
}

TEST(RunLength, RunAndRawPackets)
{
    Decoded run(tga(rle(3, 1), {0x82, 1, 2, 3}));
    ASSERT_TRUE(run.image);
    EXPECT_EQ(pixelsOf(run.image), (Bytes{3, 2, 1, 3, 2, 1, 3, 2, 1}));

    Decoded raw(tga(rle(1, 1), {0x00, 1, 2, 3}));
    ASSERT_TRUE(raw.image);
    EXPECT_EQ(pixelsOf(raw.image), (Bytes{3, 2, 1}));

    Decoded rgba(tga(rle(2, 1, 32), {0x00, 1, 2, 3, 4, 0x80, 5, 6, 7, 8}));
    ASSERT_TRUE(rgba.image);
    EXPECT_EQ(rgba.image->bytesPerPixel, 4);
    EXPECT_EQ(pixelsOf(rgba.image), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST(RunLength, PacketHeadersAtTheLimits)
{
    Bytes body = {0x7F};  // 128 raw pixels
    for (int i = 0; i < 128; ++i) body.insert(body.end(), {(uint8_t)i, 0, 0});
    body.insert(body.end(), {0x80, 1, 1, 1});    // a run of 1
    body.insert(body.end(), {0xFF, 9, 8, 7});    // a run of 128
    Decoded d(tga(rle(257, 1), body));
    ASSERT_TRUE(d.image);
    Bytes px = pixelsOf(d.image);
    EXPECT_EQ(px[127 * 3 + 2], 127);
    EXPECT_EQ(px[128 * 3], 1);
    for (int i = 129; i < 257; ++i) EXPECT_EQ(px[i * 3], 7) << i;
}

TEST(RunLength, PacketsCrossRows)
{
    // 2 x 2: a run of 3 ends in the second row, then one raw pixel.
    Decoded d(tga(rle(2, 2), {0x82, 1, 1, 1, 0x00, 2, 2, 2}));
    ASSERT_TRUE(d.image);
    EXPECT_EQ(pixelsOf(d.image), (Bytes{1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2}));
}

TEST(RunLength, PacketsRunningPastTheLastPixelAreClipped)
{
    Decoded run(tga(rle(2, 1), {0xFF, 1, 2, 3}));  // 128 pixels for an image of 2
    ASSERT_TRUE(run.image);
    EXPECT_EQ(pixelsOf(run.image), (Bytes{3, 2, 1, 3, 2, 1}));

    Bytes body = {0x03};  // 4 raw pixels, the last two cut off with the file
    body.insert(body.end(), {1, 1, 1, 2, 2, 2, 3});
    Decoded raw(tga(rle(2, 1), body));
    ASSERT_TRUE(raw.image);
    EXPECT_EQ(pixelsOf(raw.image), (Bytes{1, 1, 1, 2, 2, 2}));
}

TEST(RunLength, OnlyTwentyFourAndThirtyTwoBits)
{
    for (uint8_t bits : {8, 15, 16})
        EXPECT_EQ(decode(tga(rle(1, 1, bits), {0x00, 1, 2})), nullptr) << (int)bits;
}

// ---- origins

TEST(Origin, RowsComeBottomFirstWhateverTheFileOrder)
{
    Header bottom;
    bottom.height = 2;
    Decoded b(tga(bottom, {1, 1, 1, 2, 2, 2}));
    ASSERT_TRUE(b.image);
    EXPECT_EQ(pixelsOf(b.image), (Bytes{1, 1, 1, 2, 2, 2}));

    Header top = bottom;
    top.descriptor = 0x20;
    Decoded t(tga(top, {1, 1, 1, 2, 2, 2}));
    ASSERT_TRUE(t.image);
    EXPECT_EQ(pixelsOf(t.image), (Bytes{2, 2, 2, 1, 1, 1}));

    Header topRle = rle(1, 3);
    topRle.descriptor = 0x20;
    Decoded r(tga(topRle, {0x02, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    ASSERT_TRUE(r.image);
    EXPECT_EQ(pixelsOf(r.image), (Bytes{3, 3, 3, 2, 2, 2, 1, 1, 1}));
}

TEST(Origin, RightToLeftRowsAreMirrored)
{
    Header h;
    h.width = 3;
    h.height = 2;
    h.descriptor = 0x30;  // top-right origin
    Decoded d(tga(h, {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0, 5, 0, 0, 6, 0, 0}));
    ASSERT_TRUE(d.image);
    EXPECT_EQ(pixelsOf(d.image), (Bytes{0, 0, 6, 0, 0, 5, 0, 0, 4, 0, 0, 3, 0, 0, 2, 0, 0, 1}));

    Header even;  // an even width: the middle two swap as well
    even.width = 4;
    even.descriptor = 0x10;
    Decoded e(tga(even, {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}));
    ASSERT_TRUE(e.image);
    EXPECT_EQ(pixelsOf(e.image), (Bytes{0, 0, 4, 0, 0, 3, 0, 0, 2, 0, 0, 1}));
}

// ---- failures a caller sees

TEST(Failures, MissingFilePrintsTheLineAndNamesTheFile)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    TGAImage* image = loadTGA("data/no-such-file.tga");
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(out, "\nUnable to load TGA File!\n");
    EXPECT_EQ(err, "data/no-such-file.tga: cannot open: No such file or directory\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadTGA("data/no-such-file.tga", "put it there"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/no-such-file.tga: cannot open: No such file or directory: put it there\n");
}

TEST(Failures, EachReasonIsOneLineNamingTheFile)
{
    Header depth8;
    depth8.bits = 8;
    Header empty;
    empty.width = 0;
#define CUT "the file is probably cut short: copy it again, or save it again"
    const struct { Bytes file; const char* reason; } cases[] = {
        {tga(depth8, {1}), "a true-colour image of 8 bits: only 16, 24 or 32 bits are read: save it at 24 or 32 bits"},
        {tga(empty), "image has no pixels (0 x 1)"},
        {Bytes(10, 0), "file ends early: header is 10 of 18 bytes: " CUT},
        {tga({}, {1}), "file ends early: 2 bytes of pixel data missing (1 there, 3 needed): " CUT},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(decode(c.file), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "only a missing file prints on standard output";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("test.tga: ") + c.reason + "\n");
    }
}

TEST(Failures, ADirectoryIsNotAnImage)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadTGA("data"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "data: cannot read: Is a directory\n");
}

// ---- the lab's own images, every one of its table (scene/images.h): the tests below hold
// them as shipped (tools/images/make_images.cpp draws them), so a replaced image fails them
// with what to change

const char* const NEW_IMAGE = "; a new image on purpose? Then change its line in `shipped` in tests/tga_test.cpp "
                              "and the image's drawing in tools/images/make_images.cpp";
const char* const OWN_IMAGE = ". Your own picture needs no code: put it in a data/ folder of your own, outside the "
                              "repository, and start the lab from the folder that holds it (README.md, \"Using your "
                              "own images\")";

// What each shipped image is: its file's size and bytes a pixel.
struct Shipped { const char* file; int width, height, bytesPerPixel; };
const Shipped shipped[] = {
    {"drywall.tga", 250, 250, 3}, {"screens.tga", 320, 240, 3}, {"freehand1.tga", 200, 390, 4},
    {"carpet.tga", 256, 256, 3},  {"login.tga", 256, 192, 4},   {"smallscr.tga", 256, 192, 3},
    {"Keyboard.tga", 255, 85, 3},
};

std::string inData(const char* file) { return std::string("data/") + file; }

const Shipped* shippedLine(const std::string& file)
{
    for (const Shipped& s : shipped)
        if (file == s.file) return &s;
    return nullptr;
}

// data/ holds no image outside the table (each of the table's is read below): the install
// and the zip take all of data/*.tga.
TEST(ShippedImages, DataHoldsNoImageOutsideTheTable)
{
    std::set<std::string> table(std::begin(labImageFiles), std::end(labImageFiles)), files;
    for (const auto& entry : std::filesystem::directory_iterator("data"))
        if (entry.path().extension() == ".tga") files.insert(entry.path().filename().string());
    for (const std::string& f : files)
        EXPECT_TRUE(table.count(f)) << "data/" << f << " is no image of the lab's (labImageFiles, src/scene/images.h), "
                                    << "yet it would be installed and shipped: remove it, or add it to that table";
    for (const Shipped& s : shipped)
        EXPECT_TRUE(table.count(s.file)) << s.file << " has a line in `shipped` in tests/tga_test.cpp, but is no "
                                         << "image of the lab's any more: remove the line";
}

// Between them the shipped images are of every kind the reader decodes, so that the real
// files take each of its roads.
TEST(ShippedImages, DecodeToTheirSizesAndKinds)
{
    const char* const kindNames[] = {"uncompressed at 24 or 32 bits", "run-length", "16-bit", "stored top row first"};
    int kinds[4] = {0, 0, 0, 0};
    for (const char* name : labImageFiles) {
        std::string path = inData(name);
        Bytes file;
        ASSERT_TRUE(readFile(path, file)) << path << " is not there: the lab's table (src/scene/images.h) names it; "
                                          << "build/make-images data writes every image of that table";
        TGAImage* image = loadTGA(path.c_str());
        ASSERT_TRUE(image) << path << " does not decode (the reader said why above)";
        const Shipped* s = shippedLine(name);
        if (!s)
            ADD_FAILURE() << path << " is " << image->width << " x " << image->height << " at "
                          << image->bytesPerPixel << " bytes a pixel, and has no line in `shipped` in "
                          << "tests/tga_test.cpp: a new image? Add its line there: {\"" << name << "\", "
                          << image->width << ", " << image->height << ", " << image->bytesPerPixel << "}";
        else
            EXPECT_TRUE(image->width == s->width && image->height == s->height && image->bytesPerPixel == s->bytesPerPixel)
                << path << " is " << image->width << " x " << image->height << " at " << image->bytesPerPixel
                << " bytes a pixel, where the shipped image is " << s->width << " x " << s->height << " at "
                << s->bytesPerPixel << NEW_IMAGE << OWN_IMAGE;
        kinds[file[2] == 10 ? 1 : file[16] == 16 ? 2 : 0]++;
        kinds[3] += (file[17] & 0x20) != 0;
        freeTGA(image);
    }
    for (int k = 0; k < 4; ++k)
        EXPECT_GT(kinds[k], 0) << "no shipped image is " << kindNames[k] << " any more, where these tests want "
                               << "one of each kind the reader decodes: keep another image in that kind (its line "
                               << "in `drawings` in tools/images/make_images.cpp says which kind each is written in)";
}

TEST(ShippedImages, TopLeftFilesArriveBottomRowFirst)
{
    // The login screen's background darkens towards its top.
    TGAImage* login = loadTGA(inData(labImageFiles[LOGIN]).c_str());
    ASSERT_TRUE(login);
    const uint8_t* first = login->imageData;
    const uint8_t* last = login->imageData + (size_t)(login->height - 1) * login->width * 4;
    EXPECT_GT(first[1], last[1]) << "data/login.tga's top is not darker than its bottom, as the shipped one's is"
                                  << NEW_IMAGE << OWN_IMAGE;
    freeTGA(login);
}

TEST(ShippedImages, GeneratorMakesTheSameBytes)
{
    std::string dir = tempDir();
    ASSERT_EQ(system(("'" + buildDir() + "/make-images' " + dir).c_str()), 0);
    for (const char* name : labImageFiles) {
        Bytes committed, made;
        ASSERT_TRUE(readFile(inData(name), committed)) << inData(name);
        ASSERT_TRUE(readFile(dir + "/" + name, made)) << "make-images wrote no " << name;
        EXPECT_TRUE(committed == made) << inData(name) << " differs from what tools/images/make_images.cpp draws"
                                       << NEW_IMAGE << " (build/make-images data then writes them all)" << OWN_IMAGE;
        remove((dir + "/" + name).c_str());
    }
    rmdir(dir.c_str());
}

// ---- files written by another program (ImageMagick), in every kind it writes

TEST(OtherWriters, ImageMagickFilesDecodeExactly)
{
    std::string dir = tempDir();
    std::string src = dir + "/src.ppm";
    // A 7 x 5 picture with distinct rows and columns, so any flip or skew shows.
    Bytes ppm = {'P', '6', '\n', '7', ' ', '5', '\n', '2', '5', '5', '\n'};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ppm.insert(ppm.end(), {(uint8_t)(30 * x), (uint8_t)(40 * y), (uint8_t)(x * y)});
    ASSERT_TRUE(writeFile(src, ppm));
    // ImageMagick stores the rows top first whatever origin it declares, so a correct
    // bottom-left file comes from the flipped picture. Each origin is asked for by name:
    // left to itself, ImageMagick 6 declares bottom-left and 7 top-left.
    const struct { const char* options; int bpp; bool rle, top; } kinds[] = {
        {"-flip -orient BottomLeft", 3, false, false},
        {"-flip -compress RLE -orient BottomLeft", 3, true, false},
        {"-orient TopLeft", 3, false, true},
        {"-compress RLE -orient TopLeft", 3, true, true},
        {"-flip -alpha on -channel A -evaluate set 60% +channel -orient BottomLeft", 4, false, false},
        {"-alpha on -channel A -evaluate set 60% +channel -compress RLE -orient TopLeft", 4, true, true},
    };
    for (const auto& k : kinds) {
        std::string out = dir + "/out.tga";
        std::string cmd = std::string("convert ") + src + " " + k.options + " " + out;
        ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
        Bytes file;
        ASSERT_TRUE(readFile(out, file));
        EXPECT_EQ(file[2] == 10, k.rle) << k.options;
        EXPECT_EQ((file[17] & 0x20) != 0, k.top) << k.options;
        TGAImage* image = loadTGA(out.c_str());
        ASSERT_TRUE(image) << k.options;
        ASSERT_EQ(image->bytesPerPixel, k.bpp);
        ASSERT_EQ(image->width, 7);
        ASSERT_EQ(image->height, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const uint8_t* p = image->imageData + ((size_t)(4 - y) * 7 + x) * k.bpp;  // bottom row first
                EXPECT_EQ(p[0], 30 * x) << k.options;
                EXPECT_EQ(p[1], 40 * y) << k.options;
                EXPECT_EQ(p[2], x * y) << k.options;
                if (k.bpp == 4) {
                    EXPECT_EQ(p[3], 153) << k.options;
                }
            }
        freeTGA(image);
        remove(out.c_str());
    }
    remove(src.c_str());
    rmdir(dir.c_str());
}

// What an image editor saves when asked for grey or a palette, and a PNG under a .tga
// name: each refused with a line that says what the file is and what to do, and what
// the ImageMagick command it names makes of the file is read.
TEST(OtherWriters, GreyColourMappedAndForeignFilesAreNamedAsSuch)
{
    const std::string HOW = " (ImageMagick: convert in.tga -auto-orient -type TrueColor out.tga)\n";
    const std::string SAVE = ": only true-colour TGA images are read (24 or 32 bits, or 16): save it as true colour" + HOW;
    const struct { const char* command; std::string reason; } cases[] = {
        {"convert -size 4x3 gradient: -type Grayscale tga:", std::string("a grey image of 8 bits") + SAVE},
        {"convert -size 4x3 gradient: -type Grayscale -compress RLE tga:", std::string("a grey image of 8 bits") + SAVE},
        {"convert -size 4x3 plasma:fractal -colors 8 -type Palette tga:",
         std::string("a colour-mapped image of 8 bits") + SAVE},
        {"convert -size 4x3 plasma:fractal -colors 8 -type Palette -compress RLE tga:",
         std::string("a colour-mapped image of 8 bits") + SAVE},
        {"convert -size 4x3 xc:red png:", "a PNG image, not a TGA one: convert it to a true-colour TGA" + HOW},
        {"convert -size 4x3 xc:red jpg:", "a JPEG image, not a TGA one: convert it to a true-colour TGA" + HOW},
        {"convert -size 4x3 xc:red gif:", "a GIF image, not a TGA one: convert it to a true-colour TGA" + HOW},
        {"convert -size 4x3 xc:red bmp:", "a BMP image, not a TGA one: convert it to a true-colour TGA" + HOW},
        {"convert -size 4x3 xc:red webp:", "a WebP image, not a TGA one: convert it to a true-colour TGA" + HOW},
    };
    std::string dir = tempDir();
    std::string file = dir + "/in.tga", fixed = dir + "/out.tga";
    for (const auto& c : cases) {
        std::string cmd = c.command + file;
        ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadTGA(file.c_str()), nullptr) << c.command;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), file + ": " + c.reason) << c.command;
        ASSERT_EQ(system(("cd " + dir + " && convert in.tga -auto-orient -type TrueColor out.tga").c_str()), 0);
        TGAImage* image = loadTGA(fixed.c_str());
        EXPECT_NE(image, nullptr) << c.command;
        freeTGA(image);
    }
    remove(file.c_str());
    remove(fixed.c_str());
    rmdir(dir.c_str());
}

}  // namespace
