#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures of the contact editor's photo box: decoding what an operator
// loads, and the form the photo columns store.
namespace photo {

// A file that declares more pixels than this (width times height) is
// refused before anything of it is decoded.
constexpr qint64 MaxPixels = 100'000'000;
// Pictures are kept at most this wide and this high: larger ones are
// reduced, keeping their proportions, as they are decoded.
constexpr int MaxSide = 1024;

enum class Failure {
    None,
    Unreadable, // no picture format that can be read, or damaged data
    TooLarge,   // declares more than MaxPixels
};

struct Decoded {
    QImage image; // null on failure
    Failure failure = Failure::None;
};

// Decodes the bytes of a picture: a JPEG through libjpeg (a large one at a
// reduced scale from the start), any other format through Qt's readers
// (bitmap, icon, ...); the result is reduced to fit MaxSide. A JPEG whose
// data ends early counts as damaged.
Decoded decode(const QByteArray &bytes);

// What a photo column stores for image: a Windows bitmap (BMP file bytes).
QByteArray toBitmap(const QImage &image);

} // namespace photo
