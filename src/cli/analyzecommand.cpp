#include "commands.h"

#include "analysis/analyzer.h"
#include "platform/filepath.h"
#include "vision/modelcheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cstdio>

namespace mendral::cli {

namespace {

// A float as the shortest decimal that reads back as the same float (0.6f prints as 0.6, not
// as the double 0.60000002384185791).
QJsonValue number(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, int(end - text)).toDouble();
}

QJsonValue floats(const std::vector<float> &values)
{
    QJsonArray list;
    for (float v : values)
        list.append(number(v));
    return list;
}

QJsonValue floats(const std::optional<std::vector<float>> &values)
{
    return values ? floats(*values) : QJsonValue(QJsonValue::Null);
}

QJsonObject analysisJson(const PhotoAnalysis &a)
{
    QJsonArray facePrints;
    for (const std::vector<float> &print : a.facePrints)
        facePrints.append(floats(print));
    return QJsonObject{{"sharpness", number(a.sharpness)},
                       {"exposure", number(a.exposure)},
                       {"brightness", number(a.brightness)},
                       {"highlights", number(a.highlights)},
                       {"shadows", number(a.shadows)},
                       {"faceCount", a.faceCount},
                       {"faceQuality", number(a.faceQuality)},
                       {"eyeOpen", number(a.eyeOpen)},
                       {"featurePrint", floats(a.featurePrint)},
                       {"facePrints", facePrints},
                       {"mainFaceSide", number(a.mainFaceSide)},
                       {"humanCount", a.humanCount},
                       {"hairPrint", floats(a.hairPrint)},
                       {"torsoPrint", floats(a.torsoPrint)}};
}

QJsonArray facesJson(const std::vector<Analyzer::FaceReport> &faces)
{
    QJsonArray list;
    for (const Analyzer::FaceReport &f : faces) {
        const QJsonArray box{f.box.x, f.box.y, f.box.w, f.box.h};
        list.append(QJsonObject{
            {"box", box},
            {"quality", f.quality ? number(*f.quality) : QJsonValue(QJsonValue::Null)},
            {"eyeOpen", f.eyeOpen ? number(*f.eyeOpen) : QJsonValue(QJsonValue::Null)}});
    }
    return list;
}

} // namespace

int analyzeCommand(const QStringList &args)
{
    bool withFaces = false;
    QStringList files;
    for (const QString &a : args) {
        if (a == "--faces")
            withFaces = true;
        else
            files.append(a);
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: mendral-cli analyze [--faces] FILE...\n");
        return 2;
    }

    // Without its models the analysis still runs, with fewer fields: say so first.
    const QString notice = models::notice(models::missing());
    if (!notice.isEmpty())
        std::fprintf(stderr, "%s\n", notice.toUtf8().constData());

    bool allAnalysed = true;
    QJsonArray list;
    for (const QString &file : files) {
        std::vector<Analyzer::FaceReport> faces;
        const std::optional<PhotoAnalysis> a = Analyzer::analyze(file, defaultVision(), faces);
        QJsonObject entry{{"path", file},
                          {"analysis", a ? QJsonValue(analysisJson(*a)) : QJsonValue(QJsonValue::Null)}};
        if (withFaces)
            entry.insert("faces", facesJson(faces));
        if (!a) {
            allAnalysed = false;
            std::fprintf(stderr, "mendral-cli analyze: cannot read %s as an image\n",
                         pathToBytes(file).constData());
        }
        list.append(entry);
    }
    const QByteArray json = QJsonDocument(QJsonObject{{"files", list}}).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    // The listing is complete either way; the exit code tells whether every file was analysed.
    return allAnalysed ? 0 : 1;
}

} // namespace mendral::cli
