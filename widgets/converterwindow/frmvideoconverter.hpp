#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "commandline.hpp"
#include "dryxconvert.hpp"
#include "layout.hpp"

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class ShapeWidget;
class PictureBox;

namespace conversion {
class Converter;
}

// The converter's window, "DRYX XP Video Converter": the video being sampled and the preview
// over the backdrop, the statistics, and Cancel. The conversion runs on a thread of its own, so
// the window stays responsive; the results are those of the headless mode.
class frmVideoConverter : public QDialog {
    Q_OBJECT

  public:
    explicit frmVideoConverter(conversion::ConverterOptions options, QWidget* parent = nullptr);
    ~frmVideoConverter() override;

    // Start-up: reads the player size, canvas size and background, opens the video, lays out the
    // window and arms the start timer. Shows an error box and returns false when that fails.
    bool load();

    // The stop request that Cancel sets.
    std::atomic<bool>& WantToStop();
    // Called on the converting thread with the frame number once each canvas is sampled.
    void setFrameHook(std::function<void(std::size_t)> hook) { m_frameHook = std::move(hook); }

  signals:
    // The run is over: the output is written (0), cancelled and written (130), or failed (1)
    // after its error box was closed.
    void finished(int exitStatus);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    class Observer;

    void buildControls();
    void BeginTimer_Timer();
    void CancelButton_Click();
    void DoConvert();
    void conversionEnded(int exitStatus, const QString& error);
    void applyLayout(const capture::Layout& layout);
    void showLabels(const conversion::StatisticsLabels& labels);
    void flushPending();
    void showError(const QString& message);

    conversion::ConverterOptions m_options;
    std::unique_ptr<Observer> m_observer;
    std::unique_ptr<conversion::Converter> m_converter;
    std::thread m_worker;
    conversion::Statistics m_statistics;  // of the run, once the worker has ended
    enum class State { Created, Loaded, Converting, Ended } m_state = State::Created;
    std::function<void(std::size_t)> m_frameHook;

    // The latest state of the conversion, handed from the converting thread to the window.
    struct Pending {
        bool hasPicture = false;
        QImage picture;
        bool hasFrame = false;
        QImage preview;
        conversion::StatisticsLabels labels;
    };
    std::mutex m_pendingMutex;
    Pending m_pending;
    std::atomic<bool> m_updateQueued{false};

    // The controls, under their names.
    ShapeWidget* backScreen = nullptr;
    ShapeWidget* VBorder = nullptr;
    ShapeWidget* VBackG = nullptr;
    PictureBox* mediaPlayer = nullptr;
    ShapeWidget* TBorder = nullptr;
    PictureBox* TGT = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* BytesWrittenLabel = nullptr;
    QLabel* BytesToDoLabel = nullptr;
    QLabel* FrameStatusLabel = nullptr;
    QLabel* FramesExpectedLabel = nullptr;
    QLabel* CompressionLabel = nullptr;
    QLabel* PercentDone = nullptr;
    std::array<QLabel*, conversion::kStatisticsRows> FramesCountLabel{};
    QPushButton* CancelButton = nullptr;
    QTimer* BeginTimer = nullptr;
};
