// The converter's window, driven like a user: layout, statistics, Cancel, closing, errors.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "framedecoder.hpp"
#include "frmvideoconverter.hpp"
#include "process.hpp"
#include "shapes.hpp"
#include "tempdir.hpp"

namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(KELVONAR_SOURCE_DIR) + "/samples/bounce.mp4";

class ConverterWindow : public testing::Test {
  protected:
    void SetUp() override {
        m_job = testprocess::slurp(std::string(KELVONAR_SOURCE_DIR) + "/samples/thisjob.ini");
        writeJob();
    }

    void writeJob() const { std::ofstream(path("thisjob.ini"), std::ios::binary) << m_job; }
    void replaceInJob(const std::string& line, const std::string& replacement) {
        m_job.replace(m_job.find(line), line.size(), replacement);
        writeJob();
    }
    std::string path(const std::string& name) const { return (m_folder / name).string(); }

    conversion::ConverterOptions options(const std::string& video = kSample) const {
        conversion::ConverterOptions o;
        o.FileName = video;
        o.jobPath = path("thisjob.ini");
        o.outputPath = path("my.z80");
        o.seed = 42;
        return o;
    }

    // Runs the window's conversion to its end; returns the exit status.
    static int convert(frmVideoConverter& window) {
        QSignalSpy finished(&window, &frmVideoConverter::finished);
        window.show();
        EXPECT_TRUE(finished.wait(60000));
        return finished.isEmpty() ? -1 : finished.takeFirst().at(0).toInt();
    }

    std::size_t recordsWritten() const {
        std::vector<std::uint8_t> bytes;
        std::ifstream file(path("my.z80"));
        std::string line;
        while (std::getline(file, line)) {
            for (auto at = line.find('%'); at != std::string::npos; at = line.find('%', at + 1)) {
                bytes.push_back(
                    static_cast<std::uint8_t>(std::stoi(line.substr(at + 1, 8), nullptr, 2)));
            }
        }
        return TIFunctions::decodeRecords(bytes, 96 * 64).size();
    }

    template <typename T>
    static T* child(const QWidget& window, const char* name) {
        T* widget = window.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    testsupport::TempDir m_temp;
    const fs::path& m_folder = m_temp.path();
    std::string m_job;
};

// The "key / difference" counts after a caption of the summary, such as "NZCP:     0 / 3".
std::string countsAfter(const std::string& summary, const std::string& caption) {
    // The caption stands alone: "NZCP:" is not the end of "NTNZCP:".
    const std::size_t at = summary.find(" " + caption);
    if (at == std::string::npos) return "caption " + caption + " missing";
    const std::size_t first = summary.find_first_not_of(' ', at + 1 + caption.size());
    const std::size_t slash = summary.find(" / ", first);
    return summary.substr(first, summary.find_first_of(" \n", slash + 3) - first);
}

QRect geometryOf(const QWidget& window, const char* name) {
    const QWidget* widget = window.findChild<QWidget*>(QString::fromUtf8(name));
    return widget == nullptr ? QRect() : widget->geometry();
}

}  // namespace

TEST_F(ConverterWindow, IsLaidOutForThePreview) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    EXPECT_EQ(window.windowTitle(), "DRYX XP Video Converter");
    EXPECT_EQ(window.width(), 361);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(geometryOf(window, "backScreen"), QRect(8, 8, 344, 272));
    EXPECT_EQ(geometryOf(window, "VBackG"), QRect(132, 44, 96, 64));
    EXPECT_EQ(geometryOf(window, "mediaPlayer"), QRect(133, 45, 94, 62));
    EXPECT_EQ(geometryOf(window, "VBorder"), QRect(130, 42, 100, 68));
    EXPECT_EQ(geometryOf(window, "TBorder"), QRect(130, 178, 100, 68));
    EXPECT_EQ(geometryOf(window, "TGT"), QRect(132, 180, 96, 64));
    EXPECT_EQ(geometryOf(window, "Frame1"), QRect(8, 288, 345, 73));
    EXPECT_EQ(geometryOf(window, "Frame2").topLeft(), QPoint(8, 368));
    EXPECT_GT(geometryOf(window, "CancelButton").top(), geometryOf(window, "Frame2").bottom());
    EXPECT_LT(geometryOf(window, "CancelButton").bottom(), window.height());
    EXPECT_EQ(child<QGroupBox>(window, "Frame1")->title(), "General statistics ");
    EXPECT_EQ(child<QLabel>(window, "Label2(9)")->text(), "NEZCMP:");
    EXPECT_EQ(child<QLabel>(window, "FramesCountLabel(7)")->text(), "0 / 0");
    auto* cancel = child<QPushButton>(window, "CancelButton");
    EXPECT_EQ(cancel->text(), "&Cancel");
    EXPECT_TRUE(cancel->isDefault());
}

