// Makes the user guide shipped beside the programs: the README as one HTML page.
#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillbox-guide README.md guide.html\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // run at build time, with no display
    }
    QGuiApplication app(argc, argv);
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(in.readAll()), QTextDocument::MarkdownDialectGitHub);
    document.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Quillbox user guide"));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(document.toHtml().toUtf8()) < 0 ||
        !out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
