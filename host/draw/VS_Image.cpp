#include "host/draw/VS_Image.h"

#include "host/draw/gl.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

VS_RGBA VS_Image::pixel(int x, int y) const {
    if (!contains(x, y))
        return VS_RGBA(0, 0, 0, 0);
    const std::uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
    return VS_RGBA(p[0], p[1], p[2], p[3]);
}

VS_Image VS_ReadPixels(int width, int height) {
    VS_Image image;
    if (width <= 0 || height <= 0)
        return image;
    image.width = width;
    image.height = height;
    image.rgba.resize(size_t(width) * height * 4);
    std::vector<std::uint8_t> bottomUp(image.rgba.size());
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    glPopClientAttrib();
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(&image.rgba[size_t(y) * row], &bottomUp[size_t(height - 1 - y) * row], row);
    return image;
}

namespace {

struct PngFailure {
    std::string message;
};

void onPngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    failure->message = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Encodes into an open file. Kept apart from anything with a destructor: libpng reports
// errors by longjmp.
bool encode(FILE* file, const VS_Image& image, PngFailure& failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    if (!png) {
        failure.message = "cannot start the PNG encoder";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        failure.message = "cannot start the PNG encoder";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, &image.rgba[size_t(y) * image.width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool fail(std::string* error, const std::string& message) {
    if (error)
        *error = message;
    return false;
}

}  // namespace

bool VS_WritePng(const VS_Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 || image.rgba.size() != size_t(image.width) * image.height * 4)
        return fail(error, "the image is empty or inconsistent");
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return fail(error, path + ": " + std::strerror(errno));
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int e = errno;
        close(fd);
        unlink(temp.c_str());
        return fail(error, path + ": " + std::strerror(e));
    }
    PngFailure failure;
    const bool encoded = encode(file, image, failure);
    const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    const int e = errno;
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !flushed || !closed) {
        unlink(temp.c_str());
        return fail(error, path + ": " + (!encoded ? failure.message : std::string(std::strerror(e))));
    }
    // mkstemp makes the file private; an image is as readable as any other output.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int re = errno;
        unlink(temp.c_str());
        return fail(error, path + ": " + std::strerror(re));
    }
    return true;
}
