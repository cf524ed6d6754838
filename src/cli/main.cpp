#include "Cli.h"
#include "Terminal.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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
