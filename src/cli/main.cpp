#include "Cli.h"
#include "Terminal.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The command word: the first argument that is neither an option nor the folder's value.
QByteArray commandWord(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--folder") {
            ++i;
        } else if (!arg.startsWith('-')) {
            return arg;
        }
    }
    return {};
}

// Only the clipboard needs a graphical session, and only when there is one to reach: elsewhere
// the command says so instead of the toolkit ending the program.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[]) {
    if (commandWord(argc, argv) == "clip") {
        const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
        const bool session = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
        if (platformChosen || session) {
            if (!platformChosen) {
                // A display that does not answer falls back on a clipboard of nobody's, refused below.
                qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");
            }
            auto app = std::make_unique<QGuiApplication>(argc, argv);
            if (platformChosen || QGuiApplication::platformName() != QLatin1String("offscreen")) {
                return app;
            }
            app.reset();
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillbox-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLBOX_VERSION));
    int status = quillbox::cli::run(QCoreApplication::arguments());
    // Output that never reached its file (a full disk, a closed pipe) is a failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        quillbox::cli::writeError(QStringLiteral("quillbox-cli: the output could not be written: %1\n")
                                      .arg(QString::fromLocal8Bit(std::strerror(error))));
        status = quillbox::cli::Failed;
    }
    return status;
}
