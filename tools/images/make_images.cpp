// Draws the lab's pictures and writes them as TGA files, the same bytes on every run.
// Usage: make-images [output folder, default data]
//        make-images --list   (the file names, one a line, in the table's order)
#include "scene/images.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgba { uint8_t r, g, b, a; };

// A picture with its origin at the top-left, as it is drawn.
struct Canvas {
    int w, h;
    std::vector<Rgba> px;
    Canvas(int w_, int h_, Rgba fill) : w(w_), h(h_), px((size_t)w_ * h_, fill) {}
    void set(int x, int y, Rgba c) { if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)y * w + x] = c; }
    Rgba get(int x, int y) const { return px[(size_t)y * w + x]; }
};

// Deterministic noise: the same sequence on every machine.
struct Lcg {
    uint32_t s;
    uint32_t next() { s = s * 1664525u + 1013904223u; return s >> 8; }
    int range(int n) { return (int)(next() % (uint32_t)n); }
};

uint8_t clamp8(int v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }
Rgba shade(Rgba c, int d) { return {clamp8(c.r + d), clamp8(c.g + d), clamp8(c.b + d), c.a}; }

void rect(Canvas& c, int x0, int y0, int x1, int y1, Rgba col)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) c.set(x, y, col);
}

void frame(Canvas& c, int x0, int y0, int x1, int y1, Rgba col)
{
    rect(c, x0, y0, x1, y0 + 1, col);
    rect(c, x0, y1 - 1, x1, y1, col);
    rect(c, x0, y0, x0 + 1, y1, col);
    rect(c, x1 - 1, y0, x1, y1, col);
}

void disc(Canvas& c, double cx, double cy, double r, Rgba col)
{
    for (int y = (int)(cy - r) - 1; y <= (int)(cy + r) + 1; ++y)
        for (int x = (int)(cx - r) - 1; x <= (int)(cx + r) + 1; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) c.set(x, y, col);
}

void stroke(Canvas& c, double x0, double y0, double x1, double y1, double width, Rgba col)
{
    double len = std::hypot(x1 - x0, y1 - y0);
    int steps = (int)(len * 2) + 1;
    for (int i = 0; i <= steps; ++i) {
        double t = (double)i / steps;
        disc(c, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, col);
    }
}

// 5 x 7 capitals, one byte a row, bit 4 the leftmost column.
struct Glyph { char ch; uint8_t rows[7]; };
const Glyph font[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1E, 0x01, 0x01, 0x0E, 0x01, 0x01, 0x1E}},
};

const Glyph* glyph(char ch)
{
    for (const Glyph& g : font)
        if (g.ch == ch) return &g;
    return nullptr;
}

// Block capitals; with a pen width, each dot becomes a round blob, as with a marker.
void text(Canvas& c, int x, int y, const char* s, int scale, Rgba col, double pen = 0)
{
    for (; *s; ++s, x += 6 * scale) {
        const Glyph* g = glyph(*s);
        if (!g) continue;
        for (int row = 0; row < 7; ++row)
            for (int bit = 0; bit < 5; ++bit)
                if (g->rows[row] & (0x10 >> bit)) {
                    if (pen > 0) disc(c, x + bit * scale + scale / 2.0, y + row * scale + scale / 2.0, pen, col);
                    else rect(c, x + bit * scale, y + row * scale, x + (bit + 1) * scale, y + (row + 1) * scale, col);
                }
    }
}

// ---- the pictures, one function each

Canvas drywall()
{
    Canvas c(250, 250, {236, 233, 224, 255});
    Lcg rng{7};
    for (Rgba& p : c.px) {
        int d = rng.range(9) - 4;
        if (rng.range(97) == 0) d -= 14;  // the odd pit in the finish
        p = shade(p, d);
    }
    return c;
}

Canvas slide()
{
    const Rgba white{250, 250, 250, 255}, navy{28, 52, 110, 255}, grey{90, 96, 110, 255};
    Canvas c(320, 240, white);
    rect(c, 0, 0, 320, 44, navy);
    text(c, 34, 15, "WELCOME TO OSTREL LAB", 2, white);
    const int lengths[] = {210, 170, 236, 120, 190};
    for (int i = 0; i < 5; ++i) {
        int y = 66 + i * 30;
        rect(c, 28, y, 38, y + 10, navy);
        rect(c, 50, y + 2, 50 + lengths[i], y + 8, grey);
    }
    rect(c, 0, 230, 320, 240, navy);
    return c;
}

