#include "fit.hpp"

namespace conversion {

namespace {

// Keeps the data's size after each frame of a try.
class ByteCounter final : public FrameLoopHost {
  public:
    explicit ByteCounter(std::vector<std::size_t>* bytesAfter) : m_bytesAfter(bytesAfter) {}

    // Never asked: replayCanvases hands out the canvases.
    double Length() override { return 0; }
    TIFunctions::BitString getCanvas(double, double, double, double) override { return {}; }
    std::atomic<bool>& WantToStop() override { return m_stop; }
    void frameDone(const FrameReport& report) override {
        if (m_bytesAfter != nullptr) m_bytesAfter->push_back(report.statistics.bytesWritten);
    }

  private:
    std::vector<std::size_t>* m_bytesAfter;
    std::atomic<bool> m_stop{false};
};

}  // namespace

TIFunctions::BitString convertCanvases(const std::vector<TIFunctions::BitString>& canvases,
                                       ConvertSettings settings, const FitStep& step,
                                       std::size_t width, std::size_t height,
                                       std::vector<std::size_t>* bytesAfter) {
    settings.Quality = step.Quality;
    settings.WantInterlace = step.WantInterlace;
    settings.WantPreview = false;
    ByteCounter counter(bytesAfter);
    return replayCanvases(settings, width, height, canvases, counter);
}

FitResult findFit(const std::vector<TIFunctions::BitString>& canvases,
                  const ConvertSettings& settings, std::size_t width, std::size_t height) {
    FitResult result;
    std::vector<std::size_t> bytesAfter;
    for (std::size_t step = 0; step < kFitSteps.size(); ++step) {
        bytesAfter.clear();
        convertCanvases(canvases, settings, kFitSteps[step], width, height, &bytesAfter);
        result.bytes = bytesAfter.empty() ? 0 : bytesAfter.back();
        if (bytesAfter.size() == canvases.size() &&
            static_cast<double>(result.bytes) <= settings.MaxBytes) {
            result.step = step;
            return result;
        }
    }
    while (result.lossiestFrames < bytesAfter.size() &&
           static_cast<double>(bytesAfter[result.lossiestFrames]) <= settings.MaxBytes) {
        ++result.lossiestFrames;
    }
    return result;
}

}  // namespace conversion
