// A store in a process of its own, for tests that kill it: imports FOLDER with the analysis
// cache at CACHE, makes decisions in two bursts half a second apart, prints "decided" and then
// idles until it is killed.
//   decision_child CACHE SETTINGS FOLDER

#include "store/appstore.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

using namespace mendral;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: decision_child CACHE SETTINGS FOLDER\n");
        return 2;
    }
    QSettings settings(QString::fromLocal8Bit(argv[2]), QSettings::IniFormat);
    AppStore store(nullptr, &settings, QString::fromLocal8Bit(argv[1]));
    QObject::connect(&store, &AppStore::importFinished, [&] {
        if (store.groups().size() < 4) {
            std::fprintf(stderr, "decision_child: expected at least 4 groups\n");
            QCoreApplication::exit(1);
            return;
        }
        const int a = store.groups()[0].id, b = store.groups()[1].id;
        const int c = store.groups()[2].id, d = store.groups()[3].id;
        store.choose(a, 0);
        store.skip(b);
        QTimer::singleShot(500, [&store, c, d, b] {
            store.choose(c, 0);
            store.togglePick(d, 0);
            store.undo(); // d stays undecided
            store.choose(b, 0); // b is picked after all
            std::printf("decided\n");
            std::fflush(stdout);
        });
    });
    store.start(QString::fromLocal8Bit(argv[3]));
    return QCoreApplication::exec();
}
