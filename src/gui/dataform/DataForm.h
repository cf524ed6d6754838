#pragma once

#include "app/BalloonTips.h"
#include "app/SecondaryWindow.h"
#include "store/SiteRecord.h"

#include <QHash>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QScreen;
class QScrollArea;

class QAbstractItemModel;

namespace quillbox {

class SecretLineEdit;

class PopupKeys;

// Window 9: the thirteen label/value rows, notes, category, owner and the record number.
// It reads and fills its gadgets and reports every event through the dispatch function; saving,
// checking and the label editor's rules are the program's.
class DataForm : public SecondaryWindow {
    Q_OBJECT
public:
    DataForm(DispatchFn dispatch, QWidget* parent);

    // The gadget showing column k of the table (labels, value boxes, category, owner, notes).
    static int gadgetOfColumn(int column);
    // The label column shown by a label gadget; -1 for any other gadget.
    static int labelColumnOfGadget(int gadget);
    static bool isLabelEditButton(int gadget);

    // The window's tool tips, by gadget number.
    static const QList<GadgetTip>& toolTips();
    QWidget* gadget(int number) const { return m_gadgets.value(number); }
    const QHash<int, QWidget*>& gadgets() const { return m_gadgets; }
    QLabel* label(int labelColumn) const;
    QComboBox* valueBox(int column) const;
    QComboBox* labelEditor() const { return m_labelEditor; }
    QTextEdit* notes() const { return m_notes; }
    QLineEdit* recordNumberField() const { return m_recordNumber; }
    QCheckBox* labelButtonsSwitch() const { return m_labelButtons; }

    // Clears a box's list and text and offers the given values.
    static void fillList(QComboBox* box, const QStringList& values);
    // The box offers the model's values, in its drop-down and as completions of what is typed
    // (any part of a value, any case); the box starts empty.
    static void offerValues(QComboBox* box, QAbstractItemModel* values);

    // The record as typed: captions, box texts and the notes' plain text; no record number.
    SiteRecord typedRecord() const;
    // Puts columns 0 to 28 of a read-back record into the gadgets.
    void showRecord(const SiteRecord& record);
    // Default first four labels, every other label, box and the notes empty.
    void clearFields();
    // Every box, value list and the notes emptied, undo history included (the program is locking).
    void emptyForLock();
    void setRecordNumber(const QString& number);
    // The password box (and a one-time code's secret) masked unless private data is shown; each has
    // an eye that shows it for as long as the form is open.
    void setShowPrivate(bool showPrivate);
    static SecretLineEdit* secretEdit(const QComboBox* box);
    void setLabelButtonsVisible(bool visible);
    QLabel* strengthLabel() const { return m_strength; }
    // The one-time code beside free pair `pair` (1..9), its box narrowed to make room and its
    // secret masked unless private data is shown; pair 0 takes the code away. A problem (why there
    // is no code) is shown in place of the code.
    void showOneTimeCode(int pair, const QString& code, int secondsLeft, const QString& problem, bool showPrivate);
    QLabel* oneTimeCodeLabel() const { return m_oneTimeCode; }
    // The form's full size where the screen has room; otherwise as much as fits, scrolling.
    void fitToScreen(const QScreen* screen);
    static constexpr QSize fullSize{629, 700};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFieldRows();
    void buildLowerPanels();
    void watchKeys(QWidget* widget);
    void showStrength(const QString& password);
    // Passes the box's edits (Changed) and choices (Chosen) on to the program.
    void reportEdits(QComboBox* box, int gadget);

    QHash<int, QWidget*> m_gadgets;
    QComboBox* m_labelEditor = nullptr;
    QTextEdit* m_notes = nullptr;
    QLineEdit* m_recordNumber = nullptr;
    QCheckBox* m_labelButtons = nullptr;
    PopupKeys* m_popupKeys = nullptr;
    QLabel* m_strength = nullptr;
    QLabel* m_oneTimeCode = nullptr;
    int m_oneTimeCodePair = 0;
    QWidget* m_content = nullptr;
    QScrollArea* m_scroll = nullptr;
};

} // namespace quillbox
