#include "commandline.hpp"

#include <QFile>

namespace jobmaker {

namespace {

constexpr support::Option kOptions[] = {
    {"--defaults", {}, "write the job file with the default settings, without any display"},
    {"--job", "PATH",
     "write the job file to PATH instead of thisjob.ini in the program's own directory when it "
     "runs from its build folder, or otherwise (installed, or copied elsewhere) in "
     "$XDG_CONFIG_HOME/kelvonar/ (~/.config/kelvonar/), where the converter looks for it too"},
    {.name = "--screenshot",
     .valueName = "PATH",
     .description = "save a picture of the dialog once it is shown, then quit",
     .listed = false}};

}  // namespace

PrelmatOptions parsePrelmatArguments(const QStringList& arguments) {
    std::vector<std::string> words;
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument).toStdString());
    const support::Arguments parsed = support::parseArguments(words, kOptions, {});
    const auto path = [&](std::string_view name) {
        return QFile::decodeName(parsed.value(name).value_or(std::string()).c_str());
    };
    PrelmatOptions options;
    options.help = parsed.help();
    options.version = parsed.version();
    options.defaults = parsed.has("--defaults");
    options.jobPath = path("--job");
    options.screenshotPath = path("--screenshot");
    if (options.defaults && !options.screenshotPath.isEmpty()) {
        throw support::UsageError("--screenshot needs the dialog and cannot go with --defaults");
    }
    return options;
}

std::string prelmatUsage() {
    return "Usage: prelmat [--defaults] [--job PATH]\n"
           "Makes the job file thisjob.ini for the converter.\n"
           "\n"
           "Without --defaults the dialog opens; its button writes the job file.\n"
           "\n" +
           support::programOptionHelp(kOptions, {}) +
           "\n"
           "Exit status: 0 done, 1 the job file could not be written, 2 a usage error or no "
           "display\n"
           "for the dialog.\n";
}

}  // namespace jobmaker
