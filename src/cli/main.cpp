// mendral-cli: the culling pipeline without a window.

#include "commands.h"

#include "platform/filepath.h"
#include "platform/hugepages.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: mendral-cli scan FOLDER [--top-level]\n"
                 "       mendral-cli cull FOLDER [--top-level] [--json] [--export DEST --pick recommended|confident]\n"
                 "       mendral-cli analyze [--faces] FILE...\n"
                 "       mendral-cli thumbnail FILE --max N --out OUT.jpg\n");
}

} // namespace

int main(int argc, char **argv)
{
    mendral::restartWithHugePages(argv);
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        usage();
        return 2;
    }
    // Arguments are file names: keep bytes that are not UTF-8.
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args.append(mendral::pathFromBytes(QByteArray(argv[i])));
    if (std::strcmp(argv[1], "scan") == 0)
        return mendral::cli::scanCommand(args);
    if (std::strcmp(argv[1], "cull") == 0)
        return mendral::cli::cullCommand(args);
    if (std::strcmp(argv[1], "thumbnail") == 0)
        return mendral::cli::thumbnailCommand(args);
    if (std::strcmp(argv[1], "analyze") == 0)
        return mendral::cli::analyzeCommand(args);
    usage();
    return 2;
}
