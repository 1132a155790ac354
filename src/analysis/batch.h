#pragma once

#include "model/photo.h"
#include "model/photoanalysis.h"

#include <QString>

#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace mendral {

/** Analyses by photo id; a photo whose analysis produced nothing has no entry. */
using AnalysisResults = std::unordered_map<QString, PhotoAnalysis>;

namespace Analyzer {

/** Analyses the file at a URL; nothing when no rendition of it can be made. */
using AnalyzeFunction = std::function<std::optional<PhotoAnalysis>(const QString &url)>;

/** Active processor cores minus one, clamped to 2…6. */
int defaultConcurrency();

/**
 * Analyses photos with at most maxConcurrent analyses running at once (values below 1 count as
 * 1). Analyses start in list order, a new one as soon as one finishes. After every finished
 * photo: its result is kept under the photo's id (a later photo with the same id replaces it),
 * progress(finished / n) is called when the finished count is a multiple of 3 or equals n,
 * then isCancelled() is asked; once it answers true no further analysis starts, the running
 * ones are waited for and their results dropped.
 *
 * Blocks until done. Both callbacks are called one at a time on a thread this call starts,
 * never on the caller's thread (so never on the main thread). analyze runs on worker threads
 * and must be re-entrant; an exception from it counts as "no result".
 */
AnalysisResults analyzeAll(const std::vector<Photo> &photos, int maxConcurrent,
                           const std::function<void(double)> &progress,
                           const std::function<bool()> &isCancelled,
                           const AnalyzeFunction &analyze);

/** analyzeAll with the program's own per-photo analysis, Analyzer::analyze. */
AnalysisResults analyzeAll(const std::vector<Photo> &photos, int maxConcurrent,
                           const std::function<void(double)> &progress,
                           const std::function<bool()> &isCancelled);

} // namespace Analyzer

} // namespace mendral
