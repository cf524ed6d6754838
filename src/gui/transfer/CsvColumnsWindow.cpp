#include "transfer/CsvColumnsWindow.h"

#include "app/SecondaryWindow.h"
#include "store/SiteRecord.h"
#include "text/ProgramText.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringDecoder>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillbox {

namespace {

constexpr int sampleRows = 20;
// A drop-down's choice that is no field: the rest of the columns are label and value pairs.
constexpr int pairsHere = CsvLayout::Ignored - 1;

struct Target {
    QString text;
    int value;
};

const QList<Target>& targets() {
    static const QList<Target> list = [] {
        QList<Target> t{{QStringLiteral("Site name"), Col::SiteName},
                        {QStringLiteral("User name"), Col::UserName},
                        {QStringLiteral("Password"), Col::Password},
                        {QStringLiteral("Home page"), Col::HomePage}};
        for (int m = 0; m < 9; ++m) {
            t.append({QStringLiteral("Misc %1").arg(m + 1), Col::FirstMisc + 2 * m + 1});
        }
        t.append({{QStringLiteral("Category"), Col::Category},
                  {QStringLiteral("Owner"), Col::Owner},
                  {QStringLiteral("Notes"), Col::Notes},
                  {QStringLiteral("Misc, the next free"), CsvLayout::NextFree},
                  {QStringLiteral("Label and value pairs from here"), pairsHere},
                  {QStringLiteral("Leave out"), CsvLayout::Ignored}});
        return t;
    }();
    return list;
}

// The encodings offered: the file's own say first, then those the toolkit can read here.
QList<std::pair<QString, QString>> encodings() {
    QList<std::pair<QString, QString>> list{{QStringLiteral("As the file says (UTF-8 unless it is marked)"), {}}};
    for (const char* name : {"UTF-8", "UTF-16LE", "UTF-16BE", "Windows-1252", "ISO-8859-1", "ISO-8859-15",
                             "Windows-1250", "Windows-1251", "KOI8-R", "Shift_JIS", "EUC-JP", "GBK", "Big5"}) {
        if (QStringDecoder(name).isValid()) {
            list.append({QString::fromLatin1(name), QString::fromLatin1(name)});
        }
    }
    return list;
}

class CsvColumnsDialog : public QDialog {
public:
    CsvColumnsDialog(QIODevice& file, const ImportOptions& options, QWidget* parent)
        : QDialog(parent), m_file(file), m_layout(options.csvLayout), m_encoding(options.encoding) {
        setWindowTitle(titleMarks + QStringLiteral("  Import: what each column holds"));
        resize(QSize(900, 520).boundedTo(SecondaryWindow::roomOnScreen(parent ? parent : this)));
        auto* layout = new QVBoxLayout(this);
        auto* intro = new QLabel(QStringLiteral(
            "Choose what each column of the file holds. A column left to \"Misc, the next free\" keeps its header "
            "as the label; one left out is not imported."));
        intro->setWordWrap(true);
        layout->addWidget(intro);

        auto* form = new QFormLayout;
        m_header = new QCheckBox(QStringLiteral("The first line names the columns"));
        m_header->setObjectName(QStringLiteral("header"));
        form->addRow(m_header);
        m_separator = new QComboBox;
        m_separator->setObjectName(QStringLiteral("separator"));
        m_separator->addItem(QStringLiteral("Comma"), QStringLiteral(","));
        m_separator->addItem(QStringLiteral("Semicolon"), QStringLiteral(";"));
        m_separator->addItem(QStringLiteral("Tab"), QStringLiteral("\t"));
        form->addRow(QStringLiteral("Separator:"), m_separator);
        m_encodingBox = new QComboBox;
        m_encodingBox->setObjectName(QStringLiteral("encoding"));
        for (const auto& [text, name] : encodings()) {
            m_encodingBox->addItem(text, name);
        }
        form->addRow(QStringLiteral("Encoding:"), m_encodingBox);
        layout->addLayout(form);

        m_problem = new QLabel;
        m_problem->setObjectName(QStringLiteral("problem"));
        m_problem->setWordWrap(true);
        m_problem->hide();
        layout->addWidget(m_problem);

        m_table = new QTableWidget;
        m_table->setObjectName(QStringLiteral("columns"));
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table->verticalHeader()->hide();
        layout->addWidget(m_table, 1);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
        m_read = buttons->addButton(QStringLiteral("Read"), QDialogButtonBox::AcceptRole);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);

