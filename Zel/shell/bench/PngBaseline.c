/* The baseline of the skin decoding figure: libpng alone, as its manual shows it, reading a file
   with png_init_io and the transforms that give 8-bit BGRA rows, into plain memory. */
#include <png.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

int DecodeWithLibpngAlone(const wchar_t* path)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file) return 0;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    unsigned char* volatile pixels = NULL;
    png_bytep* volatile rows = NULL;
    int ok = 0;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
        int colour = png_get_color_type(png, info);
        if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
        if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
        if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        if (!(colour & PNG_COLOR_MASK_ALPHA)) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        png_read_update_info(png, info);
        pixels = malloc((size_t)width * height * 4);
        rows = malloc(sizeof(png_bytep) * height);
        if (pixels && rows) {
            for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + (size_t)y * width * 4;
            png_read_image(png, (png_bytepp)rows);
            ok = 1;
        }
    }
    free((void*)rows);
    free((void*)pixels);
    png_destroy_read_struct(png ? &png : NULL, info ? &info : NULL, NULL);
    fclose(file);
    return ok;
}
