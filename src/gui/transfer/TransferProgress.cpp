#include "transfer/TransferProgress.h"

#include "text/ProgramText.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace quillbox {

namespace {
constexpr qint64 refreshMs = 100;
}

TransferProgress::TransferProgress(QWidget* parent, const QString& labelFormat, int delayMs)
    : m_parent(parent), m_labelFormat(labelFormat), m_next(delayMs) {
    m_timer.start();
}

TransferProgress::~TransferProgress() {
    delete m_dialog;
}

QProgressDialog* TransferProgress::dialog() const {
    return m_dialog;
}

bool TransferProgress::due() {
    const qint64 now = m_timer.elapsed();
    if (now < m_next) {
        return false;
    }
    m_next = now + refreshMs;
    return true;
}

void TransferProgress::show(int count) {
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(titleMarks + QStringLiteral("  ") + programName);
        m_dialog->setCancelButton(nullptr);
        m_dialog->setRange(0, 0);
        m_dialog->setMinimumDuration(0);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    m_dialog->setLabelText(m_labelFormat.arg(count));
    if (!m_dialog->isVisible()) {
        m_dialog->show();
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace quillbox