Canvas whiteboard()
{
    const Rgba blue{30, 60, 200, 255}, red{200, 30, 30, 255}, black{25, 25, 30, 255}, green{20, 140, 60, 255};
    Canvas c(200, 390, {252, 252, 250, 255});
    for (int i = 0; i < 120; ++i) {  // a sine curve on rough axes
        double x0 = 20 + i * 1.3, x1 = 20 + (i + 1) * 1.3;
        stroke(c, x0, 110 - 40 * std::sin(i * 0.09), x1, 110 - 40 * std::sin((i + 1) * 0.09), 3, blue);
    }
    stroke(c, 18, 110, 185, 112, 2, black);
    stroke(c, 20, 60, 21, 165, 2, black);
    for (int i = 0; i < 90; ++i) {  // a circle, not quite closed
        double a0 = i * 0.068, a1 = (i + 1) * 0.068;
        stroke(c, 60 + 32 * std::cos(a0), 225 + 30 * std::sin(a0), 60 + 32 * std::cos(a1),
               225 + 30 * std::sin(a1), 3, red);
    }
    stroke(c, 100, 225, 160, 205, 3, green);  // and an arrow from it
    stroke(c, 160, 205, 148, 203, 3, green);
    stroke(c, 160, 205, 152, 215, 3, green);
    text(c, 22, 280, "F = MA", 5, black, 2.2);
    Lcg rng{11};
    for (int line = 0; line < 2; ++line) {  // a scrawled note
        double y = 340 + line * 22, x = 22;
        while (x < 170) {
            double nx = x + 3, ny = y + rng.range(9) - 4;
            stroke(c, x, y, nx, ny, 2, black);
            x = nx;
            if (rng.range(9) == 0) x += 8;
        }
    }
    return c;
}

Canvas carpet()
{
    Canvas c(256, 256, {92, 98, 112, 255});
    Lcg rng{3};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            int weave = ((x + y) % 4 == 0) ? -10 : ((x - y + 256) % 6 == 0 ? 6 : 0);
            c.set(x, y, shade(c.get(x, y), weave + rng.range(25) - 12));
        }
    return c;
}

Canvas loginScreen()
{
    const Rgba panel{225, 225, 230, 255}, bar{40, 70, 140, 255}, field{255, 255, 255, 255};
    Canvas c(256, 192, {0, 0, 0, 255});
    for (int y = 0; y < 192; ++y)
        rect(c, 0, y, 256, y + 1, {(uint8_t)(20 + y / 4), (uint8_t)(110 + y / 3), (uint8_t)(130 + y / 4), 255});
    rect(c, 58, 46, 198, 146, panel);
    frame(c, 58, 46, 198, 146, {60, 60, 70, 255});
    rect(c, 59, 47, 197, 62, bar);
    disc(c, 128, 80, 10, {120, 130, 150, 255});  // the user picture
    rect(c, 78, 98, 178, 108, field);
    frame(c, 78, 98, 178, 108, {120, 120, 130, 255});
    rect(c, 78, 114, 178, 124, field);
    frame(c, 78, 114, 178, 124, {120, 120, 130, 255});
    for (int i = 0; i < 6; ++i) disc(c, 86 + i * 7, 119, 2, {30, 30, 30, 255});
    rect(c, 108, 130, 148, 141, bar);
    return c;
}

void window(Canvas& c, int x0, int y0, int x1, int y1, Rgba title)
{
    rect(c, x0 + 3, y0 + 3, x1 + 3, y1 + 3, {20, 40, 50, 255});  // shadow
    rect(c, x0, y0, x1, y1, {245, 245, 245, 255});
    rect(c, x0, y0, x1, y0 + 12, title);
    rect(c, x1 - 10, y0 + 3, x1 - 4, y0 + 9, {230, 80, 70, 255});
    for (int y = y0 + 20; y < y1 - 8; y += 10) rect(c, x0 + 8, y, x0 + 8 + (x1 - x0) * 2 / 3, y + 4, {150, 150, 160, 255});
}

Canvas desktop()
{
    Canvas c(256, 192, {38, 110, 140, 255});
    const Rgba icons[] = {{240, 200, 60, 255}, {90, 200, 90, 255}, {220, 90, 90, 255}, {180, 180, 240, 255}};
    for (int i = 0; i < 4; ++i) {
        rect(c, 10, 10 + i * 34, 30, 30 + i * 34, icons[i]);
        rect(c, 8, 33 + i * 34, 32, 36 + i * 34, {230, 230, 230, 255});
    }
    window(c, 50, 20, 180, 120, {50, 80, 160, 255});
    window(c, 110, 70, 240, 168, {170, 60, 60, 255});
    rect(c, 0, 176, 256, 192, {30, 30, 36, 255});  // task bar
    rect(c, 4, 179, 30, 189, {70, 160, 80, 255});
    for (int i = 0; i < 3; ++i) rect(c, 40 + i * 36, 179, 72 + i * 36, 189, {70, 70, 80, 255});
    return c;
}

