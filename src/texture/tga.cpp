#include "texture/tga.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static const size_t HEADER_SIZE = 18;
static const unsigned char RLE_TRUECOLOR = 10;
static const unsigned char ORIGIN_TOP = 0x20;    // descriptor bit 5
static const unsigned char ORIGIN_RIGHT = 0x10;  // descriptor bit 4

static TGAImage* fail(const char* name, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    fprintf(stderr, "%s: ", name);
    vfprintf(stderr, fmt, args);
    fputc('\n', stderr);
    va_end(args);
    return NULL;
}

// ---- what a refused header holds, told in words a person saving the file can act on

enum TgaKind { NOT_TGA, NO_IMAGE, COLOUR_MAPPED, TRUE_COLOUR, GREY };

static TgaKind kindOf(unsigned char imageType, unsigned char bits)
{
    static const unsigned char TGA_DEPTHS[] = {8, 15, 16, 24, 32};  // every depth a TGA file can have
    if (!memchr(TGA_DEPTHS, bits, sizeof TGA_DEPTHS)) return NOT_TGA;
    switch (imageType) {
    case 0: return NO_IMAGE;
    case 1: case 9: case 32: case 33: return COLOUR_MAPPED;  // 32 and 33: the old compressed maps
    case 2: case 10: return TRUE_COLOUR;
    case 3: case 11: return GREY;
    default: return NOT_TGA;
    }
}

// ImageMagick's way to a file this reader takes, from any of these and from other formats.
// -auto-orient first puts the rows top first under a top-left origin: without it ImageMagick 6
// writes a PNG upside down (docs/building.md; tests/image-recipes runs these words).
// On Windows `convert` is the system's disk converter: ImageMagick 7 is `magick` there.
#ifdef _WIN32
#define TO_TRUE_COLOUR "magick in.tga -auto-orient -type TrueColor out.tga"
#else
#define TO_TRUE_COLOUR "convert in.tga -auto-orient -type TrueColor out.tga"
#endif
static const char* const SAVE_AS_TRUE_COLOUR =
    "only true-colour TGA images are read (24 or 32 bits, or 16): save it as true colour (ImageMagick: "
    TO_TRUE_COLOUR ")";

// Other formats' first bytes (and, for WebP, its bytes 8 to 11): a file that starts so is
// that format under a .tga name, and saying so beats an image type number.
static const struct { const char* format; const char* head; const char* at8; } SIGNATURES[] = {
    {"PNG", "\x89PNG\r\n\x1a\n", NULL}, {"JPEG", "\xff\xd8\xff", NULL}, {"GIF", "GIF8", NULL},
    {"BMP", "BM", NULL}, {"WebP", "RIFF", "WEBP"},
};
static const size_t SECOND_SIGNATURE_AT = 8;

static bool startsWith(const unsigned char* data, size_t size, size_t at, const char* bytes)
{
    size_t n = strlen(bytes);
    return size >= at + n && memcmp(data + at, bytes, n) == 0;
}

static const char* otherFormat(const unsigned char* data, size_t size)
{
    for (const auto& s : SIGNATURES)
        if (startsWith(data, size, 0, s.head) && (!s.at8 || startsWith(data, size, SECOND_SIGNATURE_AT, s.at8)))
            return s.format;
    return NULL;
}

// Nearly every file that ends too soon was cut short on its way here.
#define CUT_SHORT "the file is probably cut short: copy it again, or save it again"

static TGAImage* refuseKind(const char* name, unsigned char imageType, unsigned char bits)
{
    switch (kindOf(imageType, bits)) {
    case NOT_TGA:
        return fail(name, "not a TGA image (image type %u, pixel depth %u): save it as a true-colour TGA (ImageMagick: "
                    TO_TRUE_COLOUR ")", imageType, bits);
    case NO_IMAGE:
        return fail(name, "a TGA file holding no image (image type 0)");
    case COLOUR_MAPPED:
        return fail(name, "a colour-mapped image of %u bits: %s", bits, SAVE_AS_TRUE_COLOUR);
    case GREY:
        return fail(name, "a grey image of %u bits: %s", bits, SAVE_AS_TRUE_COLOUR);
    case TRUE_COLOUR:
        break;
    }
    if (imageType == RLE_TRUECOLOR)
        return fail(name, "a run-length image of %u bits: run-length images are read at 24 or 32 bits: "
                    "save it at 24 or 32 bits", bits);
    return fail(name, "a true-colour image of %u bits: only 16, 24 or 32 bits are read: save it at 24 or 32 bits", bits);
}

static unsigned readU16(const unsigned char* p) { return p[0] | (p[1] << 8); }

// ---- decoders: each fills `out` in file row order

