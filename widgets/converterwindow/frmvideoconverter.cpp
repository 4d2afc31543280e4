#include "frmvideoconverter.hpp"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <cmath>
#include <iostream>

#include "converter.hpp"
#include "headless.hpp"
#include "shapes.hpp"
#include "tifunctions.hpp"

namespace {

const QString kCaption = QStringLiteral("DRYX XP Video Converter");

// The window's font: a sans-serif face at 11 pixels, the size of 8.25 points at 96 dots an inch.
QFont windowFont(bool bold) {
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

QColor toColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

// A whole pixel for a window coordinate: the pixel whose centre the coordinate reaches, so that
// half-way positions go to the lower pixel, as the sampled picture does.
int toPixel(float coordinate) {
    return static_cast<int>(std::ceil(coordinate - 0.5F));
}

QRect toRect(const capture::Rect& r) {
    const int left = toPixel(r.left);
    const int top = toPixel(r.top);
    return QRect(left, top, std::max(0, toPixel(r.left + r.width) - left),
                 std::max(0, toPixel(r.top + r.height) - top));
}

QImage toImage(const capture::Picture& picture) {
    if (picture.empty()) return {};
    QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                 QImage::Format_RGB888);
    return image.copy();  // the picture's memory belongs to the converter
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, bool bold,
              int width = 0, QColor colour = Qt::black) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(windowFont(bold));
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, colour);
    l->setPalette(palette);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->adjustSize();
    l->setGeometry(x, y, width > 0 ? width : l->width(), 13);
    return l;
}

}  // namespace

// Runs on the converting thread: hands the state over to the window without waiting for it.
class frmVideoConverter::Observer final : public conversion::RunObserver {
  public:
    explicit Observer(frmVideoConverter& window) : m_window(window) {}

    void jobValue(std::string_view section, std::string_view key, double value,
                  const std::string& origin) override {
        if (m_window.m_options.verbose) {
            std::cerr << "kelvonar: job value [" << section << "] " << key << " = "
                      << conversion::plainNumber(value) << " (" << origin << ")\n";
        }
    }
    void fitChosen(const std::string& options, std::size_t bytes) override {
        std::cerr << "kelvonar: --fit chose " << options << " (" << bytes << " bytes)\n";
    }
    void warning(const std::string& message) override {
        std::cerr << "kelvonar: warning: " << message << '\n';
    }
    void conversionStarted(const conversion::ConvertSettings& settings,
                           const capture::Layout& layout) override {
        const QString budget = QString::fromStdString(conversion::plainNumber(settings.MaxBytes));
        QMetaObject::invokeMethod(
            &m_window,
            [this, layout, budget] {
                m_window.applyLayout(layout);
                m_window.BytesToDoLabel->setText(budget);
            },
            Qt::QueuedConnection);
    }
    void canvasTaken(std::size_t k, const TIFunctions::BitString&) override {
        if (m_window.m_frameHook) m_window.m_frameHook(k);
    }
    void pictureSampled(std::size_t, const capture::Picture& picture) override {
        QImage image = toImage(picture);
        {
            std::lock_guard lock(m_window.m_pendingMutex);
            m_window.m_pending.hasPicture = true;
            m_window.m_pending.picture = std::move(image);
        }
        queueUpdate();
    }
    void frameDone(const conversion::FrameReport&, const capture::Picture& preview,
                   const conversion::StatisticsLabels& labels) override {
        QImage image = toImage(preview);
        {
            std::lock_guard lock(m_window.m_pendingMutex);
            m_window.m_pending.hasFrame = true;
            m_window.m_pending.preview = std::move(image);
            m_window.m_pending.labels = labels;
        }
        queueUpdate();
    }

  private:
    // One update in flight at a time: a slow screen skips frames, never the last one.
    void queueUpdate() {
        if (m_window.m_updateQueued.exchange(true)) return;
        QMetaObject::invokeMethod(
            &m_window, [this] { m_window.flushPending(); }, Qt::QueuedConnection);
    }

