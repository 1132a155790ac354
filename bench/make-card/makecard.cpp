#include "makecard.h"

#include "cardfiles.h"
#include "framerender.h"

#include "vision/faceshape.h"
#include "vision/facevision.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtConcurrent>

#include <atomic>
#include <cmath>
#include <numbers>
#include <mutex>

namespace mendral::card {

namespace {

struct Written {
    bool ok = false;
    QString error;
    Applied applied;
};

QString rel(const CardPlan &plan, const Frame &f, const QString &ext)
{
    return CardPlan::mainFolder() + '/' + plan.baseName(f) + '.' + ext;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Written writeFrame(const QString &root, const CardPlan &plan, const Frame &f, const Base &base)
{
    Written out;
    const QImage image = renderFrame(base, f, &out.applied);
    const ExifTime when = exifTime(f.time);
    const QString primary = root + '/' + rel(plan, f, f.primaryExt);
    bool ok = false;
    if (f.primaryExt == "HEIC")
        ok = writeHeic(image, primary, exifBlock(when));
    else if (f.primaryExt == "DNG")
        ok = writeDng(image, primary, when) && writeExif(primary, when);
    else
        ok = writeQtImage(image, primary, f.primaryExt) && writeExif(primary, when);
    if (ok && f.rawTwin) {
        const QString twin = root + '/' + rel(plan, f, QStringLiteral("DNG"));
        ok = writeDng(image, twin, when) && writeExif(twin, when);
    }
    if (ok && !f.copyFolder.isEmpty()) {
        const QString copy = root + '/' + f.copyFolder + '/' + plan.baseName(f) + '.' + f.primaryExt;
        ok = QFile::copy(primary, copy);
    }
    out.ok = ok;
    if (!ok)
        out.error = QStringLiteral("could not write %1").arg(primary);
    return out;
}

QJsonObject photoJson(const CardPlan &plan, const Frame &f, const Written &w, const QString &file)
{
    QJsonArray companions;
    if (f.rawTwin)
        companions.append(rel(plan, f, QStringLiteral("DNG")));
    const Applied &a = w.applied;
    QJsonObject photo{{"file", file},
                      {"companions", companions},
                      {"scene", f.scene},
                      {"time", f.time},
                      {"exifTime", exifTime(f.time).dateTime + '.' + exifTime(f.time).subSec},
                      {"blurSigma", a.sigma},
                      {"blurKind", blurKindName(a.blur)},
                      {"motionLength", a.motionLength},
                      {"subjectBlurred", a.blur == BlurKind::Face},
                      {"gain", f.gain},
                      {"ev", std::log2(f.gain)},
                      {"badlyExposed", f.badlyExposed},
                      {"eyesShut", a.eyesShut},
                      {"keeper", f.keeper},
                      {"edgeFramed", f.faceEdge > 0},
                      {"format", f.primaryExt}};
    if (a.blur == BlurKind::Motion)
        photo["motionAngle"] = f.motionAngle * 180.0 / std::numbers::pi;
    if (a.faceEdge > -1)
        photo["faceEdge"] = a.faceEdge;
    return photo;
}

} // namespace

QStringList writeTraps(const QString &root, const CardPlan &plan)
{
    QStringList ignored;
    QDir dir(root);
    const QString main = CardPlan::mainFolder();
    // A readable JPEG to copy into places the scan must not look at.
    QString sample;
    for (const Frame &f : plan.frames)
        if (f.primaryExt == "JPG") {
            sample = root + '/' + main + '/' + plan.baseName(f) + ".JPG";
            break;
        }
    auto place = [&](const QString &relPath) {
        dir.mkpath(QFileInfo(root + '/' + relPath).path());
        if (!sample.isEmpty() && QFile::copy(sample, root + '/' + relPath))
            ignored << relPath;
    };
    writeFile(root + '/' + main + "/IMG_9000.JPG", {});
    ignored << main + "/IMG_9000.JPG";
    place(main + "/.IMG_0001.JPG");
    place(".Trashes/501/IMG_0002.JPG");
    place(QStringLiteral("精选/IMG_0004.JPG"));
    place(QStringLiteral("DCIM/Trip_精选/IMG_0005.JPG"));
    dir.mkpath(main + "/odd.JPG");
    ignored << main + "/odd.JPG";
    for (size_t i = 0; i < std::min<size_t>(3, plan.frames.size()); ++i) {
        const QString xmp = main + '/' + plan.baseName(plan.frames[i]) + ".XMP";
        writeFile(root + '/' + xmp,
                  "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
                  "02/22-rdf-syntax-ns#\"/></x:xmpmeta>\n");
        ignored << xmp;
    }
    dir.mkpath("MISC");
    writeFile(root + "/MISC/notes.txt", "card made for the culling benchmark\n");
    ignored << "MISC/notes.txt";
    return ignored;
}

QJsonObject makeCard(const QString &root, const CardPlan &plan, QString *error,
                     const std::function<void(int, int)> &progress)
{
    QDir dir(root);
    if (dir.exists() && !dir.isEmpty()) {
        *error = QStringLiteral("%1 exists and is not empty").arg(root);
        return {};
    }
    dir.mkpath(CardPlan::mainFolder());
    for (const Frame &f : plan.frames)
        if (!f.copyFolder.isEmpty())
            dir.mkpath(f.copyFolder);

    std::vector<Written> written(plan.frames.size());
    std::atomic<int> done{0};
    std::mutex progressLock;
    const int total = int(plan.frames.size());
    std::vector<int> sceneIndex(plan.scenes.size());
    for (size_t i = 0; i < sceneIndex.size(); ++i)
        sceneIndex[i] = int(i);
    std::mutex faceLock;
    std::vector<int> faceCounts(plan.scenes.size(), 0);
    QtConcurrent::blockingMap(sceneIndex, [&](int s) {
        const Scene &scene = plan.scenes[size_t(s)];
        Base base = loadBase(scene.source.path, plan.options.longSide,
                             scene.source.people ? kPeopleRoom : 1.0);
        if (scene.source.people && !base.image.isNull()) {
            // The program's own detector finds the faces, once per scene; one search at a time.
            std::lock_guard guard(faceLock);
            for (const FaceObservation &face : detectFaceObservations(base.image))
                base.faces.push_back(QRectF(toPixelRect(face.boundingBox, base.image.width(),
                                                        base.image.height())));
            faceCounts[size_t(s)] = int(base.faces.size());
            // Blinks shut the main face's eyes where the landmark model puts them.
            if (!base.faces.empty())
                if (const std::optional<FaceShape> shape = faceShape68(base.image, base.faces.front()))
                    for (const int first : {shape68::rightEyeFirst, shape68::leftEyeFirst}) {
                        std::array<QPointF, 6> eye;
                        for (int k = 0; k < 6; ++k)
                            eye[size_t(k)] = (*shape)[size_t(first + k)];
                        base.mainEyes.push_back(eye);
                    }
        }
        for (int i : scene.frames) {
            if (base.image.isNull())
                written[size_t(i)].error = QStringLiteral("cannot read %1").arg(scene.source.path);
            else
                written[size_t(i)] = writeFrame(root, plan, plan.frames[size_t(i)], base);
            const int now = ++done;
            if (progress) {
                std::lock_guard guard(progressLock);
                progress(now, total);
            }
        }
    });
    for (const Written &w : written)
        if (!w.ok) {
            *error = w.error;
            return {};
        }

    QJsonArray photos, scenes;
    for (size_t i = 0; i < plan.frames.size(); ++i) {
        const Frame &f = plan.frames[i];
        photos.append(photoJson(plan, f, written[i], rel(plan, f, f.primaryExt)));
        if (!f.copyFolder.isEmpty()) {
            QJsonObject copy = photoJson(plan, f, written[i],
                                         f.copyFolder + '/' + plan.baseName(f) + '.' + f.primaryExt);
            copy["companions"] = QJsonArray();
            copy["copyOf"] = rel(plan, f, f.primaryExt);
            photos.append(copy);
        }
    }
    for (size_t s = 0; s < plan.scenes.size(); ++s) {
        const Scene &scene = plan.scenes[s];
        QJsonArray files, keepers, bad, subject, shut;
        for (const QJsonValue &v : photos) {
            const QJsonObject p = v.toObject();
            if (p["scene"].toInt() != scene.id)
                continue;
            files.append(p["file"]);
            if (p["keeper"].toBool())
                keepers.append(p["file"]);
            if (p["badlyExposed"].toBool())
                bad.append(p["file"]);
            if (p["subjectBlurred"].toBool())
                subject.append(p["file"]);
            if (p["eyesShut"].toBool())
                shut.append(p["file"]);
        }
        scenes.append(QJsonObject{{"id", scene.id},
                                  {"kind", scene.kind},
                                  {"source", scene.source.path},
                                  {"people", scene.source.people},
                                  {"files", files},
                                  {"keepers", keepers},
                                  {"badlyExposed", bad},
                                  {"subjectBlurred", subject},
                                  {"eyesShut", shut},
                                  {"faceCount", faceCounts[s]}});
    }
    QJsonArray ignored;
    for (const QString &t : writeTraps(root, plan))
        ignored.append(t);
    return QJsonObject{{"root", QDir(root).absolutePath()},
                       {"longSide", plan.options.longSide},
                       {"seed", int(plan.options.seed)},
                       {"photoCount", photos.size()},
                       {"photos", photos},
                       {"scenes", scenes},
                       {"ignored", ignored}};
}

} // namespace mendral::card
