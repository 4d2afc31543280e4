#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "commandline.hpp"
#include "defaultjobfile.hpp"

using namespace jobmaker;

namespace {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs prelmat with no display at all: a QApplication would fail to start.
ProcessResult runPrelmat(const QStringList& arguments, const QString& program = PRELMAT_EXECUTABLE,
                         const QString& configHome = {},
                         const QString& platform = QStringLiteral("xcb")) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!configHome.isEmpty()) environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (platform.isEmpty()) {
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    } else {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(PrelmatDefaults, WritesTheExactFileWithoutADisplay) {
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.ini"));
    const ProcessResult run =
        runPrelmat({QStringLiteral("--defaults"), QStringLiteral("--job"), path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readAll(path), kDefaultJobFile);
}

// A copy outside the build, even in a writable folder, writes where an installed one does, and
// says where.
TEST(PrelmatDefaults, WritesIntoTheConfigFolderOutsideTheBuild) {
    const QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("prelmat"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PRELMAT_EXECUTABLE), copy));
    const QString config = dir.filePath(QStringLiteral("config"));
    const ProcessResult run = runPrelmat({QStringLiteral("--defaults")}, copy, config);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString job = config + QStringLiteral("/kelvonar/thisjob.ini");
    EXPECT_EQ(readAll(job), kDefaultJobFile);
    EXPECT_TRUE(run.out.contains(job.toUtf8())) << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("thisjob.ini"))));
}

TEST(PrelmatDefaults, UnwritablePathFailsNamingPathAndReason) {
    const QTemporaryDir dir;
    const QString missingFolder = dir.filePath(QStringLiteral("missing/thisjob.ini"));
    for (const QString& path : {dir.path(), missingFolder}) {
        const ProcessResult run =
            runPrelmat({QStringLiteral("--defaults"), QStringLiteral("--job=") + path});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains(path.toUtf8())) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("folder")) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(missingFolder));
}

TEST(PrelmatCommandLine, HelpAndMistakes) {
    const ProcessResult help = runPrelmat({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--defaults"));
    EXPECT_TRUE(help.out.contains("--job PATH"));
    EXPECT_EQ(runPrelmat({QStringLiteral("--defaults"), QStringLiteral("--bogus")}).exitCode, 2);
    // Without a display the unknown option is named, not the missing display.
    const ProcessResult bogus =
        runPrelmat({QStringLiteral("--bogus")}, PRELMAT_EXECUTABLE, {}, QString());
    EXPECT_EQ(bogus.exitCode, 2);
    EXPECT_TRUE(bogus.err.contains("--bogus")) << bogus.err.toStdString();
    EXPECT_FALSE(bogus.err.contains("display")) << bogus.err.toStdString();
    EXPECT_EQ(runPrelmat({QStringLiteral("--defaults"), QStringLiteral("--job")}).exitCode, 2);
}

TEST(PrelmatCommandLine, ParsesJobPathInBothForms) {
    EXPECT_EQ(parsePrelmatArguments({QStringLiteral("--job"), QStringLiteral("a b.ini")}).jobPath,
              QStringLiteral("a b.ini"));
    const PrelmatOptions options =
        parsePrelmatArguments({QStringLiteral("--job=x.ini"), QStringLiteral("--defaults")});
    EXPECT_EQ(options.jobPath, QStringLiteral("x.ini"));
    EXPECT_TRUE(options.defaults);
    EXPECT_THROW(parsePrelmatArguments({QStringLiteral("--job=")}), support::UsageError);
    EXPECT_THROW(parsePrelmatArguments({QStringLiteral("x.ini")}), support::UsageError);
}

}  // namespace
