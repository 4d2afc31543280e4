// The plot of kelvonar-emu --plot, drawn with Qt's image classes.

#include "cycleplot.hpp"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "emurun.hpp"
#include "qimagefile.hpp"

namespace emulator {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 520;
constexpr double kLeft = 90;  // room for the T-state labels
constexpr double kRight = 24;
constexpr double kTop = 40;     // room for the title
constexpr double kBottom = 70;  // room for the frame and second labels
// Runs with more frames than this many per pixel column are drawn as a band per group.
constexpr double kFramesPerPixelForBands = 0.5;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

double tickStep(double span, int ticks) {
    if (!(span > 0) || ticks < 1) return 1;
    const double rough = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) return factor * power;
    }
    return 10 * power;
}

std::string withThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::vector<FrameGroup> groupFrames(const std::vector<FrameTiming>& frames, std::size_t size) {
    std::vector<FrameGroup> groups;
    if (size == 0) return groups;
    for (std::size_t first = 0; first < frames.size(); first += size) {
        FrameGroup group;
        group.first = first;
        group.count = std::min(size, frames.size() - first);
        group.least = frames[first].used();
        double sum = 0;
        for (std::size_t k = first; k < first + group.count; ++k) {
            const std::uint64_t used = frames[k].used();
            group.least = std::min(group.least, used);
            group.most = std::max(group.most, used);
            sum += static_cast<double>(used);
        }
        group.mean = sum / static_cast<double>(group.count);
        groups.push_back(group);
    }
    return groups;
}

void writeCyclePlot(const std::string& path, const std::vector<FrameTiming>& frames) {
    // Text needs the fonts of a GUI application; none opens a window here.
    std::unique_ptr<QGuiApplication> application;
    if (QGuiApplication::instance() == nullptr) {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "kelvonar-emu";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    std::uint64_t top = kFrameBudget;
    for (const FrameTiming& frame : frames)
        top = std::max(top, frame.used());
    const double yStep = tickStep(static_cast<double>(top) * 1.1, 6);
    const double yTop = std::ceil(static_cast<double>(top) * 1.1 / yStep) * yStep;
    const double last = frames.size() > 1 ? static_cast<double>(frames.size() - 1) : 1.0;
    const double xStep = tickStep(last, 10);

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom);
    const auto x = [&](double frame) { return area.left() + area.width() * frame / last; };
    const auto y = [&](double tStates) { return area.bottom() - area.height() * tStates / yTop; };
    const QFontMetricsF metrics(painter.font());

    // Grid and ticks: T-states on the left, frames and their seconds (ten a second) below.
    for (double t = 0; t <= yTop + yStep / 2; t += yStep) {
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        painter.drawLine(QPointF(area.left(), y(t)), QPointF(area.right(), y(t)));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(area.left() - 5, y(t)), QPointF(area.left(), y(t)));
        const QString label = text(withThousands(static_cast<std::uint64_t>(t)));
        painter.drawText(QPointF(area.left() - 8 - metrics.horizontalAdvance(label),
                                 y(t) + metrics.ascent() / 2 - 1),
                         label);
    }
    for (double f = 0; f <= last + xStep / 2; f += xStep) {
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        painter.drawLine(QPointF(x(f), area.top()), QPointF(x(f), area.bottom()));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(x(f), area.bottom()), QPointF(x(f), area.bottom() + 5));
        const QString frame = text(withThousands(static_cast<std::uint64_t>(f)));
        const QString seconds = QStringLiteral("%1 s").arg(f / 10, 0, 'f', xStep >= 10 ? 0 : 1);
        painter.drawText(QPointF(x(f) - metrics.horizontalAdvance(frame) / 2,
                                 area.bottom() + 6 + metrics.ascent()),
                         frame);
        painter.setPen(QPen(QColor(90, 90, 90), 1));
        painter.drawText(QPointF(x(f) - metrics.horizontalAdvance(seconds) / 2,
                                 area.bottom() + 8 + metrics.height() + metrics.ascent()),
                         seconds);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(area);
    const QString axis = QStringLiteral("frame (above) and second of the video (below)");
    painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(axis) / 2, kHeight - 8),
                     axis);

    // The data: every frame, or for long runs a band from the least to the most of each group
    // of frames with the group's mean through it.
    const double framesPerPixel = static_cast<double>(frames.size()) / area.width();
    const std::size_t groupSize = framesPerPixel > kFramesPerPixelForBands
                                      ? static_cast<std::size_t>(std::ceil(framesPerPixel * 4))
                                      : 1;
    QString title = QStringLiteral("T-states used per frame, %1 frames")
                        .arg(text(withThousands(frames.size())));
    if (groupSize > 1) {
        title += QStringLiteral(": least, mean and most of every %1 frames").arg(groupSize);
        const std::vector<FrameGroup> groups = groupFrames(frames, groupSize);
        QPainterPath band;
        QPainterPath mean;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const double at =
                static_cast<double>(groups[i].first) + static_cast<double>(groups[i].count - 1) / 2;
            const QPointF point(x(at), y(groups[i].mean));
            if (i == 0) {
                band.moveTo(x(at), y(static_cast<double>(groups[i].most)));
                mean.moveTo(point);
            } else {
                band.lineTo(x(at), y(static_cast<double>(groups[i].most)));
                mean.lineTo(point);
            }
        }
        for (std::size_t i = groups.size(); i-- > 0;) {
            const double at =
                static_cast<double>(groups[i].first) + static_cast<double>(groups[i].count - 1) / 2;
            band.lineTo(x(at), y(static_cast<double>(groups[i].least)));
        }
        band.closeSubpath();
        painter.fillPath(band, QColor(150, 185, 230));
        painter.setPen(QPen(QColor(0, 70, 160), 1.5));
        painter.drawPath(mean);
    } else if (!frames.empty()) {
        QPainterPath line;
        line.moveTo(x(0), y(static_cast<double>(frames[0].used())));
        for (std::size_t k = 1; k < frames.size(); ++k)
            line.lineTo(x(static_cast<double>(k)), y(static_cast<double>(frames[k].used())));
        painter.setPen(QPen(QColor(0, 70, 160), 1.5));
        painter.drawPath(line);
    }

    painter.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    const double budget = y(static_cast<double>(kFrameBudget));
    painter.drawLine(QPointF(area.left(), budget), QPointF(area.right(), budget));
    const QString budgetLabel = QStringLiteral("budget %1").arg(text(withThousands(kFrameBudget)));
    painter.drawText(QPointF(area.right() - 6 - metrics.horizontalAdvance(budgetLabel), budget - 4),
                     budgetLabel);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawText(QPointF(area.left(), kTop - 12), title);
    painter.end();
    capture::saveQImage(image, path, "png");
}

}  // namespace emulator
