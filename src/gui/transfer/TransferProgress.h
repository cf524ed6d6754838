#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace quillbox {

// The progress dialog of a long import or export. Nothing shows for the first delay; after it
// the caller is told, about ten times a second, to bring the screen up to date. Without a Cancel
// button the work goes on exactly as without the dialog.
class TransferProgress {
public:
    // labelFormat holds %1 for the count so far, and %2 for the whole when there is one.
    TransferProgress(QWidget* parent, const QString& labelFormat, int delayMs = 1000);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Cheap enough to ask once per record.
    bool due();
    // Shows the dialog (the first time) with the count, and lets the windows repaint. User input
    // waits until the work is done, but for the Cancel button's.
    void show(int count);
    // With a whole known: the bar shows the share done, and its percentage.
    void show(qint64 count, qint64 total);
    // Gives the dialog a Cancel button; cancelled() tells when it was pressed.
    void allowCancel() { m_cancellable = true; }
    bool cancelled() const;
    QProgressDialog* dialog() const;

private:
    QWidget* m_parent;
    QString m_labelFormat;
    QElapsedTimer m_timer;
    qint64 m_next;
    QPointer<QProgressDialog> m_dialog;
    bool m_cancellable = false;
};

} // namespace quillbox
