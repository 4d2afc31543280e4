#include "fit.hpp"

#include <limits>

namespace conversion {

namespace {

// The frame loop's host for canvases taken before: one canvas per frame, then the end.
class CanvasReplay final : public FrameLoopHost {
  public:
    CanvasReplay(const std::vector<TIFunctions::BitString>& canvases,
                 std::vector<std::size_t>* bytesAfter)
        : m_canvases(canvases), m_bytesAfter(bytesAfter) {}

    double Length() override {
        return m_next < m_canvases.size() ? std::numeric_limits<double>::infinity()
                                          : -std::numeric_limits<double>::infinity();
    }
    TIFunctions::BitString getCanvas(double, double, double, double) override {
        return m_canvases[m_next++];
    }
    std::atomic<bool>& WantToStop() override { return m_stop; }
    void frameDone(const FrameReport& report) override {
        if (m_bytesAfter != nullptr) m_bytesAfter->push_back(report.statistics.bytesWritten);
    }

  private:
    const std::vector<TIFunctions::BitString>& m_canvases;
    std::vector<std::size_t>* m_bytesAfter;
    std::size_t m_next = 0;
    std::atomic<bool> m_stop{false};
};

}  // namespace

TIFunctions::BitString ConvertCanvases(const std::vector<TIFunctions::BitString>& canvases,
                                       ConvertSettings settings, const FitStep& step,
                                       std::size_t width, std::size_t height,
                                       std::vector<std::size_t>* bytesAfter) {
    settings.Quality = step.Quality;
    settings.WantInterlace = step.WantInterlace;
    settings.WantPreview = false;
    CanvasReplay replay(canvases, bytesAfter);
    return DryxConvert(settings, width, height, replay);
}

FitResult FindFit(const std::vector<TIFunctions::BitString>& canvases,
                  const ConvertSettings& settings, std::size_t width, std::size_t height) {
    FitResult result;
    std::vector<std::size_t> bytesAfter;
    for (std::size_t step = 0; step < kFitSteps.size(); ++step) {
        bytesAfter.clear();
        ConvertCanvases(canvases, settings, kFitSteps[step], width, height, &bytesAfter);
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
