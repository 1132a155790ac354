#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace mendral {

/** File operations on byte-exact paths; failures come back as the system's description. */

/** Creates dir and its missing parents; an existing folder is fine. nullopt on success. */
std::optional<QString> makePath(const QString &dir);

/** Copies source to target (a new file), keeping the modification time. nullopt on success;
 *  on failure no partial target is left behind. */
std::optional<QString> copyFile(const QString &source, const QString &target);

bool removeFile(const QString &path);

/** True when both files can be read and hold the same bytes. */
bool sameContents(const QString &a, const QString &b);

/**
 * MD5 of the file read in 1 MiB chunks, of its first `limit` bytes when a limit is given;
 * nullopt when it cannot be opened or read.
 */
std::optional<QByteArray> md5OfFile(const QString &path, std::optional<int64_t> limit = std::nullopt);

} // namespace mendral
