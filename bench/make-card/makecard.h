#pragma once

#include "cardplan.h"

#include <QJsonObject>
#include <QString>

#include <functional>

namespace mendral::card {

/**
 * Writes the planned card under root (which must be empty or absent) and returns its ground
 * truth: every photo the folder should yield (primary file, companions, scene, time, the blur
 * and exposure as rendered), every scene with its keeper, badly exposed and face-blurred frames
 * and the faces the detector found in it, and the files a scan must ignore. On failure returns
 * an empty object and sets error.
 */
QJsonObject makeCard(const QString &root, const CardPlan &plan, QString *error,
                     const std::function<void(int done, int total)> &progress = {});

/** Files that look like photos but must never become photos: empty, hidden, sidecars, picks. */
QStringList writeTraps(const QString &root, const CardPlan &plan);

} // namespace mendral::card