    frmVideoConverter& m_window;
};

frmVideoConverter::frmVideoConverter(conversion::ConverterOptions options, QWidget* parent)
    : QDialog(parent),
      m_options(std::move(options)),
      m_observer(std::make_unique<Observer>(*this)) {
    setObjectName(QStringLiteral("frmVideoConverter"));
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(windowFont(false));
    buildControls();
}

frmVideoConverter::~frmVideoConverter() {
    if (m_worker.joinable()) {
        WantToStop() = true;
        m_worker.join();
    }
}

void frmVideoConverter::buildControls() {
    backScreen = new ShapeWidget(QStringLiteral("backScreen"), QColor(0, 0, 0), std::nullopt, this);
    backScreen->setGeometry(8, 8, 344, 272);
    const QColor blue = toColor(capture::kBorderColour);
    VBorder = new ShapeWidget(QStringLiteral("VBorder"), QColor(0, 0, 0), blue, this);
    VBackG = new ShapeWidget(QStringLiteral("VBackG"), QColor(0, 0, 0), std::nullopt, this);
    mediaPlayer = new PictureBox(QStringLiteral("mediaPlayer"), this);
    TBorder = new ShapeWidget(QStringLiteral("TBorder"), std::nullopt, blue, this);
    TGT = new PictureBox(QStringLiteral("TGT"), this);

    Frame1 = new QGroupBox(QStringLiteral("General statistics "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(windowFont(true));
    Frame1->setGeometry(8, 288, 345, 73);
    struct Row {
        const char* caption;
        int captionIndex;
        QLabel** value;
        const char* value2Name;
        QLabel** value2;
        const char* middleName;
        const char* middle;
        const char* lastName;
        const char* last;
    };
    const Row rows[] = {
        {"Bytes written:", 0, &BytesWrittenLabel, "BytesToDoLabel", &BytesToDoLabel, "Label3", "of",
         "Label8", "maximal"},
        {"Frame status:", 2, &FrameStatusLabel, "FramesExpectedLabel", &FramesExpectedLabel,
         "Label5", "of", "Label6", "estimated"},
        {"Compression:", 1, &CompressionLabel, "PercentDone", &PercentDone, "Label4", "%", "Label7",
         "% done"},
    };
    const char* valueNames[] = {"BytesWrittenLabel", "FrameStatusLabel", "CompressionLabel"};
    for (int r = 0; r < 3; ++r) {
        const Row& row = rows[r];
        const int top = 16 * (r + 1);
        label(Frame1, QStringLiteral("Label1(%1)").arg(row.captionIndex),
              QString::fromUtf8(row.caption), 8, top, false);
        *row.value =
            label(Frame1, QString::fromUtf8(valueNames[r]), QStringLiteral("0"), 80, top, true, 88);
        label(Frame1, QString::fromUtf8(row.middleName), QString::fromUtf8(row.middle), 176, top,
              false);
        *row.value2 = label(Frame1, QString::fromUtf8(row.value2Name), QStringLiteral("0"), 192,
                            top, true, 88);
        label(Frame1, QString::fromUtf8(row.lastName), QString::fromUtf8(row.last), 288, top,
              false);
    }

    Frame2 = new QGroupBox(QStringLiteral("Frame statistics key/diff "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFont(windowFont(true));
    const QColor blueText(0, 0, 64), redText(64, 0, 0), greenText(0, 64, 0);
    // Byte-run codes in blue, bit-run codes in red, the counters without a codec in green.
    const auto colourOf = [&](int type) {
        if (type >= TIFunctions::kCodeTypeCount) return greenText;
        const auto chain = TIFunctions::kCodeTypes[static_cast<std::size_t>(type)].chain;
        return chain == TIFunctions::Chain::ByteRun ? blueText : redText;
    };
    const auto captionOf = [](int type) {
        const std::string_view caption = TIFunctions::codeTypeCaption(type);
        return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    };
    // Laid out by the font's metrics: every caption whole, its count after it, and the counts
    // sharing what the widest captions leave.
    const QFontMetrics plain(windowFont(false));
    const QFontMetrics bold(windowFont(true));
    const int rowHeight = std::max(plain.height(), bold.height());
    const int pitch = rowHeight + 2;
    const int firstRow = bold.height() + 3;  // below the group's title
    const int gap = plain.horizontalAdvance(QLatin1Char(' '));
    std::array<int, TIFunctions::kPanelColumns> captionWidths{};
    for (int row = 0; row < TIFunctions::kPanelRows; ++row) {
        for (int column = 0; column < TIFunctions::kPanelColumns; ++column) {
            int& width = captionWidths[static_cast<std::size_t>(column)];
            width = std::max(width,
                             plain.horizontalAdvance(captionOf(TIFunctions::kPanel[row][column])));
        }
    }
    const int inner = 345 - 16;
    int captionsTotal = 0;
    for (const int width : captionWidths)
        captionsTotal += width + gap;
    const int countWidth = (inner - captionsTotal) / TIFunctions::kPanelColumns;
    Frame2->setGeometry(8, 368, 345, firstRow + TIFunctions::kPanelRows * pitch + 4);
    int left = 8;
    for (int column = 0; column < TIFunctions::kPanelColumns; ++column) {
        const int captionWidth = captionWidths[static_cast<std::size_t>(column)];
        for (int row = 0; row < TIFunctions::kPanelRows; ++row) {
            const int type = TIFunctions::kPanel[row][column];
            const int top = firstRow + row * pitch;
            QLabel* caption = label(Frame2, QStringLiteral("Label2(%1)").arg(type), captionOf(type),
                                    left, top, false, 0, colourOf(type));
            caption->setGeometry(left, top, captionWidth, rowHeight);
            QLabel* count = label(Frame2, QStringLiteral("FramesCountLabel(%1)").arg(type),
                                  QStringLiteral("0 / 0"), left + captionWidth + gap, top, true,
                                  countWidth, colourOf(type));
            count->setGeometry(left + captionWidth + gap, top, countWidth, rowHeight);
            FramesCountLabel[static_cast<std::size_t>(type)] = count;
        }
        left += captionWidth + gap + countWidth;
    }

    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    const int buttonTop = Frame2->geometry().bottom() + 8;
    CancelButton->setGeometry(264, buttonTop, 89, 25);
    setFixedSize(361, buttonTop + 25 + 7);
    CancelButton->setDefault(true);
    CancelButton->setAutoDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &frmVideoConverter::CancelButton_Click);

    BeginTimer = new QTimer(this);
    BeginTimer->setObjectName(QStringLiteral("BeginTimer"));
    BeginTimer->setInterval(100);
    BeginTimer->setSingleShot(true);
    connect(BeginTimer, &QTimer::timeout, this, &frmVideoConverter::BeginTimer_Timer);
}

bool frmVideoConverter::load() {
    const conversion::RunPaths paths = conversion::defaultPaths(
        conversion::programDirectory(), m_options.jobPath, m_options.outputPath, m_options.dumpDir);
    try {
        m_converter = std::make_unique<conversion::Converter>(
            paths, m_options.seed.value_or(capture::UniformRandom::seedFromTimeOfDay()),
            *m_observer, m_options.jobValues);
        m_converter->setStretch(m_options.stretch);
        m_converter->setFit(m_options.fit);
        m_converter->setKeepAspect(m_options.keepAspect);
        m_converter->setDeinterlace(m_options.deinterlace);
        m_converter->setThreads(m_options.threads);
        m_converter->load(m_options.FileName);
    } catch (const std::exception& error) {
        showError(QString::fromStdString(error.what()));
        return false;
    }
    applyLayout(m_converter->layout());
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_state = State::Loaded;
    BeginTimer->start();
    return true;
}

std::atomic<bool>& frmVideoConverter::WantToStop() {
    static std::atomic<bool> noConverter{false};
    return m_converter ? m_converter->WantToStop() : noConverter;
}

void frmVideoConverter::BeginTimer_Timer() {
    if (m_state != State::Loaded) return;
    DoConvert();
}

void frmVideoConverter::DoConvert() {
    m_state = State::Converting;
    m_worker = std::thread([this] {
        int status = support::kExitDone;
        QString error;
        try {
            m_statistics = m_converter->DoConvert();
            if (WantToStop()) status = support::kExitCancelled;
        } catch (const std::exception& e) {
            status = support::kExitFailed;
            error = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, status, error] { conversionEnded(status, error); }, Qt::QueuedConnection);
    });
}

void frmVideoConverter::CancelButton_Click() {
    if (m_state == State::Converting) WantToStop() = true;
    if (m_state == State::Loaded) {
        // Nothing converted yet: stop before anything starts.
        BeginTimer->stop();
        m_state = State::Ended;
        emit finished(support::kExitCancelled);
    }
}

void frmVideoConverter::reject() {
    CancelButton->click();
}

void frmVideoConverter::closeEvent(QCloseEvent* event) {
    // Closing is Cancel: the frame in progress is finished and what was converted is saved;
    // the window goes once the output is written.
    if (m_state == State::Ended) {
        event->accept();
        return;
    }
    event->ignore();
    CancelButton->click();
}

void frmVideoConverter::conversionEnded(int exitStatus, const QString& error) {
    if (m_worker.joinable()) m_worker.join();
    flushPending();
    m_state = State::Ended;
    if (error.isEmpty()) {
        // The window closes itself: the terminal keeps what the run did and where it wrote.
        conversion::printRunEnd(std::cerr, *m_converter, m_statistics, m_options.stretch);
    } else {
        std::cerr << "kelvonar: " << error.toStdString() << '\n';
        showError(error);
    }
    emit finished(exitStatus);
}

void frmVideoConverter::applyLayout(const capture::Layout& layout) {
    VBackG->setGeometry(toRect(layout.vBackG));
    VBackG->setFill(toColor(layout.background));
    VBorder->setGeometry(toRect(layout.vBorder));
    VBorder->setFill(toColor(layout.background));
    mediaPlayer->setGeometry(toRect(layout.player));
    TBorder->setGeometry(toRect(layout.tBorder));
    TGT->setGeometry(toRect(layout.tgt));
    TBorder->setVisible(layout.previewVisible);
    TGT->setVisible(layout.previewVisible);
}

void frmVideoConverter::showLabels(const conversion::StatisticsLabels& labels) {
    BytesWrittenLabel->setText(QString::fromStdString(labels.BytesWrittenLabel));
    BytesToDoLabel->setText(QString::fromStdString(labels.BytesToDoLabel));
    FrameStatusLabel->setText(QString::fromStdString(labels.FrameStatusLabel));
    FramesExpectedLabel->setText(QString::fromStdString(labels.FramesExpectedLabel));
    CompressionLabel->setText(QString::fromStdString(labels.CompressionLabel));
    PercentDone->setText(QString::fromStdString(labels.PercentDone));
    for (std::size_t t = 0; t < FramesCountLabel.size(); ++t) {
        FramesCountLabel[t]->setText(QString::fromStdString(labels.FramesCountLabel[t]));
    }
}

void frmVideoConverter::flushPending() {
    Pending pending;
    {
        std::lock_guard lock(m_pendingMutex);
        pending = std::exchange(m_pending, Pending{});
        m_updateQueued = false;
    }
    if (pending.hasPicture) mediaPlayer->setPicture(pending.picture);
    if (pending.hasFrame) {
        TGT->setPicture(pending.preview);
        showLabels(pending.labels);
    }
}

void frmVideoConverter::showError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, kCaption, message, QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("errorBox"));
    box.exec();
}
