#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

class QFile;

namespace mendral {

/**
 * File names on Linux are bytes. Valid UTF-8 decodes as usual; every byte that is not part of
 * a valid sequence becomes the lone surrogate U+DC00 + byte, so that pathToBytes gives back
 * exactly the bytes that were read. QFile::encodeName cannot do this, so every file the
 * program opens goes through pathToBytes.
 */
QString pathFromBytes(const QByteArray &bytes);
QByteArray pathToBytes(const QString &path);

/** The file-system facts the scan and the caches need, from one statx call. */
struct FileStat {
    bool isRegular = false;
    bool isDirectory = false;
    bool isSymlink = false; // only set by statFile(..., followLinks = false)
    int64_t size = 0;
    std::optional<double> birthTime;        // seconds since 1970, where the file system keeps it
    std::optional<double> modificationTime; // seconds since 1970
};

std::optional<FileStat> statFile(const QString &path, bool followLinks = true);

/**
 * When the file was made, as far as the file system can tell: its modification time, or its
 * birth time where that is earlier. A copied card keeps modification times but gets new
 * birth times, so a later birth time says when the file arrived here, not when it was taken.
 */
std::optional<double> fileCreationTime(const FileStat &st);

/** Opens path for reading into file (by descriptor, so any byte name works). */
bool openForReading(QFile &file, const QString &path);

/** Last path component. */
QString fileName(const QString &path);
/** Extension after the last dot of the last component, lower-cased; empty when none. */
QString lowerExtension(const QString &path);

} // namespace mendral
