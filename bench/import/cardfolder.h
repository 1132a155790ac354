#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace mendral::bench {

/**
 * Digest of every entry under folder (hidden ones included, links not followed): its path
 * relative to folder, its type, size and modification time to the nanosecond. Two equal
 * digests mean nothing under the folder was added, removed, renamed, resized or touched.
 */
QByteArray folderDigest(const QString &folder);

/** Reads every regular file under folder once, so that the page cache holds the folder;
 *  returns the bytes read. */
int64_t warmFolder(const QString &folder);

/** Makes the small benchmark card in dir with the card maker; an error text, empty on success. */
QString makeSmallCard(const QString &dir);

} // namespace mendral::bench
