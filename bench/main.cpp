// Runs every timing case, or those whose name contains the first argument.
#include "Bench.h"

#include <QApplication>

#include <cstdio>

namespace quillbox::bench {
std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}
} // namespace quillbox::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString filter = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const auto& c : quillbox::bench::cases()) {
        if (filter.isEmpty() || c.name.contains(filter)) {
            std::printf("== %s\n", qPrintable(c.name));
            std::fflush(stdout);
            c.run();
        }
    }
    return 0;
}
