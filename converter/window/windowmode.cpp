#include "windowmode.hpp"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "frmvideoconverter.hpp"
#include "headless.hpp"
#include "mediaplayer.hpp"

namespace conversion {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool DisplayAvailable() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

int RunWindow(const ConverterOptions& options, int& argc, char** argv) {
    capture::quietMediaLog();
    QApplication application(argc, argv);
    frmVideoConverter window(options);
    if (!window.load()) return kExitFailed;
    QObject::connect(&window, &frmVideoConverter::finished, &application, [&](int status) {
        if (options.screenshot &&
            !window.grab().save(QString::fromStdString(*options.screenshot))) {
            std::cerr << "kelvonar: warning: cannot save the screenshot " << *options.screenshot
                      << '\n';
        }
        application.exit(status);
    });
    window.show();
    return application.exec();
}

}  // namespace conversion
