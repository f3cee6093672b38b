#include "Zel/shell/skin/PngDecode.h"

#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

struct ZelPngInput {
    const unsigned char* data;
    size_t size;
    size_t offset;
};

static void ReadInput(png_structp png, png_bytep out, png_size_t count)
{
    struct ZelPngInput* input = (struct ZelPngInput*)png_get_io_ptr(png);
    if (count > input->size - input->offset) png_error(png, "cut short");
    memcpy(out, input->data + input->offset, count);
    input->offset += count;
}

static void OnError(png_structp png, png_const_charp message)
{
    (void)message;
    png_longjmp(png, 1);
}

static void OnWarning(png_structp png, png_const_charp message)
{
    (void)png;
    (void)message;
}

static void Premultiply(unsigned char* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i, pixels += 4) {
        unsigned alpha = pixels[3];
        if (alpha == 255) continue;
        pixels[0] = (unsigned char)(pixels[0] * alpha / 255);
        pixels[1] = (unsigned char)(pixels[1] * alpha / 255);
        pixels[2] = (unsigned char)(pixels[2] * alpha / 255);
    }
}

// Sets the transforms that bring every kind to 8-bit BGRA.
static void SetTransforms(png_structp png, png_infop info, int depth, int colour)
{
    int transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (transparency) png_set_tRNS_to_alpha(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!(colour & PNG_COLOR_MASK_ALPHA) && !transparency) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

int ZelPngDecode(const unsigned char* data, size_t size, int bottomUp, ZelPngAllocate allocate, void* context,
                 unsigned* width, unsigned* height)
{
    struct ZelPngInput input = {data, size, 0};
    png_structp png;
    png_infop info;
    png_uint_32 w, h;
    int depth, colour, interlace;
    unsigned char* pixels;
    /* Read after a longjmp, so kept in memory. */
    png_bytep* volatile rows = NULL;
    volatile int result = ZelPngBadData;

    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return ZelPngNotPng;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, OnError, OnWarning);
    if (!png) return ZelPngNoMemory;
    info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, NULL, NULL);
        return ZelPngNoMemory;
    }
    if (setjmp(png_jmpbuf(png))) {
        free((void*)rows);
        png_destroy_read_struct(&png, &info, NULL);
        return result;
    }

    png_set_read_fn(png, &input, ReadInput);
    png_read_info(png, info);
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, NULL, NULL);
    if (w == 0 || h == 0 || w > ZelPngMaxSide || h > ZelPngMaxSide ||
        (unsigned long long)w * h > ZelPngMaxPixels) {
        result = ZelPngTooLarge;
        png_error(png, "too large");
    }
    SetTransforms(png, info, depth, colour);
    if (png_get_rowbytes(png, info) != (size_t)w * 4) {
        result = ZelPngBadRowSize;
        png_error(png, "row size");
    }

    result = ZelPngNoMemory;
    rows = (png_bytep*)malloc(sizeof(png_bytep) * h);
    pixels = rows ? allocate(context, w, h) : NULL;
    if (!pixels) png_error(png, "no memory");
    for (png_uint_32 i = 0; i < h; ++i) rows[i] = pixels + (size_t)(bottomUp ? h - 1 - i : i) * w * 4;

    result = ZelPngBadData;
    png_read_image(png, (png_bytepp)rows);
    Premultiply(pixels, (size_t)w * h);

    free((void*)rows);
    png_destroy_read_struct(&png, &info, NULL);
    *width = w;
    *height = h;
    return ZelPngOk;
}
