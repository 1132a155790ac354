#pragma once

#include "model/photo.h"

#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace mendral {

/**
 * Turns a folder into the ordered list of its photos: finds image files by extension, reads
 * their capture date and pixel size, folds files sharing a base name into one photo with a
 * primary file and companions, and sorts by capture time. Only reads; never throws.
 */
namespace Scanner {

/** What a file's image properties yield. */
struct Meta {
    std::optional<double> date; // capture time, seconds since 1970
    int width = 0;
    int height = 0;
};

/** One accepted image file. */
struct Entry {
    QString url;
    int64_t size = 0;
    double date = 0;
    int width = 0;
    int height = 0;
    bool isRaw = false;
    QString baseKey; // full path without extension, lower-cased
};

const QSet<QString> &rawExts();
const QSet<QString> &stdExts();
const QSet<QString> &allExts();

/** Runs on the calling thread; both callbacks are called on it. */
std::vector<Photo> scan(const QString &folder, bool recursive,
                        const std::function<void(double)> &progress,
                        const std::function<bool()> &isCancelled = [] { return false; });

Meta readMetadata(const QString &url);

/** The entry shown and analysed for a set of files sharing a base name. */
std::optional<Entry> pickPrimary(const std::vector<Entry> &entries);

/** Parses an EXIF date-time ("yyyy:MM:dd HH:mm:ss", local wall-clock time). */
std::optional<double> parseExifDate(const QString &text);

/** Orders names by their Unicode scalar values (case-sensitive, no numeric ordering). */
bool scalarLess(const QString &a, const QString &b);

} // namespace Scanner

} // namespace mendral