// Under the font the window really gets, every caption and count of the panel is whole, inside
// the group box, and clear of its neighbours, with room for three-digit counts.
TEST_F(ConverterWindow, TheStatisticsPanelShowsEveryCaptionWhole) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    const auto* panel = child<QGroupBox>(window, "Frame2");
    ASSERT_NE(panel, nullptr);
    std::vector<QLabel*> labels;
    for (int type = 0; type < conversion::kStatisticsRows; ++type) {
        auto* caption =
            child<QLabel>(window, QStringLiteral("Label2(%1)").arg(type).toUtf8().constData());
        auto* count = child<QLabel>(
            window, QStringLiteral("FramesCountLabel(%1)").arg(type).toUtf8().constData());
        ASSERT_TRUE(caption != nullptr && count != nullptr);
        count->setText(QStringLiteral("999 / 999"));
        for (QLabel* label : {caption, count}) {
            const QFontMetrics metrics(label->font());
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
                << label->objectName().toStdString();
            EXPECT_GE(label->height(), metrics.height()) << label->objectName().toStdString();
            // Clear of the frame line drawn along the box's edges.
            EXPECT_TRUE(panel->rect().adjusted(2, 2, -2, -2).contains(label->geometry()))
                << label->objectName().toStdString();
            labels.push_back(label);
        }
        EXPECT_LT(caption->geometry().right(), count->geometry().left());
    }
    for (const QLabel* a : labels) {
        for (const QLabel* b : labels) {
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " " << b->objectName().toStdString();
        }
    }
}

TEST_F(ConverterWindow, WithoutThePreviewTheVideoMovesToTheMiddle) {
    replaceInJob("preview = 1", "preview = 0");
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    EXPECT_EQ(convert(window), 0);
    EXPECT_EQ(geometryOf(window, "VBackG"), QRect(132, 112, 96, 64));
    EXPECT_EQ(geometryOf(window, "mediaPlayer"), QRect(133, 113, 94, 62));
    EXPECT_EQ(geometryOf(window, "VBorder"), QRect(130, 110, 100, 68));
    EXPECT_FALSE(child<QWidget>(window, "TGT")->isVisibleTo(&window));
    EXPECT_FALSE(child<QWidget>(window, "TBorder")->isVisibleTo(&window));
}

