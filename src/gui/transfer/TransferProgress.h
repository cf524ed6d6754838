#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace quillbox {

// The progress dialog of a long import or export. Nothing shows for the first delay; after it
// the caller is told, about ten times a second, to bring the screen up to date. The dialog has
// no cancel button: the work goes on exactly as without it.
class TransferProgress {
public:
    // labelFormat holds %1 for the count so far.
    TransferProgress(QWidget* parent, const QString& labelFormat, int delayMs = 1000);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Cheap enough to ask once per record.
    bool due();
    // Shows the dialog (the first time) with the count, and lets the windows repaint. User input
    // waits until the work is done.
    void show(int count);
    QProgressDialog* dialog() const;

private:
    QWidget* m_parent;
    QString m_labelFormat;
    QElapsedTimer m_timer;
    qint64 m_next;
    QPointer<QProgressDialog> m_dialog;
};

} // namespace quillbox
