#include "commandline.hpp"

namespace {

// The value of an option given as "--name VALUE" or "--name=VALUE".
bool takeValue(const QStringList& arguments, qsizetype& i, const QString& name, QString& value) {
    const QString& argument = arguments[i];
    if (argument.startsWith(name + u'=')) {
        value = argument.mid(name.size() + 1);
    } else if (argument == name) {
        if (i + 1 >= arguments.size()) throw UsageError(name.toStdString() + " needs a path");
        value = arguments[++i];
    } else {
        return false;
    }
    if (value.isEmpty()) throw UsageError(name.toStdString() + " needs a path");
    return true;
}

}  // namespace

PrelmatOptions parsePrelmatArguments(const QStringList& arguments) {
    PrelmatOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--defaults") {
            options.defaults = true;
        } else if (!takeValue(arguments, i, QStringLiteral("--job"), options.jobPath) &&
                   !takeValue(arguments, i, QStringLiteral("--screenshot"),
                              options.screenshotPath)) {
            throw UsageError("unknown argument " + argument.toStdString());
        }
    }
    if (options.defaults && !options.screenshotPath.isEmpty()) {
        throw UsageError("--screenshot needs the dialog and cannot go with --defaults");
    }
    return options;
}

QString prelmatUsage() {
    return QStringLiteral(
        "Usage: prelmat [--defaults] [--job PATH]\n"
        "Makes the job file thisjob.ini for the converter.\n"
        "\n"
        "Without --defaults the dialog opens; its button writes the job file.\n"
        "\n"
        "  --defaults   write the job file with the default settings, without any display\n"
        "  --job PATH   write the job file to PATH instead of thisjob.ini in the program's\n"
        "               own directory\n"
        "  -h, --help   show this text\n");
}
