#include "form1.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <utility>

#include "jobfilewriter.hpp"

namespace jobmaker {

namespace {

// The dialog is laid out in twips; 15 twips are one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

// A plain sans-serif face at 8.25 points on a 96 dpi screen, 11 pixels.
// Captions are sized to their text: where this face is wider than the designed one, the caption
// grows to the right rather than clip.
void placeCaption(QLabel* label, const QRect& designed) {
    label->setGeometry(
        designed.adjusted(0, 0, std::max(0, label->sizeHint().width() - designed.width()), 0));
}

QFont dialogFont() {
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QScrollBar* makeScrollBar(QWidget* parent, const QString& name, int minimum, int maximum,
                          int value) {
    auto* scrollBar = new QScrollBar(Qt::Horizontal, parent);
    scrollBar->setObjectName(name);
    scrollBar->setRange(minimum, maximum);
    scrollBar->setSingleStep(1);
    scrollBar->setPageStep(1);
    scrollBar->setValue(value);
    scrollBar->setFocusPolicy(Qt::StrongFocus);
    // A scroll bar's keys are inverted by default, which makes Left move a horizontal one right.
    scrollBar->setInvertedControls(false);
    return scrollBar;
}

QComboBox* makeList(QWidget* parent, const QString& name, const QStringList& entries) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->addItems(entries);
    return list;
}

}  // namespace

Form1::Form1(QString jobFilePath, QWidget* parent)
    : QDialog(parent), m_jobFilePath(std::move(jobFilePath)) {
    setWindowTitle(QStringLiteral("DRYX2 test release"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(dialogFont());
    setFixedSize(6030 / kTwipsPerPixel, 4980 / kTwipsPerPixel);
    createControls();
    placeControls();

    // On load every list shows its first entry.
    for (QComboBox* list : {m_combo1, m_combo2, m_combo3})
        list->setCurrentIndex(0);
}

JobSettings Form1::settings() const {
    JobSettings settings;
    settings.deviceName = m_combo1->currentText();
    settings.width = m_text2[0]->text();
    settings.height = m_text2[1]->text();
    settings.qualityPosition = m_hScroll1->value();
    settings.ditherMode = m_combo2->currentIndex();
    settings.preview = m_check1->isChecked();
    settings.brightness = m_hScroll2[0]->value();
    settings.contrast = m_hScroll2[1]->value();
    settings.background = m_combo3->currentIndex();
    settings.interlace = m_check2->isChecked();
    return settings;
}

void Form1::createControls() {
    const JobSettings defaults;
    const auto caption = [this](int index, const char* text) {
        m_label2[index] = new QLabel(QString::fromLatin1(text), this);
        m_label2[index]->setObjectName(QStringLiteral("Label2(%1)").arg(index));
    };
    const auto textBox = [this](int index, const QString& text) {
        m_text2[index] = new QLineEdit(text, this);
        m_text2[index]->setObjectName(QStringLiteral("Text2(%1)").arg(index));
    };
    const auto checkBox = [this](const char* name, const char* text, bool checked) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(checked);
        return box;
    };

    // Created in tab order, which is also the order of the focus chain.
    m_label1 = new QLabel(QStringLiteral("Conversion options"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    QFont headingFont = font();
    headingFont.setBold(true);
    m_label1->setFont(headingFont);

    caption(1, "Target device:");
    m_combo1 = makeList(this, QStringLiteral("Combo1"), {"TI82", "TI83"});
    caption(2, "Video width:");
    textBox(0, defaults.width);
    caption(3, "Video height:");
    textBox(1, defaults.height);
    caption(4, "Video quality:");
    m_hScroll1 = makeScrollBar(this, QStringLiteral("HScroll1"), 1, 8, defaults.qualityPosition);
    caption(5, "Dithermode:");
    m_combo2 = makeList(this, QStringLiteral("Combo2"), {"None", "Linear", "Natural"});
    caption(6, "Preview:");
    m_check1 = checkBox("Check1", "Preview while converting", defaults.preview);
    caption(7, "Brightness:");
    m_hScroll2[0] = makeScrollBar(this, QStringLiteral("HScroll2(0)"), 0, 255, defaults.brightness);
    caption(8, "Contrast:");
    m_hScroll2[1] = makeScrollBar(this, QStringLiteral("HScroll2(1)"), 0, 128, defaults.contrast);
    caption(9, "Background:");
    m_combo3 = makeList(this, QStringLiteral("Combo3"), {"Black", "White"});
    caption(10, "Interlacing:");
    m_check2 =
        checkBox("Check2", "Interlace heavy motion frames (recommended)", defaults.interlace);
    m_command2 = new QPushButton(QStringLiteral("&Compile thisjob.ini"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    // Enter in a text box must not write the file.
    m_command2->setAutoDefault(false);
    connect(m_command2, &QPushButton::clicked, this, &Form1::compileJobFile);

    const std::array<QWidget*, 11> tabOrder = {m_combo1, m_text2[0], m_text2[1],    m_hScroll1,
                                               m_combo2, m_check1,   m_hScroll2[0], m_hScroll2[1],
                                               m_combo3, m_check2,   m_command2};
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void Form1::placeControls() {
    placeCaption(m_label1, twips(120, 120, 1635, 195));

    // Captions at left 120, the input controls at left 1320, each on its caption's row.
    struct Row {
        int top;
        int captionWidth;
        QWidget* input;
        int inputWidth;
        int inputHeight;
    };
    const std::array<Row, 10> rows = {{
        {360, 1035, m_combo1, 1815, 315},
        {840, 870, m_text2[0], 1335, 285},
        {1200, 930, m_text2[1], 1335, 285},
        {1560, 945, m_hScroll1, 3015, 255},
        {1920, 855, m_combo2, 1815, 315},
        {2400, 615, m_check1, 4215, 255},
        {2760, 780, m_hScroll2[0], 3015, 255},
        {3120, 630, m_hScroll2[1], 3015, 255},
        {3480, 915, m_combo3, 1815, 315},
        {3960, 780, m_check2, 4335, 255},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        placeCaption(m_label2[i + 1], twips(120, row.top, row.captionWidth, 195));
        row.input->setGeometry(twips(1320, row.top, row.inputWidth, row.inputHeight));
    }
    m_command2->setGeometry(twips(120, 4320, 1695, 495));
}

void Form1::compileJobFile() {
    const QString title = QString::fromLatin1(kProgramTitle);
    try {
        writeJobFile(m_jobFilePath, jobFileText(settings()));
    } catch (const support::FileError& error) {
        QMessageBox failure(QMessageBox::Critical, title, QString::fromStdString(error.what()),
                            QMessageBox::Ok, this);
        failure.exec();
        return;
    }
    QMessageBox done(QMessageBox::NoIcon, title, QStringLiteral("Job settings created."),
                     QMessageBox::Ok, this);
    done.setInformativeText(
        QStringLiteral("Written to %1").arg(QFileInfo(m_jobFilePath).absoluteFilePath()));
    done.exec();
}

}  // namespace jobmaker
