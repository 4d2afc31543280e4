#include "models.hpp"

#include <gtest/gtest.h>

#include "calcprograms.hpp"

namespace {

// Every row of the model table names a model the tools find by name and by file, and this build
// carries the player that row runs, with the labels the emulated calculator follows.
TEST(CalculatorModels, EveryRowIsFoundAndHasItsProgram) {
    for (const pack::CalculatorModel& model : pack::kModels) {
        SCOPED_TRACE(std::string(model.name));
        EXPECT_EQ(pack::findModel(model.name), &model);
        EXPECT_EQ(pack::modelOfFamily(model.family).family, model.family);
        EXPECT_FALSE(pack::builtProgram(model.layout).empty());
        const pack::ProgramLabels labels = pack::builtProgramLabels(model.layout);
        EXPECT_NE(labels.frameBegin, 0);
        EXPECT_NE(labels.frameShown, 0);
        EXPECT_NE(labels.data, 0);
        EXPECT_GT(pack::slowestTimer(model), 90.0);
        EXPECT_EQ(model.archiveBytes == 0, model.archivePages == 0);
    }
    EXPECT_EQ(pack::findModel("ti84"), nullptr);
    EXPECT_EQ(pack::modelNames(), "ti83plus, ti84plus, ti83 or ti82");
}

}  // namespace
