#include "playerwindow.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include "exports.hpp"
#include "screenview.hpp"

namespace player {

namespace {

// A screen source over screens held in memory; a blank screen when there is none.
PlayerWindow::ScreenAt heldScreens(std::vector<TIFunctions::BitString> screens,
                                   const PictureGeometry& geometry) {
    if (screens.empty())
        screens.push_back(TIFunctions::BitString::filled(geometry.screen.pixels(), false));
    auto held = std::make_shared<std::vector<TIFunctions::BitString>>(std::move(screens));
    return [held](std::size_t k) -> const TIFunctions::BitString& { return held->at(k); };
}

}  // namespace

PlayerWindow::PlayerWindow(std::vector<TIFunctions::BitString> screens,
                           const PictureGeometry& geometry, const QString& title, QWidget* parent)
    : PlayerWindow(std::max<std::size_t>(screens.size(), 1), heldScreens(screens, geometry),
                   geometry, title, parent) {}

PlayerWindow::PlayerWindow(std::size_t frames, ScreenAt screenAt, const PictureGeometry& geometry,
                           const QString& title, QWidget* parent)
    : QWidget(parent), m_frames(frames), m_screenAt(std::move(screenAt)) {
    if (m_frames == 0) {
        m_frames = 1;
        m_screenAt = heldScreens({}, geometry);
    }
    setWindowTitle(title);
    m_view = new ScreenView(geometry, this);

    auto* back = new QPushButton(style()->standardIcon(QStyle::SP_MediaSkipBackward), QString());
    back->setToolTip(tr("One frame back (Left)"));
    m_playButton = new QPushButton;
    auto* forward = new QPushButton(style()->standardIcon(QStyle::SP_MediaSkipForward), QString());
    forward->setToolTip(tr("One frame forward (Right)"));
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setRange(0, static_cast<int>(m_frames - 1));
    m_position = new QLabel;
    m_position->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The keys belong to the window's shortcuts, not to whichever control has the focus.
    for (QWidget* control : {static_cast<QWidget*>(back), static_cast<QWidget*>(m_playButton),
                             static_cast<QWidget*>(forward), static_cast<QWidget*>(m_slider)}) {
        control->setFocusPolicy(Qt::NoFocus);
    }

    auto* controls = new QHBoxLayout;
    controls->addWidget(back);
    controls->addWidget(m_playButton);
    controls->addWidget(forward);
    controls->addWidget(m_slider, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 0, Qt::AlignHCenter);
    layout->addLayout(controls);
    layout->addWidget(m_position);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(back, &QPushButton::clicked, this, &PlayerWindow::stepBack);
    connect(m_playButton, &QPushButton::clicked, this, &PlayerWindow::togglePlaying);
    connect(forward, &QPushButton::clicked, this, &PlayerWindow::stepForward);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int value) { showFrame(static_cast<std::size_t>(value)); });
    connect(new QShortcut(Qt::Key_Space, this), &QShortcut::activated, this,
            &PlayerWindow::togglePlaying);
    connect(new QShortcut(Qt::Key_Left, this), &QShortcut::activated, this,
            &PlayerWindow::stepBack);
    connect(new QShortcut(Qt::Key_Right, this), &QShortcut::activated, this,
            &PlayerWindow::stepForward);
    connect(new QShortcut(Qt::Key_Home, this), &QShortcut::activated, this, [this] {
        pause();
        showFrame(0);
    });
    connect(new QShortcut(Qt::Key_End, this), &QShortcut::activated, this, [this] {
        pause();
        showFrame(m_frames - 1);
    });

    m_timer.setInterval(1000 / kFramesPerSecond);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PlayerWindow::advance);
    m_view->setScreen(m_screenAt(0));
    updateControls();
}

void PlayerWindow::play() {
    m_timer.start();
    updateControls();
}

void PlayerWindow::pause() {
    m_timer.stop();
    updateControls();
}

void PlayerWindow::togglePlaying() {
    if (isPlaying()) {
        pause();
    } else {
        play();
    }
}

void PlayerWindow::stepForward() {
    pause();
    showFrame((m_current + 1) % m_frames);
}

void PlayerWindow::stepBack() {
    pause();
    showFrame(m_current == 0 ? m_frames - 1 : m_current - 1);
}

void PlayerWindow::showFrame(std::size_t k) {
    k = std::min(k, m_frames - 1);
    if (k == m_current) return;
    m_current = k;
    m_view->setScreen(m_screenAt(k));
    updateControls();
}

void PlayerWindow::advance() {
    showFrame((m_current + 1) % m_frames);
}

void PlayerWindow::updateControls() {
    m_playButton->setIcon(
        style()->standardIcon(isPlaying() ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playButton->setText(isPlaying() ? tr("Pause") : tr("Play"));
    m_playButton->setToolTip(tr("Play or pause (Space)"));
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(static_cast<int>(m_current));
    }
    m_position->setText(
        tr("frame %1 (0 to %2)").arg(m_current).arg(static_cast<qulonglong>(m_frames - 1)));
}

}  // namespace player