Canvas keyboard()
{
    const Rgba body{40, 40, 44, 255}, key{205, 205, 200, 255}, edge{150, 150, 148, 255};
    Canvas c(255, 85, body);
    // Key widths per row in units of 1/15 of the row, with the space bar in the last row.
    const int rows[5][16] = {
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2},
        {2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
        {2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2},
        {2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3},
        {2, 1, 2, 6, 2, 1, 1},
    };
    const int unit = 16, keyH = 14;
    for (int r = 0; r < 5; ++r) {
        int x = 8, y = 6 + r * 15;
        for (int k = 0; k < 16 && rows[r][k]; ++k) {
            int w = rows[r][k] * unit;
            rect(c, x + 1, y + 1, x + w - 1, y + keyH, key);
            rect(c, x + 1, y + keyH - 3, x + w - 1, y + keyH, edge);
            x += w;
        }
    }
    return c;
}

// ---- TGA writing

enum Kind { RAW24, RAW32, RLE24, RLE32, RAW16 };

void pixelBytes(Rgba p, Kind kind, std::vector<uint8_t>& out)
{
    if (kind == RAW16) {
        unsigned w = ((p.r >> 3) << 10) | ((p.g >> 3) << 5) | (p.b >> 3);
        out.push_back((uint8_t)(w & 0xFF));
        out.push_back((uint8_t)(w >> 8));
        return;
    }
    out.push_back(p.b);
    out.push_back(p.g);
    out.push_back(p.r);
    if (kind == RAW32 || kind == RLE32) out.push_back(p.a);
}

// Packets run on across rows; runs of two or more equal pixels become run packets.
void encodeRle(const std::vector<Rgba>& pixels, Kind kind, std::vector<uint8_t>& out)
{
    auto same = [](Rgba a, Rgba b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; };
    size_t n = pixels.size(), i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 128 && same(pixels[i + run], pixels[i])) ++run;
        if (run >= 2) {
            out.push_back((uint8_t)(0x80 | (run - 1)));
            pixelBytes(pixels[i], kind, out);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < n && raw < 128 && !(i + raw + 1 < n && same(pixels[i + raw], pixels[i + raw + 1]))) ++raw;
        out.push_back((uint8_t)(raw - 1));
        for (size_t k = 0; k < raw; ++k) pixelBytes(pixels[i + k], kind, out);
        i += raw;
    }
}

bool writeTga(const std::string& path, const Canvas& c, Kind kind, bool topLeft)
{
    bool rle = kind == RLE24 || kind == RLE32;
    int bits = kind == RAW16 ? 16 : (kind == RAW32 || kind == RLE32) ? 32 : 24;
    std::vector<uint8_t> out = {0, 0, (uint8_t)(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                (uint8_t)(c.w & 0xFF), (uint8_t)(c.w >> 8), (uint8_t)(c.h & 0xFF), (uint8_t)(c.h >> 8),
                                (uint8_t)bits, (uint8_t)((topLeft ? 0x20 : 0) | (bits == 32 ? 8 : 0))};
    std::vector<Rgba> ordered;  // rows in the order the file stores them
    ordered.reserve(c.px.size());
    for (int r = 0; r < c.h; ++r) {
        int y = topLeft ? r : c.h - 1 - r;
        ordered.insert(ordered.end(), c.px.begin() + (size_t)y * c.w, c.px.begin() + (size_t)(y + 1) * c.w);
    }
    if (rle) encodeRle(ordered, kind, out);
    else
        for (Rgba p : ordered) pixelBytes(p, kind, out);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}

// Each LabImage's drawing and how its file is written, in LabImage's order; between them
// the files take every road of the reader (tga-tests holds them to that).
struct Drawing { Canvas (*draw)(); Kind kind; bool topLeft; };
constexpr Drawing drawings[LAB_IMAGE_COUNT] = {
    {drywall, RAW24, false},   {slide, RLE24, true},    {whiteboard, RLE32, false}, {carpet, RAW16, false},
    {loginScreen, RAW32, true}, {desktop, RLE24, false}, {keyboard, RAW24, false},
};
static_assert(drawings[LAB_IMAGE_COUNT - 1].draw, "drawings: a LabImage has no drawing: the table holds one per "
                                                  "LabImage, in the order of labImageFiles");

}  // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : "data";
    if (dir == "--list") {  // for the scripts that show the images in the lab's own order
        for (const char* name : labImageFiles) printf("%s\n", name);
        return 0;
    }
    for (int i = 0; i < LAB_IMAGE_COUNT; ++i) {
        std::string path = dir + "/" + labImageFiles[i];
        if (!writeTga(path, drawings[i].draw(), drawings[i].kind, drawings[i].topLeft)) {
            fprintf(stderr, "make-images: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
