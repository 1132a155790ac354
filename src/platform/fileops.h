#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace mendral {

/** File operations on byte-exact paths; failures come back as the system's description. */

/** Creates dir and its missing parents; an existing folder is fine. nullopt on success. */
std::optional<QString> makePath(const QString &dir);

/**
 * Copies source to target (a new file), keeping the modification time. nullopt on success.
 * The bytes go to partialCopyPath(target) first, reach the disk, and only then take target's
 * name, so target never names an incomplete file, not even when the process dies mid-copy.
 * An existing target is never replaced (the copy fails instead).
 */
std::optional<QString> copyFile(const QString &source, const QString &target);

/** Where copyFile writes target while copying: a hidden name beside it. */
QString partialCopyPath(const QString &target);
/**
 * Removes the copies that copyFile left unfinished in dir (only names that partialCopyPath
 * makes, only regular files). Returns how many it removed.
 */
int removePartialCopies(const QString &dir);

/**
 * Writes bytes to path through a temporary file beside it that is synced and renamed over the
 * old file only once complete: a failed or interrupted write keeps the previous contents.
 * Creates missing parent folders. nullopt on success, else the reason.
 */
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes);

bool removeFile(const QString &path);

/** True when both files can be read and hold the same bytes. */
bool sameContents(const QString &a, const QString &b);

/**
 * MD5 of the file read in 1 MiB chunks, of its first `limit` bytes when a limit is given;
 * nullopt when it cannot be opened or read.
 */
std::optional<QByteArray> md5OfFile(const QString &path, std::optional<int64_t> limit = std::nullopt);

} // namespace mendral