// The window converts exactly as the headless mode does, and its labels show the same numbers.
TEST_F(ConverterWindow, LabelsAndOutputEqualTheHeadlessRun) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    ASSERT_EQ(convert(window), 0);
    const std::string windowOutput = testprocess::slurp(path("my.z80"));

    const auto headless = testprocess::run(KELVONAR_EXECUTABLE,
                                           {"--headless", "--job", path("thisjob.ini"), "--output",
                                            path("headless.z80"), "--seed", "42", kSample});
    ASSERT_EQ(headless.status, 0) << headless.err;
    EXPECT_TRUE(testprocess::slurp(path("headless.z80")) == windowOutput);

    // "CAPTION: key / difference" for each code type in the summary.
    for (int type = 0; type < 12; ++type) {
        const QString caption =
            child<QLabel>(window, QStringLiteral("Label2(%1)").arg(type).toUtf8().constData())
                ->text();
        EXPECT_EQ(child<QLabel>(
                      window, QStringLiteral("FramesCountLabel(%1)").arg(type).toUtf8().constData())
                      ->text()
                      .toStdString(),
                  countsAfter(headless.err, caption.toStdString()));
    }
    // The summary counts the video's frames; the window's "estimated" stays the budget's guess.
    const std::string frames = "converted frame " +
                               child<QLabel>(window, "FrameStatusLabel")->text().toStdString() +
                               " of 60, ";
    EXPECT_NE(headless.err.find(frames), std::string::npos) << frames << "\n" << headless.err;
    const std::string line =
        " s, " + child<QLabel>(window, "BytesWrittenLabel")->text().toStdString() + " of " +
        child<QLabel>(window, "BytesToDoLabel")->text().toStdString() + " bytes (" +
        child<QLabel>(window, "PercentDone")->text().toStdString() + "%), compression " +
        child<QLabel>(window, "CompressionLabel")->text().toStdString() + "%";
    EXPECT_NE(headless.err.find(line), std::string::npos) << line << "\n" << headless.err;
    // The preview shows the last screen.
    EXPECT_FALSE(child<PictureBox>(window, "TGT")->picture().isNull());
}

TEST_F(ConverterWindow, CancelDuringTheFirstFrameWritesThatFrame) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    window.setFrameHook([&](std::size_t k) {
        if (k != 0) return;
        // The user presses Cancel while frame 0 is being converted.
        QMetaObject::invokeMethod(
            &window,
            [&] { QTest::mouseClick(child<QPushButton>(window, "CancelButton"), Qt::LeftButton); },
            Qt::BlockingQueuedConnection);
    });
    EXPECT_EQ(convert(window), 130);
    EXPECT_EQ(recordsWritten(), 1U);
}

TEST_F(ConverterWindow, ClosingWhileConvertingSavesTheOutput) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    window.setFrameHook([&](std::size_t k) {
        if (k == 2)
            QMetaObject::invokeMethod(
                &window, [&] { window.close(); }, Qt::BlockingQueuedConnection);
    });
    EXPECT_EQ(convert(window), 130);
    EXPECT_EQ(recordsWritten(), 3U);
}

TEST_F(ConverterWindow, EscapePressesCancel) {
    frmVideoConverter window(options());
    ASSERT_TRUE(window.load());
    window.setFrameHook([&](std::size_t k) {
        if (k == 1)
            QMetaObject::invokeMethod(
                &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); },
                Qt::BlockingQueuedConnection);
    });
    EXPECT_EQ(convert(window), 130);
    EXPECT_EQ(recordsWritten(), 2U);
}

TEST_F(ConverterWindow, UnreadableVideoShowsTheErrorBox) {
    const std::string missing = path("missing.mp4");
    std::string shown;
    QTimer::singleShot(0, [&] {
        // The box is modal: read it and press OK, as the user would.
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text().toStdString();
        EXPECT_EQ(box->windowTitle(), "DRYX XP Video Converter");
        box->accept();
    });
    frmVideoConverter window(options(missing));
    EXPECT_FALSE(window.load());
    EXPECT_NE(shown.find(missing), std::string::npos) << shown;
    EXPECT_EQ(testprocess::slurp(path("my.z80")), "");
}

TEST_F(ConverterWindow, WithoutADisplayTheProgramPointsToHeadless) {
    const auto result =
        testprocess::run("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                          "QT_QPA_PLATFORM", KELVONAR_EXECUTABLE, kSample});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--headless"), std::string::npos) << result.err;
}

// The window closes itself when done; the terminal keeps the summary and where the data went.
TEST_F(ConverterWindow, TheProgramSaysWhereItWroteWhenTheWindowCloses) {
    const auto result = testprocess::run(
        "/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", KELVONAR_EXECUTABLE, "--job",
                         path("thisjob.ini"), "--output", path("my.z80"), kSample});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("converted frame 60 of 60"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("wrote " + path("my.z80")), std::string::npos) << result.err;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
