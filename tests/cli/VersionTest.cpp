#include "CliProcess.h"

#include "cli/CliRun.h"
#include "core/app/VersionInfo.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

// quorvel-cli --version and the window's About box (which reads the version block of the quorvel
// program file) show the same version, and it is the project's: major and minor of project().
TEST(Version, CliAndWindowShowTheProjectsVersion)
{
    const QStringList project = QStringLiteral(QUORVEL_PROJECT_VERSION).split(u'.');
    ASSERT_GE(project.size(), 2);
    const QString expected = project.at(0) + u'.' + project.at(1);

    const AppIdentity window = readAppIdentity(QStringLiteral(QUORVEL_GUI_PATH));
    ASSERT_EQ(window.error, QString());
    EXPECT_EQ(window.AppVersion, expected);
    EXPECT_EQ(window.AppProductName, u"Quorvel"_s);

    const CliRun run = runCli({u"--version"_s});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "quorvel-cli " + expected.toUtf8() + "\n");
    EXPECT_EQ(cliVersionLine(), u"quorvel-cli "_s + window.AppVersion + u'\n');
}

} // namespace quorvel::test
