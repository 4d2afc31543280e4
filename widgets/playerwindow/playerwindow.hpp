#pragma once

#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "bitstring.hpp"
#include "screenraster.hpp"

class QLabel;
class QPushButton;
class QSlider;

namespace player {

class ScreenView;

// Plays decoded screens at ten frames a second, looping, with play/pause and frame stepping.
// Keys: Space plays and pauses, Left and Right step, Home and End go to the first and last frame.
class PlayerWindow : public QWidget {
    Q_OBJECT

  public:
    // Gives the screen of frame k, k below the frame count; the reference stays valid until the
    // next call.
    using ScreenAt = std::function<const TIFunctions::BitString&(std::size_t k)>;

    // A window for frames screens (a blank one when there is none), fetched by screenAt as they
    // are shown, with geometry; title names the data file.
    PlayerWindow(std::size_t frames, ScreenAt screenAt, const PictureGeometry& geometry,
                 const QString& title, QWidget* parent = nullptr);
    // A window for screens held in memory.
    PlayerWindow(std::vector<TIFunctions::BitString> screens, const PictureGeometry& geometry,
                 const QString& title, QWidget* parent = nullptr);

    // The frame shown, from 0.
    std::size_t currentFrame() const noexcept { return m_current; }
    std::size_t frameCount() const noexcept { return m_frames; }
    bool isPlaying() const noexcept { return m_timer.isActive(); }
    // The screen view, for tests and pictures.
    const ScreenView& view() const noexcept { return *m_view; }

  public slots:
    void play();
    void pause();
    void togglePlaying();
    // Pauses and shows the next frame (the first after the last).
    void stepForward();
    // Pauses and shows the frame before (the last before the first).
    void stepBack();
    // Shows frame k, or the last frame when k is past it; does not change playing.
    void showFrame(std::size_t k);

  private:
    void advance();
    void updateControls();

    std::size_t m_frames;
    ScreenAt m_screenAt;
    std::size_t m_current = 0;
    QTimer m_timer;
    ScreenView* m_view;
    QPushButton* m_playButton;
    QSlider* m_slider;
    QLabel* m_position;
};

}  // namespace player
