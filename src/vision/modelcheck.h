#pragma once

#include <QString>
#include <QStringList>

/**
 * Whether the analysis has all of its models: the neural networks that scripts/setup fetches
 * and dlib's landmark model from the system's data package. Without them photos are still
 * analysed, but without scene prints, face prints, eye checks or people counts, so the
 * program tells the user instead of grouping worse in silence.
 */
namespace mendral::models {

/**
 * One line per model the analysis lacks, naming its file and whether it is missing or does not
 * load; empty when every model is in place. Loads the models on the first call (they load once
 * a run). Thread-safe.
 */
QStringList missing();

/** What the user is told about `missing`: what lacks, what it costs, how to mend it. Empty when
 *  nothing is missing. */
QString notice(const QStringList &missing);

} // namespace mendral::models
