#include "dataform/GeneratorWindow.h"

#include "app/Look.h"
#include "text/ProgramText.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>

namespace quillbox {

GeneratorWindow::GeneratorWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("generatorWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(titleMarks + QStringLiteral("  Password generator"));
    setStyleSheet(windowStyleSheet(QStringLiteral("QWidget#generatorWindow")));
    setFont(programFont(10));

    QFile words(QStringLiteral(":/words/eff_large_wordlist.txt"));
    if (words.open(QIODevice::ReadOnly)) {
        m_wordList = readWordList(words.readAll());
    }

    auto* grid = new QGridLayout(this);
    m_characters = new QRadioButton(QStringLiteral("Characters, length"));
    m_characters->setChecked(true);
    m_length = new QSpinBox;
    m_length->setRange(minimumGeneratedLength, maximumGeneratedLength);
    m_length->setValue(PasswordRecipe().length);
    m_upper = new QCheckBox(QStringLiteral("Upper case A-Z"));
    m_lower = new QCheckBox(QStringLiteral("Lower case a-z"));
    m_digits = new QCheckBox(QStringLiteral("Digits 0-9"));
    m_symbols = new QCheckBox(QStringLiteral("Symbols !#%..."));
    m_avoid = new QCheckBox(QStringLiteral("Avoid look-alike characters"));
    for (QCheckBox* box : {m_upper, m_lower, m_digits, m_symbols}) {
        box->setChecked(true);
    }
    m_passphrase = new QRadioButton(QStringLiteral("Passphrase, words"));
    m_words = new QSpinBox;
    m_words->setRange(3, 20);
    m_words->setValue(6);
    m_value = new QLineEdit;
    m_value->setReadOnly(true);
    m_value->setFont(QFont(QStringLiteral("monospace"), 11));
    m_value->setMinimumWidth(360);
    m_strength = new QLabel;
    auto* generateButton = new QPushButton(QStringLiteral("Generate"));
    auto* applyButton = new QPushButton(QStringLiteral("Apply"));
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"));
    applyButton->setDefault(true);

    grid->addWidget(m_characters, 0, 0);
    grid->addWidget(m_length, 0, 1);
    grid->addWidget(m_upper, 1, 0);
    grid->addWidget(m_lower, 1, 1);
    grid->addWidget(m_digits, 2, 0);
    grid->addWidget(m_symbols, 2, 1);
    grid->addWidget(m_avoid, 3, 0, 1, 2);
    grid->addWidget(m_passphrase, 4, 0);
    grid->addWidget(m_words, 4, 1);
    grid->addWidget(m_value, 5, 0, 1, 3);
    grid->addWidget(m_strength, 6, 0, 1, 3);
    grid->addWidget(generateButton, 0, 2);
    grid->addWidget(applyButton, 1, 2);
    grid->addWidget(cancelButton, 2, 2);

    connect(generateButton, &QPushButton::clicked, this, &GeneratorWindow::generate);
    connect(applyButton, &QPushButton::clicked, this, [this] {
        Q_EMIT applied(value());
        close();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    // Any change of the recipe draws a new value at once.
    for (QCheckBox* box : {m_upper, m_lower, m_digits, m_symbols, m_avoid}) {
        connect(box, &QCheckBox::toggled, this, &GeneratorWindow::generate);
    }
    connect(m_characters, &QRadioButton::toggled, this, &GeneratorWindow::generate);
    connect(m_length, &QSpinBox::valueChanged, this, &GeneratorWindow::generate);
    connect(m_words, &QSpinBox::valueChanged, this, &GeneratorWindow::generate);
    generate();
}

PasswordRecipe GeneratorWindow::recipe() const {
    PasswordRecipe r;
    r.length = m_length->value();
    r.upper = m_upper->isChecked();
    r.lower = m_lower->isChecked();
    r.digits = m_digits->isChecked();
    r.symbols = m_symbols->isChecked();
    r.avoidLookAlikes = m_avoid->isChecked();
    return r;
}

void GeneratorWindow::generate() {
    QRandomGenerator* random = QRandomGenerator::system();
    const QString value = m_passphrase->isChecked() ? generatePassphrase(m_words->value(), m_wordList, *random)
                                                    : generatePassword(recipe(), *random);
    m_value->setText(value);
    m_strength->setText(value.isEmpty() ? QStringLiteral("Choose at least one kind of character.")
                                        : QStringLiteral("Strength: ") + strengthText(passwordStrength(value)));
}

QString GeneratorWindow::value() const {
    return m_value->text();
}

} // namespace quillbox
