#include "app/WindowEffects.h"

#include "settings/ProgramSettings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>

namespace quillbox {

namespace {
// Window opacity needs a compositor; without one (or offscreen) the window simply shows.
bool canFade() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void pause() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(10);
}
} // namespace

void fadeIn(const ProgramSettings& settings, QWidget* window, int step) {
    if (settings.optFading != 1 || !canFade() || step <= 0) {
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    int alpha = 0;
    do {
        window->setWindowOpacity(alpha / 255.0);
        if (alpha == 0) {
            window->show();
            window->raise();
            window->activateWindow();
        }
        alpha = std::min(alpha + step, 255);
        pause();
    } while (alpha < 255);
    window->setWindowOpacity(1.0);
}

void fadeOut(const ProgramSettings& settings, QWidget* window, int step) {
    if (settings.optFading == 1 && canFade() && step > 0 && window->isVisible()) {
        int alpha = 255;
        do {
            window->setWindowOpacity(alpha / 255.0);
            alpha = std::max(alpha - step, 0);
            pause();
        } while (alpha > 0);
    }
    window->hide();
    window->setWindowOpacity(1.0);
}

} // namespace quillbox
