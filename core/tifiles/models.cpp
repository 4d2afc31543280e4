#include "models.hpp"

#include <algorithm>

namespace pack {

const CalculatorModel* findModel(std::string_view name) noexcept {
    for (const CalculatorModel& model : kModels) {
        if (model.name == name) return &model;
    }
    return nullptr;
}

const CalculatorModel& modelOfFamily(Family family) noexcept {
    return *std::find_if(std::begin(kModels), std::end(kModels),
                         [&](const CalculatorModel& model) { return model.family == family; });
}

std::string modelNames() {
    std::string text;
    const std::size_t count = std::size(kModels);
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) text += k + 1 == count ? " or " : ", ";
        text += kModels[k].name;
    }
    return text;
}

double slowestTimer(const CalculatorModel& model) noexcept {
    return *std::min_element(model.timerHz.begin(), model.timerHz.end());
}

}  // namespace pack
