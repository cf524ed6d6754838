#include "app/AppState.h"
#include "app/Program.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setQuitOnLastWindowClosed(false);

    quillbox::AppState state;
    state.seams = quillbox::Seams::production();
    quillbox::Program program(state);
    QObject::connect(&program, &quillbox::Program::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    if (!program.startUp()) {
        return 0; // an early failure ends the program writing nothing
    }
    QApplication::exec();
    return 0;
}
