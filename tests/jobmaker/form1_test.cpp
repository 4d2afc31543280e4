#include "form1.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "defaultjobfile.hpp"
#include "defaultreads.hpp"
#include "inifiles.hpp"

using namespace jobmaker;

namespace {

struct BoxSeen {
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon;
    QList<QAbstractButton*>::size_type buttonCount;
};

// The dialog on screen, writing to a fresh temporary folder, driven as a user would.
class Form1Test : public testing::Test {
  public:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_form = std::make_unique<Form1>(jobPath());
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QString jobPath() const { return m_dir.filePath(QStringLiteral("thisjob.ini")); }

    template <typename Widget>
    Widget* control(const char* name) const {
        auto* widget = m_form->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) ADD_FAILURE() << "no control " << name;
        return widget;
    }

    QByteArray jobFile() const {
        QFile file(jobPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Clicks "Compile thisjob.ini" and answers every message box it shows with OK.
    std::vector<BoxSeen> compile() {
        return dismissingBoxes(
            [this] { QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton); });
    }

    static std::vector<BoxSeen> dismissingBoxes(const std::function<void()>& action) {
        std::vector<BoxSeen> seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seen.push_back({box->windowTitle(), box->text(), box->informativeText(), box->icon(),
                            box->buttons().size()});
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                QTest::mouseClick(ok, Qt::LeftButton);
            } else {
                box->reject();
            }
        });
        poll.start(10);
        action();
        poll.stop();
        return seen;
    }

    void typeInto(const char* name, const QString& text) {
        auto* box = control<QLineEdit>(name);
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) QTest::keyClick(box, Qt::Key_Backspace);
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
        }
    }

    void pressKeys(const char* name, std::initializer_list<Qt::Key> keys) {
        auto* widget = control<QWidget>(name);
        widget->setFocus(Qt::TabFocusReason);
        for (const Qt::Key key : keys)
            QTest::keyClick(widget, key);
    }

    void toggle(const char* name) {
        auto* box = control<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Form1> m_form;
};

TEST_F(Form1Test, DefaultClickWritesTheExactFileAndConfirms) {
    const std::vector<BoxSeen> boxes = compile();
    EXPECT_EQ(jobFile(), kDefaultJobFile);
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Job settings created."));
    EXPECT_TRUE(boxes[0].informativeText.contains(jobPath()))
        << boxes[0].informativeText.toStdString();
    EXPECT_EQ(boxes[0].title, QStringLiteral("Prelmat"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes[0].buttonCount, 1);
    EXPECT_TRUE(m_form->isVisible());
}

TEST_F(Form1Test, ClickReplacesTheWholeFileEachTime) {
    QFile old(jobPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'x'));
    old.close();
    compile();
    EXPECT_EQ(jobFile(), kDefaultJobFile);

    typeInto("Text2(0)", QStringLiteral("1"));
    compile();
    EXPECT_EQ(jobFile(), defaultJobFileWith(11, "width=1"));
}

TEST_F(Form1Test, AccessKeyAltCWritesTheFile) {
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    // The access key clicks the button after a short animation.
    const std::vector<BoxSeen> boxes = dismissingBoxes([this] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([this] { return QFileInfo::exists(jobPath()); }));
    });
    EXPECT_EQ(boxes.size(), 1U);
    EXPECT_EQ(jobFile(), kDefaultJobFile);
}

TEST_F(Form1Test, UnwritablePathReportsPathAndReasonOnly) {
    // The job path is taken by a folder: the folder is left alone and no success is claimed.
    ASSERT_TRUE(QDir().mkpath(jobPath()));
    const std::vector<BoxSeen> boxes = compile();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes[0].text.contains(jobPath())) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("folder"))) << boxes[0].text.toStdString();
    EXPECT_TRUE(QFileInfo(jobPath()).isDir());
    EXPECT_TRUE(m_form->isVisible());
}

