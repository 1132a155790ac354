#pragma once

// Internal to the vision module: the one place where Qt images become dlib images.

#include <dlib/array2d.h>

#include <QImage>

#include <cstring>

namespace mendral {

/** A grey dlib copy of `image` (any format; colour is converted to grey first). */
inline dlib::array2d<unsigned char> toDlibGrey(const QImage &image)
{
    const QImage grey = image.format() == QImage::Format_Grayscale8
        ? image
        : image.convertToFormat(QImage::Format_Grayscale8);
    dlib::array2d<unsigned char> out(grey.height(), grey.width());
    for (int y = 0; y < grey.height(); ++y)
        std::memcpy(&out[y][0], grey.constScanLine(y), size_t(grey.width()));
    return out;
}

} // namespace mendral
