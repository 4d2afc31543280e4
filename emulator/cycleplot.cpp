// The plot of kelvonar-emu --plot, drawn with Qt's image classes.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "emurun.hpp"
#include "qimagefile.hpp"

namespace emulator {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 480;
constexpr int kMargin = 60;

}  // namespace

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
    top += top / 10;

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(kMargin, kMargin / 2.0, kWidth - 1.5 * kMargin, kHeight - 1.5 * kMargin);
    const auto x = [&](double frame) {
        const double last = frames.size() > 1 ? static_cast<double>(frames.size() - 1) : 1.0;
        return area.left() + area.width() * frame / last;
    };
    const auto y = [&](double tStates) {
        return area.bottom() - area.height() * tStates / static_cast<double>(top);
    };

    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(area);
    painter.drawText(QPointF(area.left() + 4, area.top() + 14),
                     QString::number(static_cast<qulonglong>(top)));
    painter.drawText(QPointF(area.left() - 14, area.bottom()), QStringLiteral("0"));
    painter.drawText(QPointF(area.left(), area.bottom() + 20),
                     QStringLiteral("frame 0 to %1; T-states used per frame")
                         .arg(frames.empty() ? 0 : static_cast<qulonglong>(frames.size() - 1)));

    painter.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    const double budget = y(static_cast<double>(kFrameBudget));
    painter.drawLine(QPointF(area.left(), budget), QPointF(area.right(), budget));
    painter.drawText(QPointF(area.right() - 110, budget - 4), QStringLiteral("budget 450,000"));

    if (!frames.empty()) {
        QPainterPath line;
        line.moveTo(x(0), y(static_cast<double>(frames[0].used())));
        for (std::size_t k = 1; k < frames.size(); ++k)
            line.lineTo(x(static_cast<double>(k)), y(static_cast<double>(frames[k].used())));
        painter.setPen(QPen(QColor(0, 70, 160), 1.5));
        painter.drawPath(line);
    }
    painter.end();
    capture::saveQImage(image, path, "png");
}

}  // namespace emulator
