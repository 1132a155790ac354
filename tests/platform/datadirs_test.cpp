#include "platform/datadirs.h"
#include "platform/hugepages.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mendral;

namespace {

// Sets environment variables for one test and puts the old values back.
class Environment {
public:
    void set(const char *name, const QString &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~Environment()
    {
        for (auto it = m_saved.begin(); it != m_saved.end(); ++it)
            it.value() ? qputenv(it.key(), *it.value()) : qunsetenv(it.key());
    }

private:
    QMap<const char *, std::optional<QByteArray>> m_saved;
};

} // namespace

// The order: environment, beside the program, the system data folders, then the user's folder.
TEST(DataDirectory, EnvironmentThenBesideTheProgramThenSystemThenUser)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *folder : {"/prefix/bin", "/prefix/share/mendral/models", "/sys1/mendral/models",
                               "/sys2/mendral/models", "/sys3/mendral/models"})
        ASSERT_TRUE(QDir().mkpath(root + folder));
    ASSERT_TRUE(test::writeBytes(root + "/prefix/share/mendral/models/net.json", "{}"));
    ASSERT_TRUE(test::writeBytes(root + "/sys2/mendral/models/net.json", "{}"));
    ASSERT_TRUE(test::writeBytes(root + "/sys3/mendral/models/other.bin", "x"));
    // sys1 holds the folder, but empty.
    const QStringList probes{"net.json", "other.bin"};
    Environment env;
    env.set("MENDRAL_TEST_DATA", QString());
    env.set("XDG_DATA_HOME", root + "/home");
    env.set("XDG_DATA_DIRS", "relative/dir:" + root + "/sys1:" + root + "/sys2:" + root + "/sys3");

    EXPECT_EQ(findDataDirectory("MENDRAL_TEST_DATA", "models", probes, root + "/prefix/bin"),
              root + "/prefix/share/mendral/models");
    // Not beside this program: the first system folder that holds one of the files.
    EXPECT_EQ(findDataDirectory("MENDRAL_TEST_DATA", "models", probes, root + "/elsewhere/bin"),
              root + "/sys2/mendral/models");
    EXPECT_EQ(findDataDirectory("MENDRAL_TEST_DATA", "models", {"other.bin"}, root + "/elsewhere/bin"),
              root + "/sys3/mendral/models");
    // Nowhere: the user's folder, where scripts/setup puts the files.
    EXPECT_EQ(findDataDirectory("MENDRAL_TEST_DATA", "icons", probes, root + "/prefix/bin"),
              root + "/home/Mendral/icons");
    // The variable wins, taken as it is, even over an installed copy.
    env.set("MENDRAL_TEST_DATA", root + "/mine");
    EXPECT_EQ(findDataDirectory("MENDRAL_TEST_DATA", "models", probes, root + "/prefix/bin"), root + "/mine");
}

// The start-up restart for huge pages: only where the kernel's mode asks for it and no one
// else set the allocator's tunables or preloads into the process; the second start gives the
// environment back as the caller had it, so programs it runs inherit nothing.
TEST(HugePages, RestartOnlyWhenTheKernelWaitsToBeAskedAndTheSecondStartCleansUp)
{
    const std::string madvise = "always [madvise] never";
    EXPECT_TRUE(hugePageRestartWanted(nullptr, nullptr, madvise));
    EXPECT_FALSE(hugePageRestartWanted(nullptr, nullptr, "[always] madvise never"));
    EXPECT_FALSE(hugePageRestartWanted(nullptr, nullptr, "always madvise [never]"));
    EXPECT_FALSE(hugePageRestartWanted(nullptr, nullptr, ""));
    EXPECT_FALSE(hugePageRestartWanted("", nullptr, madvise));
    EXPECT_FALSE(hugePageRestartWanted("glibc.malloc.check=0", nullptr, madvise));
    EXPECT_FALSE(hugePageRestartWanted(nullptr, "/usr/lib/valgrind/vgpreload_core-amd64-linux.so", madvise));

    char name[] = "mendral";
    char *argv[] = {name, nullptr};
    Environment env;
    env.set("MENDRAL_HUGE_PAGES", "1");
    env.set("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1");
    restartWithHugePages(argv);
    EXPECT_FALSE(qEnvironmentVariableIsSet("MENDRAL_HUGE_PAGES"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("GLIBC_TUNABLES"));
}
