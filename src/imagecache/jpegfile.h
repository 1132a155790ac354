#pragma once

#include <QImage>
#include <QString>

namespace mendral {

/** JPEG files of the caches and the command line: complete-or-absent writes, checked reads. */
namespace JpegFile {

/** The image as JPEG bytes at the given quality (0…100); empty when it cannot be encoded. */
QByteArray encode(const QImage &image, int quality);

/**
 * Writes bytes to path through a temporary file in the same folder and a rename, so a reader
 * never sees half a file and a failed write leaves the old one. Returns success.
 */
bool writeAtomically(const QString &path, const QByteArray &bytes);

/**
 * Decodes the JPEG file at path when it is whole (starts with SOI, ends with EOI) and decodes
 * cleanly; null otherwise, so that a damaged cache file is made again.
 */
QImage readComplete(const QString &path);

/** Creates the folder and its parents as needed; true when it exists afterwards. */
bool makePath(const QString &path);

} // namespace JpegFile

} // namespace mendral
