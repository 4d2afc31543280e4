#include "windowmode.hpp"

#include <QApplication>
#include <iostream>

#include "frmvideoconverter.hpp"
#include "headless.hpp"
#include "mediaplayer.hpp"
#include "qimagefile.hpp"

namespace conversion {

int runWindow(const ConverterOptions& options, int& argc, char** argv) {
    capture::quietMediaLog();
    QApplication application(argc, argv);
    frmVideoConverter window(options);
    if (!window.load()) return support::kExitFailed;
    QObject::connect(&window, &frmVideoConverter::finished, &application, [&](int status) {
        if (options.screenshot) {
            try {
                capture::saveQImage(window.grab().toImage(), *options.screenshot, "png");
            } catch (const support::FileError& error) {
                std::cerr << "kelvonar: warning: cannot save the screenshot: " << error.what()
                          << '\n';
            }
        }
        application.exit(status);
    });
    window.show();
    return application.exec();
}

}  // namespace conversion
