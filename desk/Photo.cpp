#include "desk/Photo.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <csetjmp>
#include <cstdio>

// libjpeg's headers expect FILE and size_t to be declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace photo {

namespace {

struct ErrorManager {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool truncated;
};

void errorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1); }

void emitMessage(j_common_ptr info, int level)
{
    // Warnings about damaged data are tolerated, except missing data: the
    // rest of such a picture would be grey.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<ErrorManager *>(info->err)->truncated = true;
}

// Where the decoder writes: the caller's frame owns every C++ object, so
// that a longjmp out of libjpeg skips no destructor.
struct Target {
    QImage image;
    Failure failure = Failure::Unreadable;
    bool cmyk = false;
};

// The one function with a setjmp: only plain data lives in its frame.
void decodeJpeg(const unsigned char *data, unsigned long size, Target *target)
{
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = errorExit;
    error.mgr.emit_message = emitMessage;
    error.truncated = false;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        target->image = QImage();
        return;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (qint64(info.image_width) * info.image_height > MaxPixels) {
        jpeg_destroy_decompress(&info);
        target->failure = Failure::TooLarge;
        return;
    }
    // The smallest of libjpeg's scales (n/8) that still covers MaxSide.
    const unsigned longest = std::max(info.image_width, info.image_height);
    info.scale_denom = 8;
    info.scale_num = longest <= unsigned(MaxSide) ? 8 : std::clamp((8u * MaxSide + longest - 1) / longest, 1u, 8u);
    target->cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = target->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    target->image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (target->image.isNull()) {
        jpeg_destroy_decompress(&info);
        target->failure = Failure::TooLarge;
        return;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = target->image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (error.truncated) {
        target->image = QImage();
        return;
    }
    target->failure = Failure::None;
}

// Adobe's CMYK JPEGs hold the inks inverted; each pixel is C, M, Y, K bytes.
void cmykToRgb(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *p = image.scanLine(y);
        auto *out = reinterpret_cast<QRgb *>(p);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            const int k = p[3];
            out[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
        }
    }
}

QImage fitted(QImage image)
{
    if (image.width() > MaxSide || image.height() > MaxSide)
        image = image.scaled(MaxSide, MaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool isJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
}

} // namespace

Decoded decode(const QByteArray &bytes)
{
    if (isJpeg(bytes)) {
        Target target;
        decodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()),
                   &target);
        if (target.failure != Failure::None)
            return {{}, target.failure};
        if (target.cmyk)
            cmykToRgb(target.image);
        return {fitted(std::move(target.image)), Failure::None};
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > MaxPixels)
        return {{}, Failure::TooLarge};
    QImage image = reader.read();
    if (image.isNull())
        return {{}, Failure::Unreadable};
    return {fitted(std::move(image)), Failure::None};
}

QByteArray toBitmap(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB888).save(&buffer, "BMP");
    return out;
}

} // namespace photo