// Repeats one pixel `count` times; fixed strides keep the loop free of library calls.
static void fillRun(unsigned char* dst, const unsigned char* pixel, size_t count, int bytesPerPixel)
{
    unsigned char b = pixel[0], g = pixel[1], r = pixel[2];
    if (bytesPerPixel == 3) {
        for (size_t i = 0; i < count; ++i, dst += 3) {
            dst[0] = b; dst[1] = g; dst[2] = r;
        }
    } else {
        unsigned char a = pixel[3];
        for (size_t i = 0; i < count; ++i, dst += 4) {
            dst[0] = b; dst[1] = g; dst[2] = r; dst[3] = a;
        }
    }
}

// Pixels stay B, G, R(, A) as stored; the swap comes after. Returns the pixels decoded
// before the data ran out: all of them for a whole file.
static size_t decodeRle(const unsigned char* p, const unsigned char* end,
                        unsigned char* out, size_t pixelCount, int bytesPerPixel)
{
    size_t done = 0;
    while (done < pixelCount) {
        if (p >= end) return done;
        unsigned char rleID = *p++;
        size_t count = (rleID & 0x7F) + 1u;
        size_t keep = count < pixelCount - done ? count : pixelCount - done;  // clip at the image's end
        size_t left = (size_t)(end - p);
        unsigned char* dst = out + done * bytesPerPixel;
        if (rleID & 0x80) {
            if (left < (size_t)bytesPerPixel) return done;
            fillRun(dst, p, keep, bytesPerPixel);
            p += bytesPerPixel;
        } else {
            if (left < keep * bytesPerPixel) return done + left / bytesPerPixel;  // the whole pixels there
            memcpy(dst, p, keep * bytesPerPixel);
            size_t bytes = count * bytesPerPixel;
            p += left < bytes ? left : bytes;  // the clipped tail may be cut off
        }
        done += keep;
    }
    return done;
}

// Five bits per channel, widened by the shift alone (full is 248); bit 15 carries nothing.
static void decode16(const unsigned char* p, unsigned char* out, size_t pixelCount)
{
    for (size_t n = 0; n < pixelCount; ++n, p += 2, out += 3) {
        unsigned pixels = readU16(p);
        out[0] = (unsigned char)(((pixels >> 10) & 0x1F) << 3);
        out[1] = (unsigned char)(((pixels >> 5) & 0x1F) << 3);
        out[2] = (unsigned char)((pixels & 0x1F) << 3);
    }
}

// The stride is a constant in each instance, so the loop compiles tight.
template <int BytesPerPixel>
static void swapRedBlue(unsigned char* data, size_t pixelCount)
{
    for (unsigned char* end = data + pixelCount * BytesPerPixel; data < end; data += BytesPerPixel) {
        unsigned char b = data[0];
        data[0] = data[2];
        data[2] = b;
    }
}

static void swapBlocks(unsigned char* a, unsigned char* b, size_t n)
{
    unsigned char tmp[1024];
    while (n > 0) {
        size_t k = n < sizeof tmp ? n : sizeof tmp;
        memcpy(tmp, a, k);
        memcpy(a, b, k);
        memcpy(b, tmp, k);
        a += k; b += k; n -= k;
    }
}

// GL wants the bottom row first, read left to right.
static void orient(TGAImage* image, unsigned char descriptor)
{
    size_t rowBytes = (size_t)image->width * image->bytesPerPixel;
    unsigned char* data = image->imageData;
    if (descriptor & ORIGIN_TOP) {
        for (int lo = 0, hi = image->height - 1; lo < hi; ++lo, --hi)
            swapBlocks(data + lo * rowBytes, data + hi * rowBytes, rowBytes);
    }
    if (descriptor & ORIGIN_RIGHT) {
        int bpp = image->bytesPerPixel;
        for (int row = 0; row < image->height; ++row) {
            unsigned char* r = data + row * rowBytes;
            for (int lo = 0, hi = image->width - 1; lo < hi; ++lo, --hi)
                for (int c = 0; c < bpp; ++c) {
                    unsigned char t = r[lo * bpp + c];
                    r[lo * bpp + c] = r[hi * bpp + c];
                    r[hi * bpp + c] = t;
                }
        }
    }
}

