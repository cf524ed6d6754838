#pragma once

#include "settings/PasswordMaker.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace quillbox {

// The password generator of the data form: characters of the chosen classes, or a passphrase of
// words from the program's word list. Every press of Generate draws a fresh value from the
// system's cryptographic source; Apply hands it to whoever opened the window.
class GeneratorWindow : public QWidget {
    Q_OBJECT
public:
    explicit GeneratorWindow(QWidget* parent);

    QString value() const;
    PasswordRecipe recipe() const;
    QSpinBox* lengthBox() const { return m_length; }
    QSpinBox* wordsBox() const { return m_words; }
    QRadioButton* passphraseChoice() const { return m_passphrase; }

public Q_SLOTS:
    void generate();

Q_SIGNALS:
    void applied(const QString& value);

private:
    QSpinBox* m_length = nullptr;
    QCheckBox* m_upper = nullptr;
    QCheckBox* m_lower = nullptr;
    QCheckBox* m_digits = nullptr;
    QCheckBox* m_symbols = nullptr;
    QCheckBox* m_avoid = nullptr;
    QRadioButton* m_characters = nullptr;
    QRadioButton* m_passphrase = nullptr;
    QSpinBox* m_words = nullptr;
    QLineEdit* m_value = nullptr;
    QLabel* m_strength = nullptr;
    QStringList m_wordList;
};

} // namespace quillbox
