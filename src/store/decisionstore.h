#pragma once

#include "model/photo.h"
#include "model/photogroup.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace mendral {

/**
 * A photo as the decisions file knows it: where its primary file lies in the source folder and
 * the state of that file. Group numbers change with every regroup; this does not.
 */
struct PhotoIdentity {
    QString path;     // relative to the source folder
    int64_t size = 0; // bytes
    double mtime = 0; // modification time, seconds since 1970; 0 when unknown

    bool operator==(const PhotoIdentity &) const = default;
};

/** Identities of the photos of one import, by photo id. */
using IdentityMap = std::unordered_map<QString, PhotoIdentity>;

/** The user's decisions about the photos of one source folder. */
struct FolderDecisions {
    struct Entry {
        PhotoIdentity identity;
        bool picked = false;
        bool operator==(const Entry &) const = default;
    };
    QString folder;                              // the source folder (absolute)
    std::vector<Entry> photos;                   // the photos that are picked or in a skipped group
    std::vector<std::vector<int>> skippedGroups; // per skipped group its photos, as positions in photos

    bool operator==(const FolderDecisions &) const = default;
};

/**
 * The decisions files: one small binary property list per source folder, in a folder beside
 * the analysis cache. Stateless; DecisionKeeper decides when they are read and written.
 */
namespace DecisionStore {

/** The folder of decisions files that belongs to the analysis cache at cachePath. */
QString folderBeside(const QString &cachePath);
/** The decisions file of sourceFolder inside dir, named by a digest of the folder's path. */
QString fileFor(const QString &dir, const QString &sourceFolder);
/** sourceFolder as the files record it: absolute, without "." or ".." or a trailing slash. */
QString normalFolder(const QString &sourceFolder);

/** The identity of every photo, reading each primary file's modification time. */
IdentityMap identify(const QString &sourceFolder, const std::vector<Photo> &photos);

/**
 * The decisions of groups, by identity. Picks at positions outside a group name no photo and
 * are left out. Entries of absent (photos the import does not hold) are added unchanged.
 */
FolderDecisions collect(const QString &sourceFolder, const std::vector<Photo> &photos,
                        const std::vector<PhotoGroup> &groups, const IdentityMap &identities,
                        const FolderDecisions &absent = {});

/**
 * The part of stored that concerns photos at paths this import does not hold (scanned without
 * sub-folders this time, a file moved away for a while): kept so that a save forgets nothing.
 * A photo whose path is present but whose file changed is dropped: it is another photo now.
 */
FolderDecisions absentFrom(const FolderDecisions &stored, const IdentityMap &present);

/**
 * Puts stored decisions back into freshly built groups: a photo whose identity matches is
 * picked again wherever it now is; a group all of whose photos were in skipped groups is
 * skipped again. Returns how many groups got a decision back.
 */
int restore(std::vector<PhotoGroup> &groups, const std::vector<Photo> &photos,
            const IdentityMap &identities, const FolderDecisions &stored);

QByteArray encode(const FolderDecisions &decisions);
/** nullopt when bytes are not a decisions file or any part of it does not decode. */
std::optional<FolderDecisions> decode(const QByteArray &bytes);

/** What reading a decisions file found. */
struct ReadResult {
    std::optional<FolderDecisions> decisions; // absent when there is no file, or it is damaged
    bool damaged = false; // something is there but cannot be read as the folder's decisions
};
/** Reads the decisions of sourceFolder from path. */
ReadResult read(const QString &path, const QString &sourceFolder);

/**
 * Renames a damaged file (or whatever stands in its place) to a name beside it, so that it is
 * kept for a look by hand and no longer read. Returns the new path, or nullopt on failure.
 */
std::optional<QString> setAside(const QString &path);

/** Writes decisions to path atomically; nullopt on success, else the reason. */
std::optional<QString> save(const QString &path, const FolderDecisions &decisions);

} // namespace DecisionStore

} // namespace mendral
