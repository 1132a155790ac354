// Store tests run an event loop for the import pipeline's continuations, and keep the user's
// data, caches and Trash out of it by pointing the standard locations at a temporary folder.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + "/cache"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
