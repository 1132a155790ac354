#include "commands.h"

#include "analysis/thumbnail.h"
#include "imagecache/jpegfile.h"
#include "platform/filepath.h"

#include <cstdio>

namespace mendral::cli {

namespace {

int usage()
{
    std::fprintf(stderr, "usage: mendral-cli thumbnail FILE --max N --out OUT.jpg\n");
    return 2;
}

} // namespace

int thumbnailCommand(const QStringList &args)
{
    QString file, out;
    int maxPixel = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--max" && i + 1 < args.size()) {
            bool ok = false;
            maxPixel = args[++i].toInt(&ok);
            if (!ok || maxPixel <= 0) {
                std::fprintf(stderr, "mendral-cli thumbnail: --max needs a positive whole number\n");
                return 2;
            }
        } else if (a == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.isEmpty() && !a.startsWith("--")) {
            file = a;
        } else {
            return usage();
        }
    }
    if (file.isEmpty() || out.isEmpty() || maxPixel <= 0)
        return usage();

    const QImage image = Analyzer::thumbnailImage(file, maxPixel);
    if (image.isNull()) {
        std::fprintf(stderr, "mendral-cli thumbnail: no image could be made from %s\n",
                     pathToBytes(file).constData());
        return 1;
    }
    const QByteArray jpeg = JpegFile::encode(image, 82);
    if (jpeg.isEmpty() || !JpegFile::writeAtomically(out, jpeg)) {
        std::fprintf(stderr, "mendral-cli thumbnail: cannot write %s\n", pathToBytes(out).constData());
        return 1;
    }
    std::printf("%dx%d\n", image.width(), image.height());
    return 0;
}

} // namespace mendral::cli