        // What the caller chose before, else what the file shows.
        const bool given = m_layout.isValid();
        sample(given ? m_layout.delimiter : QChar());
        // The sample may be UTF-8 where the reading found a line further on that is not.
        const QString failure = m_problem->isHidden() ? options.readingProblem : m_problem->text();
        if (isNotUtf8Message(failure) && m_encoding.isEmpty()) {
            // Not UTF-8: most often a spreadsheet's save in the Western code page.
            m_encoding = QStringLiteral("Windows-1252");
            sample(given ? m_layout.delimiter : QChar());
            if (m_problem->isHidden()) {
                m_problem->setText(failure.first(failure.indexOf(QLatin1Char(';')) + 1) +
                                   QStringLiteral(" it is shown as Windows-1252. Choose its encoding above if the "
                                                  "text looks wrong."));
                m_problem->show();
            } else {
                m_encoding.clear();
                sample(given ? m_layout.delimiter : QChar());
                if (m_problem->isHidden()) {
                    m_problem->setText(failure + QStringLiteral(" Choose the file's encoding above."));
                    m_problem->show();
                }
            }
        }
        if (!given) {
            m_layout = startingCsvLayout(m_sample);
        }
        showLayout();
        connect(m_separator, &QComboBox::currentIndexChanged, this, [this] {
            sample(m_separator->currentData().toString().at(0));
            m_layout = startingCsvLayout(m_sample, m_header->isChecked());
            showLayout();
        });
        connect(m_encodingBox, &QComboBox::currentIndexChanged, this, [this] {
            m_encoding = m_encodingBox->currentData().toString();
            takeChoices();
            const CsvLayout chosen = m_layout;
            sample(m_layout.delimiter);
            m_layout.headers = chosen.header ? m_sample.rows.value(0) : QStringList();
            showLayout();
        });
        connect(m_header, &QCheckBox::toggled, this, [this](bool header) {
            takeChoices();
            m_layout.header = header;
            m_layout.headers = header ? m_sample.rows.value(0) : QStringList();
            showLayout();
        });
    }

    // The layout as the drop-downs say.
    CsvLayout chosen() {
        takeChoices();
        CsvLayout layout = m_layout;
        layout.positional = false;
        layout.own = false;
        layout.kind = QStringLiteral("the columns chosen");
        return layout;
    }
    const QString& encoding() const { return m_encoding; }

private:
    void sample(QChar delimiter) {
        QString failure;
        m_sample = sampleCsvFile(m_file, delimiter, m_encoding, sampleRows + 1, failure);
        m_problem->setText(failure.isEmpty() ? QString()
                                             : failure + QStringLiteral(" Choose the file's encoding above."));
        m_problem->setVisible(!failure.isEmpty());
        m_read->setEnabled(failure.isEmpty() && !m_sample.rows.isEmpty());
    }

    // Reads the drop-downs back into the layout.
    void takeChoices() {
        m_layout.columns.clear();
        m_layout.pairsFrom = -1;
        for (int c = 0; c < m_table->columnCount(); ++c) {
            const auto* box = qobject_cast<QComboBox*>(m_table->cellWidget(0, c));
            const int target = box ? box->currentData().toInt() : CsvLayout::NextFree;
            if (target == pairsHere) {
                m_layout.pairsFrom = c;
                break;
            }
            m_layout.columns.append(target);
        }
    }

    void showLayout() {
        const QSignalBlocker headerBlock(m_header);
        const QSignalBlocker separatorBlock(m_separator);
        const QSignalBlocker encodingBlock(m_encodingBox);
        m_header->setChecked(m_layout.header);
        m_separator->setCurrentIndex(std::max(0, m_separator->findData(QString(m_layout.delimiter))));
        m_encodingBox->setCurrentIndex(std::max(0, m_encodingBox->findData(m_encoding)));

        const int columns = static_cast<int>(m_sample.columnCount);
        const qsizetype first = m_layout.header ? 1 : 0; // the header's row names the columns
        const int rows = static_cast<int>(std::max<qsizetype>(0, m_sample.rows.size() - first));
        m_table->clear();
        m_table->setColumnCount(columns);
        m_table->setRowCount(1 + std::min(rows, sampleRows));
        QStringList names;
        for (int c = 0; c < columns; ++c) {
            const QString header = m_layout.header ? m_sample.rows.value(0).value(c) : QString();
            names << (header.isEmpty() ? QStringLiteral("Column %1").arg(c + 1) : header);
        }
        m_table->setHorizontalHeaderLabels(names);
        for (int c = 0; c < columns; ++c) {
            auto* box = new QComboBox;
            box->setObjectName(QStringLiteral("column%1").arg(c + 1));
            for (const Target& t : targets()) {
                box->addItem(t.text, t.value);
            }
            const int target = m_layout.pairsFrom >= 0 && c >= m_layout.pairsFrom
                                   ? (c == m_layout.pairsFrom ? pairsHere : CsvLayout::NextFree)
                                   : (m_layout.positional ? CsvLayout::NextFree : m_layout.target(c));
            box->setCurrentIndex(std::max(0, box->findData(target)));
            m_table->setCellWidget(0, c, box);
        }
        for (int r = 0; r < std::min(rows, sampleRows); ++r) {
            const QStringList& row = m_sample.rows[r + first];
            for (int c = 0; c < columns; ++c) {
                m_table->setItem(r + 1, c, new QTableWidgetItem(row.value(c)));
            }
        }
        m_table->resizeColumnsToContents();
    }

    QIODevice& m_file;
    CsvLayout m_layout;
    QString m_encoding;
    CsvSample m_sample;
    QCheckBox* m_header;
    QComboBox* m_separator;
    QComboBox* m_encodingBox;
    QLabel* m_problem;
    QTableWidget* m_table;
    QPushButton* m_read;
};

} // namespace

bool chooseCsvColumns(QIODevice& file, ImportOptions& options, QWidget* parent) {
    CsvColumnsDialog dialog(file, options, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    options.csvLayout = dialog.chosen();
    options.encoding = dialog.encoding();
    return true;
}

} // namespace quillbox