TGAImage* decodeTGA(const unsigned char* data, size_t size, const char* name)
{
    if (const char* format = otherFormat(data, size))
        return fail(name, "a %s image, not a TGA one: convert it to a true-colour TGA (ImageMagick: "
                    TO_TRUE_COLOUR ")", format);
    if (size < HEADER_SIZE)
        return fail(name, "file ends early: header is %zu of %zu bytes: " CUT_SHORT, size, HEADER_SIZE);

    unsigned char length = data[0];
    unsigned char colorMapType = data[1];
    unsigned char imageType = data[2];
    unsigned colorMapLength = readU16(data + 5);
    unsigned colorMapBits = data[7];
    unsigned width = readU16(data + 12);
    unsigned height = readU16(data + 14);
    unsigned char bits = data[16];
    unsigned char descriptor = data[17];

    // The kind first: a file of another format says so, rather than seeming cut short.
    bool rle = imageType == RLE_TRUECOLOR;
    if (rle ? (bits != 24 && bits != 32) : (bits != 16 && bits != 24 && bits != 32))
        return refuseKind(name, imageType, bits);

    // A true-colour file may still carry a colour map: its pixels follow it.
    size_t offset = HEADER_SIZE + length;
    if (colorMapType == 1) offset += (size_t)colorMapLength * ((colorMapBits + 7) / 8);
    if (offset > size)
        return fail(name, "file ends early: image ID or colour map runs past the end: " CUT_SHORT);

    if (width == 0 || height == 0)
        return fail(name, "image has no pixels (%u x %u)", width, height);
    size_t pixelCount = (size_t)width * height;
    if (pixelCount > (size_t)TGA_MAX_PIXELS)
        return fail(name, "image of %u x %u is larger than the %ld pixels accepted", width, height, TGA_MAX_PIXELS);

    int fileBpp = bits / 8;
    int bytesPerPixel = bits == 16 ? 3 : fileBpp;
    size_t available = size - offset;
    // The least data that can describe every pixel, checked before anything is allocated.
    size_t needed = rle ? (pixelCount + 127) / 128 * (1 + fileBpp) : pixelCount * fileBpp;
    if (available < needed) {
        const char* least = rle ? "at least " : "";
        return fail(name, "file ends early: %s%zu bytes of pixel data missing (%zu there, %s%zu needed): " CUT_SHORT,
                    least, needed - available, available, least, needed);
    }

    TGAImage* image = (TGAImage*)malloc(sizeof(TGAImage));
    unsigned char* pixels = (unsigned char*)malloc(pixelCount * bytesPerPixel);
    if (!image || !pixels) {
        free(pixels);
        free(image);
        return fail(name, "out of memory for a %u x %u image", width, height);
    }
    image->bytesPerPixel = bytesPerPixel;
    image->width = (int)width;
    image->height = (int)height;
    image->imageData = pixels;

    const unsigned char* body = data + offset;
    if (rle) {
        size_t decoded = decodeRle(body, data + size, pixels, pixelCount, bytesPerPixel);
        if (decoded < pixelCount) {
            freeTGA(image);
            return fail(name, "file ends early inside the run-length data: %zu of %zu pixels missing: " CUT_SHORT,
                        pixelCount - decoded, pixelCount);
        }
    } else if (bits == 16) {
        decode16(body, pixels, pixelCount);
    } else {
        memcpy(pixels, body, pixelCount * bytesPerPixel);
    }
    if (bits == 24) swapRedBlue<3>(pixels, pixelCount);
    else if (bits == 32) swapRedBlue<4>(pixels, pixelCount);
    orient(image, descriptor);
    return image;
}

// No accepted image needs more than this: five bytes a pixel is the worst run-length case.
static const size_t MAX_FILE_BYTES = 5 * (size_t)TGA_MAX_PIXELS + (1 << 20);

static unsigned char* readWholeFile(FILE* f, size_t* size, int* err)
{
    size_t cap = 1 << 16, used = 0;
    unsigned char* buf = (unsigned char*)malloc(cap);
    for (;;) {
        if (!buf) { *err = ENOMEM; return NULL; }
        used += fread(buf + used, 1, cap - used, f);
        if (ferror(f)) { *err = errno ? errno : EIO; free(buf); return NULL; }
        if (used < cap) break;
        if (cap >= MAX_FILE_BYTES) { *err = EFBIG; free(buf); return NULL; }
        unsigned char* grown = (unsigned char*)realloc(buf, cap * 2);
        if (!grown) free(buf);
        buf = grown;
        cap *= 2;
    }
    *size = used;
    return buf;
}

TGAImage* loadTGA(const char* fileName, const char* whenMissing)
{
    FILE* f = fopen(fileName, "rb");
    if (!f) {
        int err = errno;
        // Windows refuses to open a folder ("Permission denied"); elsewhere it opens, then cannot be read.
        struct stat st;
        if (stat(fileName, &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR)
            return fail(fileName, "cannot read: %s", strerror(EISDIR));
        printf("\nUnable to load TGA File!\n");
        bool hint = err == ENOENT && whenMissing && *whenMissing;
        return fail(fileName, "cannot open: %s%s%s", strerror(err), hint ? ": " : "", hint ? whenMissing : "");
    }
    size_t size = 0;
    int err = 0;
    errno = 0;
    unsigned char* data = readWholeFile(f, &size, &err);
    fclose(f);
    if (!data) return fail(fileName, "cannot read: %s", strerror(err));
    TGAImage* image = decodeTGA(data, size, fileName);
    free(data);
    return image;
}

void freeTGA(TGAImage* image)
{
    if (!image) return;
    free(image->imageData);
    free(image);
}
