#pragma once

#include "model/photo.h"
#include "model/photoanalysis.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

namespace mendral {

/** One cached analysis and the state of the primary file it was computed from. */
struct CacheEntry {
    int64_t size = 0;  // bytes of the primary file when analysed
    double mtime = 0;  // its modification time then, seconds since 1970; 0 when unknown
    int version = 0;   // analysis version that produced the result
    PhotoAnalysis analysis;
    bool complete = true; // analysed with every model (see models::missing())

    bool operator==(const CacheEntry &) const = default;
};

/** Cache entries by photo id (the primary file's full path). */
using AnalysisCacheMap = std::unordered_map<QString, CacheEntry>;

/**
 * The analysis cache on disk: one binary property list holding every cached result, read at
 * start-up and written back whole. Nothing here reports an error to the user: a missing,
 * damaged or foreign file reads as an empty cache, and a failed save leaves the previous file.
 */
namespace AnalysisCache {

/**
 * GenericDataLocation + "/Mendral/analysis.plist". Creates the "Mendral" folder (and missing
 * parents) when it is not there; a failure to create it is ignored. Empty when the system
 * names no data location.
 */
QString cacheURL();
inline QString defaultPath() { return cacheURL(); }

/** Modification time of path in seconds since 1970, or 0 when it cannot be read. */
double modificationTime(const QString &path);

/**
 * An entry serves a photo when its version is the current analysis version, its size equals
 * fileSize, and the file's current modification time (asked of currentMtime only once the
 * first two tests pass) differs from the recorded one by less than 1.5 s. An entry analysed
 * without every model serves only while models are still missing (modelsComplete false): once
 * they are back, the photo is analysed again.
 */
bool isValid(const CacheEntry &entry, int64_t fileSize,
             const std::function<double()> &currentMtime, bool modelsComplete = true);
/** The same test for photo, reading the time of photo.url. */
bool isValid(const CacheEntry &entry, const Photo &photo, bool modelsComplete = true);

/**
 * Records analysis for photo under photo.id, with its size and current modification time;
 * `complete` says whether every model took part.
 */
void store(AnalysisCacheMap &cache, const Photo &photo, const PhotoAnalysis &analysis,
           bool complete = true);

/** The file contents for cache; entries are written in key order. */
QByteArray encode(const AnalysisCacheMap &cache);
/** The cache held in bytes, or nullopt when any part of it does not decode. */
std::optional<AnalysisCacheMap> decode(const QByteArray &bytes);

/** Reads the file at path (default: cacheURL()); empty on any failure. */
AnalysisCacheMap load(const QString &path = QString());

/**
 * Writes cache to path (default: cacheURL()) through a temporary file in the same folder that
 * is renamed over the old file only once fully written, so a failed or interrupted save keeps
 * the previous cache. Returns whether the new file is in place.
 */
bool save(const AnalysisCacheMap &cache, const QString &path = QString());

} // namespace AnalysisCache

} // namespace mendral
