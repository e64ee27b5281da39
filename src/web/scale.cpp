#include "scale.h"

#include <cmath>

int nearestPowerOfTwo(int value)
{
    if (value <= 0) return 1;
    unsigned v = (unsigned)value;
    int power = 1;
    for (;;) {
        if (v == 1) return power;
        if (v == 3) return power * 4;
        v >>= 1;
        power *= 2;
    }
}

// Exact halving: each output pixel the mean of a 2 x 2 block.
static void halveImage(int components, int width, int height, const unsigned char* in, int rowBytes,
                       unsigned char* out)
{
    int newWidth = width / 2, newHeight = height / 2;
    for (int i = 0; i < newHeight; ++i)
        for (int j = 0; j < newWidth; ++j)
            for (int k = 0; k < components; ++k) {
                const unsigned char* p = in + (size_t)2 * i * rowBytes + (size_t)2 * j * components + k;
                unsigned sum = p[0] + p[components] + p[rowBytes] + p[rowBytes + components];
                *out++ = (unsigned char)((sum + 2) / 4);
            }
}

// Adds one row of a box to the totals: its left pixel at wLeft, the whole pixels between
// at wMiddle, its right pixel at wRight, in GLU's order of sums. Returns the right pixel.
static const unsigned char* addRow(float* totals, const unsigned char* temp, int components, int between,
                                   float wLeft, float wMiddle, float wRight)
{
    for (int k = 0; k < components; ++k) totals[k] += temp[k] * wLeft;
    for (int l = 0; l < between; ++l) {
        temp += components;
        for (int k = 0; k < components; ++k) totals[k] += temp[k] * wMiddle;
    }
    temp += components;
    for (int k = 0; k < components; ++k) totals[k] += temp[k] * wRight;
    return temp;
}

// Moves a box on by one output pixel along an axis: the low edge takes the high edge's
// place, and the high edge steps by the pixel's size in source pixels, whole and fraction apart.
static void stepEdges(int& lowInt, float& lowFloat, int& highInt, float& highFloat, int convInt, float convFloat)
{
    lowInt = highInt;
    lowFloat = highFloat;
    highInt += convInt;
    highFloat += convFloat;
    if (highFloat > 1) {
        highFloat -= 1;
        highInt++;
    }
}

// The box's edges are stepped in float, integer and fraction apart, so output pixels land
// where GLU's do; reads past the last row are clamped to it.
void scaleImage(int components, int width, int height, const unsigned char* in, int rowBytes,
                int newWidth, int newHeight, unsigned char* out)
{
    if (width == newWidth * 2 && height == newHeight * 2) {
        halveImage(components, width, height, in, rowBytes, out);
        return;
    }
    const int group = components;
    float convy = (float)height / newHeight;
    float convx = (float)width / newWidth;
    int convyInt = (int)std::floor(convy);
    float convyFloat = convy - convyInt;
    int convxInt = (int)std::floor(convx);
    float convxFloat = convx - convxInt;
    float area = convx * convy;

    int lowyInt = 0;
    float lowyFloat = 0;
    int highyInt = convyInt;
    float highyFloat = convyFloat;
    for (int i = 0; i < newHeight; ++i) {
        if (highyInt >= height) highyInt = height - 1;
        int lowxInt = 0;
        float lowxFloat = 0;
        int highxInt = convxInt;
        float highxFloat = convxFloat;
        for (int j = 0; j < newWidth; ++j) {
            float totals[4] = {0, 0, 0, 0};
            int xindex = lowxInt * group;
            const unsigned char* temp;
            if (highyInt > lowyInt && highxInt > lowxInt) {
                int between = highxInt - lowxInt - 1;
                // first row
                float yPercent = 1 - lowyFloat;
                const unsigned char* left = in + xindex + (size_t)lowyInt * rowBytes;
                const unsigned char* right = addRow(totals, left, components, between, yPercent * (1 - lowxFloat),
                                                    yPercent, yPercent * highxFloat);
                // last row
                yPercent = highyFloat;
                addRow(totals, in + xindex + (size_t)highyInt * rowBytes, components, between,
                       yPercent * (1 - lowxFloat), yPercent, yPercent * highxFloat);
                // first and last columns, rows between
                for (int m = lowyInt + 1; m < highyInt; ++m) {
                    left += rowBytes;
                    right += rowBytes;
                    for (int k = 0; k < components; ++k, ++left, ++right)
                        totals[k] += *left * (1 - lowxFloat) + *right * highxFloat;
                }
            } else if (highyInt > lowyInt) {
                float xPercent = highxFloat - lowxFloat;
                float percent = (1 - lowyFloat) * xPercent;
                temp = in + xindex + (size_t)lowyInt * rowBytes;
                for (int k = 0; k < components; ++k) totals[k] += temp[k] * percent;
                for (int m = lowyInt + 1; m < highyInt; ++m) {
                    temp += rowBytes;
                    for (int k = 0; k < components; ++k) totals[k] += temp[k] * xPercent;
                }
                percent = xPercent * highyFloat;
                temp += rowBytes;
                for (int k = 0; k < components; ++k) totals[k] += temp[k] * percent;
            } else if (highxInt > lowxInt) {
                float yPercent = highyFloat - lowyFloat;
                addRow(totals, in + xindex + (size_t)lowyInt * rowBytes, components, highxInt - lowxInt - 1,
                       (1 - lowxFloat) * yPercent, yPercent, yPercent * highxFloat);
            } else {
                float percent = (highyFloat - lowyFloat) * (highxFloat - lowxFloat);
                temp = in + xindex + (size_t)lowyInt * rowBytes;
                for (int k = 0; k < components; ++k) totals[k] += temp[k] * percent;
            }
            // the body
            const unsigned char* row = in + xindex + group + (size_t)(lowyInt + 1) * rowBytes;
            for (int m = lowyInt + 1; m < highyInt; ++m) {
                temp = row;
                for (int l = lowxInt + 1; l < highxInt; ++l) {
                    for (int k = 0; k < components; ++k) totals[k] += temp[k];
                    temp += group;
                }
                row += rowBytes;
            }
            unsigned char* o = out + ((size_t)i * newWidth + j) * components;
            for (int k = 0; k < components; ++k) o[k] = (unsigned char)(totals[k] / area);
            stepEdges(lowxInt, lowxFloat, highxInt, highxFloat, convxInt, convxFloat);
        }
        stepEdges(lowyInt, lowyFloat, highyInt, highyFloat, convyInt, convyFloat);
    }
}
