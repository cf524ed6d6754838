#include "transfer/ImportPreviewWindow.h"

#include "app/SecondaryWindow.h"
#include "store/SiteRecord.h"
#include "text/ProgramText.h"
#include "transfer/ImportPreview.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillbox {

PreviewAnswer showImportPreview(const ImportPreview& preview, bool columnsStep, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(titleMarks + QStringLiteral("  Import preview"));
    // As large as it was designed, or as the screen's work area allows (its layout shrinks it).
    dialog.resize(QSize(900, 560).boundedTo(SecondaryWindow::roomOnScreen(parent ? parent : &dialog)));
    auto* layout = new QVBoxLayout(&dialog);

    QString summary =
        QStringLiteral("Records read: %1. Lines refused: %2.").arg(preview.recordCount()).arg(preview.refusedCount());
    if (preview.recordCount() > preview.firstRecords().size()) {
        summary += QStringLiteral(" The first %1 records are shown.").arg(preview.firstRecords().size());
    }
    auto* counts = new QLabel(summary);
    counts->setObjectName(QStringLiteral("counts"));
    layout->addWidget(counts);

    if (!preview.formatNote().isEmpty()) {
        auto* note = new QLabel(preview.formatNote());
        note->setObjectName(QStringLiteral("formatNote"));
        layout->addWidget(note);
    }

    if (!preview.columnMapping().isEmpty()) {
        auto* mapping = new QLabel(QStringLiteral("Columns: ") + preview.columnMapping().join(QStringLiteral("; ")));
        mapping->setWordWrap(true);
        layout->addWidget(mapping);
    }

    auto* table = new QTableWidget(static_cast<int>(preview.firstRecords().size()), Col::TextColumns);
    table->setHorizontalHeaderLabels(columnNames().first(Col::TextColumns));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < preview.firstRecords().size(); ++row) {
        const SiteRecord& r = preview.firstRecords()[row];
        for (int k = 0; k < Col::TextColumns; ++k) {
            table->setItem(row, k, new QTableWidgetItem(r[k]));
        }
    }
    layout->addWidget(table, 3);

    if (!preview.refusals().isEmpty()) {
        QString lines;
        for (const RefusedLine& refusal : preview.refusals()) {
            lines += QStringLiteral("Line %1: %2\n").arg(refusal.line).arg(refusal.reason);
        }
        if (preview.refusedCount() > preview.refusals().size()) {
            lines += QStringLiteral("... and %1 more.\n").arg(preview.refusedCount() - preview.refusals().size());
        }
        auto* refused = new QPlainTextEdit(lines);
        refused->setObjectName(QStringLiteral("refused"));
        refused->setReadOnly(true);
        layout->addWidget(new QLabel(QStringLiteral("Refused lines:")));
        layout->addWidget(refused, 1);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    constexpr int columnsChosen = 2;
    if (columnsStep) {
        QPushButton* columns = buttons->addButton(QStringLiteral("Columns..."), QDialogButtonBox::ActionRole);
        columns->setObjectName(QStringLiteral("columnsButton"));
        QObject::connect(columns, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(columnsChosen); });
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    switch (dialog.exec()) {
    case QDialog::Accepted:
        return PreviewAnswer::Import;
    case columnsChosen:
        return PreviewAnswer::Columns;
    default:
        return PreviewAnswer::Cancel;
    }
}

} // namespace quillbox
