#include "Terminal.h"

#include <QByteArray>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>
#endif

namespace quillbox::cli {

#ifdef Q_OS_UNIX
namespace {

// A signal arriving while echo is off must not leave the user's terminal silent.
volatile sig_atomic_t quietTerminal = -1;
termios savedTerminal{};
constexpr int restoredSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
struct sigaction previousActions[std::size(restoredSignals)];

extern "C" void restoreAndRaise(int signal) {
    if (quietTerminal >= 0) {
        tcsetattr(quietTerminal, TCSAFLUSH, &savedTerminal);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void writeFd(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += n;
    }
}

} // namespace

bool askYesNo(const QString& question, bool& yes, QString& error) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("There is no terminal to ask on; give --yes to go on.");
        return false;
    }
    writeFd(fd, (question + QStringLiteral(" [y/N] ")).toUtf8());
    QByteArray typed;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || c == '\n') {
            break;
        }
        typed.append(c);
    }
    ::close(fd);
    yes = typed.trimmed().startsWith('y') || typed.trimmed().startsWith('Y');
    return true;
}

bool askSecret(const QString& prompt, QString& answer, QString& error) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("There is no terminal to ask the password on; give it with --password-stdin.");
        return false;
    }
    termios quiet{};
    if (tcgetattr(fd, &savedTerminal) != 0) {
        ::close(fd);
        error = QStringLiteral("The terminal cannot hide what is typed; give the password with --password-stdin.");
        return false;
    }
    quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL; // the Return still moves to the next line

    struct sigaction action {};
    action.sa_handler = restoreAndRaise;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(restoredSignals); ++i) {
        sigaction(restoredSignals[i], &action, &previousActions[i]);
    }
    // Quiet first: once the prompt shows, whatever is typed is hidden.
    quietTerminal = fd;
    tcsetattr(fd, TCSAFLUSH, &quiet);
    writeFd(fd, prompt.toUtf8());

    QByteArray typed;
    bool ended = false;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (c == '\n') {
            ended = true;
            break;
        }
        typed.append(c);
    }
    tcsetattr(fd, TCSAFLUSH, &savedTerminal);
    quietTerminal = -1;
    for (size_t i = 0; i < std::size(restoredSignals); ++i) {
        sigaction(restoredSignals[i], &previousActions[i], nullptr);
    }
    if (!ended) {
        writeFd(fd, "\n");
    }
    ::close(fd);
    if (typed.endsWith('\r')) {
        typed.chop(1);
    }
    answer = QString::fromUtf8(typed);
    typed.fill('\0');
    return true;
}
#else
// Where the terminal cannot be reached as a device, nothing is asked there: the password comes
// from --password-stdin and the answer from --yes.
bool askYesNo(const QString&, bool& yes, QString& error) {
    yes = false;
    error = QStringLiteral("There is no terminal to ask on; give --yes to go on.");
    return false;
}

bool askSecret(const QString&, QString&, QString& error) {
    error = QStringLiteral("There is no terminal to ask the password on; give it with --password-stdin.");
    return false;
}
#endif

bool readStandardInputLine(QString& line) {
    QByteArray bytes;
    int c = 0;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        bytes.append(static_cast<char>(c));
    }
    if (!any) {
        return false;
    }
    if (bytes.endsWith('\r')) {
        bytes.chop(1);
    }
    line = QString::fromUtf8(bytes);
    bytes.fill('\0');
    return true;
}

void writeOut(const QString& text) {
    writeOut(text.toUtf8());
}

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void writeError(const QString& text) {
    std::fflush(stdout);
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

} // namespace quillbox::cli