TEST_F(Form1Test, ReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
    QFile old(jobPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const std::vector<BoxSeen> boxes = compile();
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(jobFile(), QByteArray("old"));
}

// One user action on one control, the line of the file it changes, and what the converter's
// reader then finds.
struct ControlChange {
    const char* name;
    std::function<void(Form1Test&)> act;
    int line;
    QByteArray text;
    const char* readSection;
    const char* readKey;
    double readValue;
};

void PrintTo(const ControlChange& change, std::ostream* out) {
    *out << change.name;
}

class ControlChangeTest : public Form1Test, public testing::WithParamInterface<ControlChange> {};

TEST_P(ControlChangeTest, ChangesOnlyItsLineAndItsValue) {
    const ControlChange& change = GetParam();
    change.act(*this);
    compile();
    EXPECT_EQ(jobFile(), defaultJobFileWith(change.line, change.text));

    const std::string path = jobPath().toStdString();
    for (std::size_t i = 0; i < conversion::kJobKeys.size(); ++i) {
        const conversion::JobKey& read = conversion::kJobKeys[i];
        const bool changed = change.readKey != nullptr && read.section == change.readSection &&
                             read.key == change.readKey;
        EXPECT_EQ(INIfiles::ReadININumber(path, read.section, read.key),
                  changed ? change.readValue : kDefaultValues[i])
            << read.section << "/" << read.key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ControlChangeTest,
    testing::Values(
        ControlChange{"DeviceTI83", [](auto& t) { t.pressKeys("Combo1", {Qt::Key_Down}); }, 5,
                      "devicename = TI83", nullptr, nullptr, 0},
        ControlChange{"WidthLettersAsTyped",
                      [](auto& t) { t.typeInto("Text2(0)", QStringLiteral("abc")); }, 11,
                      "width=abc", "media", "width", 0},
        ControlChange{"WidthNonAsciiAsUtf8",
                      [](auto& t) { t.typeInto("Text2(0)", QStringLiteral("9\u00e9")); }, 11,
                      "width=9\xc3\xa9", "media", "width", 9},
        ControlChange{"HeightNumber", [](auto& t) { t.typeInto("Text2(1)", QStringLiteral("80")); },
                      12, "height=80", "media", "height", 80},
        ControlChange{"HeightEmpty", [](auto& t) { t.typeInto("Text2(1)", QString()); }, 12,
                      "height=", "media", "height", 0},
        ControlChange{"QualityAtOne", [](auto& t) { t.pressKeys("HScroll1", {Qt::Key_Home}); }, 13,
                      "quality=7", "media", "quality", 7},
        ControlChange{"QualityBackAtEight",
                      [](auto& t) {
                          t.pressKeys("HScroll1", {Qt::Key_Home, Qt::Key_End});
                      },
                      13, "quality=0", "media", "quality", 0},
        ControlChange{"QualityOneStepLeft",
                      [](auto& t) { t.pressKeys("HScroll1", {Qt::Key_Left}); }, 13, "quality=1",
                      "media", "quality", 1},
        ControlChange{"DitherNatural", [](auto& t) { t.pressKeys("Combo2", {Qt::Key_End}); }, 14,
                      "dithermode=2", "media", "dither", 2},
        ControlChange{"PreviewOff", [](auto& t) { t.toggle("Check1"); }, 15, "preview = 0", "media",
                      "preview", 0},
        ControlChange{"BrightnessFull", [](auto& t) { t.pressKeys("HScroll2(0)", {Qt::Key_End}); },
                      16, "brightness = 255", "media", "brightness", 255},
        ControlChange{"ContrastNone", [](auto& t) { t.pressKeys("HScroll2(1)", {Qt::Key_Home}); },
                      17, "contrast=0", "media", "contrast", 0},
        ControlChange{"ContrastFull", [](auto& t) { t.pressKeys("HScroll2(1)", {Qt::Key_End}); },
                      17, "contrast=128", "media", "contrast", 128},
        ControlChange{"BackgroundWhite", [](auto& t) { t.pressKeys("Combo3", {Qt::Key_Down}); }, 18,
                      "bgwhite = 1", "media", "bgwhite", 1},
        ControlChange{"InterlaceOff", [](auto& t) { t.toggle("Check2"); }, 19, "interlace = 0",
                      "media", "interlace", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, CaptionsShowTheirWholeTextOnTheirControlsRow) {
    // The face differs from the designed one: a caption must neither clip nor reach its control.
    const char* rows[][2] = {{"Label2(1)", "Combo1"},      {"Label2(2)", "Text2(0)"},
                             {"Label2(3)", "Text2(1)"},    {"Label2(4)", "HScroll1"},
                             {"Label2(5)", "Combo2"},      {"Label2(6)", "Check1"},
                             {"Label2(7)", "HScroll2(0)"}, {"Label2(8)", "HScroll2(1)"},
                             {"Label2(9)", "Combo3"},      {"Label2(10)", "Check2"}};
    for (const auto& [captionName, inputName] : rows) {
        const auto* caption = control<QLabel>(captionName);
        const auto* input = control<QWidget>(inputName);
        ASSERT_TRUE(caption != nullptr && input != nullptr);
        EXPECT_EQ(caption->y(), input->y()) << captionName;
        EXPECT_GE(caption->width(), caption->sizeHint().width()) << captionName;
        EXPECT_LT(caption->geometry().right(), input->x()) << captionName;
        EXPECT_EQ(caption->font().pixelSize(), 11) << captionName;
        EXPECT_FALSE(caption->font().bold()) << captionName;
    }
    const auto* heading = control<QLabel>("Label1");
    EXPECT_TRUE(heading->font().bold());
    EXPECT_GE(heading->width(), heading->sizeHint().width());
    EXPECT_EQ(control<QPushButton>("Command2")->geometry(), QRect(8, 288, 113, 33));
}

TEST_F(Form1Test, FixedFrameWithoutMinimizeOrMaximize) {
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("DRYX2 test release"));
    EXPECT_EQ(m_form->minimumSize(), QSize(402, 332));
    EXPECT_EQ(m_form->maximumSize(), QSize(402, 332));
    const Qt::WindowFlags flags = m_form->windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(Form1Test, TabVisitsTheControlsInOrder) {
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    control<QWidget>("Combo1")->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 12; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited.join(u' '), QStringLiteral("Combo1 Text2(0) Text2(1) HScroll1 Combo2 Check1 "
                                                 "HScroll2(0) HScroll2(1) Combo3 Check2 Command2 "
                                                 "Combo1"));
}

}  // namespace
