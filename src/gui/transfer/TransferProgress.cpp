#include "transfer/TransferProgress.h"

#include "text/ProgramText.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <algorithm>

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

bool TransferProgress::cancelled() const {
    return m_dialog && m_dialog->wasCanceled(); // its button, Escape or closing it
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
    show(count, 0);
}

void TransferProgress::show(qint64 count, qint64 total) {
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(titleMarks + QStringLiteral("  ") + programName);
        if (m_cancellable) {
            m_dialog->setCancelButtonText(QStringLiteral("Cancel"));
        } else {
            m_dialog->setCancelButton(nullptr);
        }
        m_dialog->setRange(0, 0);
        m_dialog->setMinimumDuration(0);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    if (total > 0) {
        // In thousandths: the bar's range is an int, the counts need not be.
        m_dialog->setRange(0, 1000);
        m_dialog->setValue(static_cast<int>(std::min(count, total) * 1000 / total));
        m_dialog->setLabelText(m_labelFormat.arg(std::min(count, total)).arg(total));
    } else {
        m_dialog->setLabelText(m_labelFormat.arg(count));
    }
    if (!m_dialog->isVisible()) {
        m_dialog->show();
    }
    // The Cancel button must be pressable; every other window waits behind the modal dialog.
    QCoreApplication::processEvents(m_cancellable ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

} // namespace quillbox
