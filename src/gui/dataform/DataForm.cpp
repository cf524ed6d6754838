#include "dataform/DataForm.h"

#include "app/Ids.h"
#include "app/Look.h"
#include "app/PopupKeys.h"
#include "app/SecretLineEdit.h"
#include "geometry/Snapping.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordForm.h"
#include "settings/PasswordMaker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QTextEdit>
#include <QToolButton>
#include <limits>

namespace quillbox {

namespace {
constexpr int rowCount = 13;

// An editable box offering the values in use; what is typed is never added to its list.
QComboBox* newValueBox(QWidget* parent, const QRect& geometry) {
    auto* box = new QComboBox(parent);
    box->setGeometry(geometry);
    box->setFont(programFont(11));
    box->setEditable(true);
    box->setLineEdit(new SecretLineEdit(box));
    // A box holds what the column holds, however long (a line edit stops at 32,767 characters).
    box->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(20);
    // Rows of one height: a drop-down of 100,000 values opens without measuring each.
    if (auto* view = qobject_cast<QListView*>(box->view())) {
        view->setUniformItemSizes(true);
    }
    return box;
}

struct RowPlace {
    int labelY;
    int buttonY;
    int boxX;
    int boxY;
    int boxHeight;
    int labelHeight;
};

// Rows 0 to 3 are the fixed fields, 4 to 12 the free fields 1 to 9.
RowPlace rowPlace(int row) {
    if (row < 4) {
        return {10 + 30 * row, 10 + 30 * row, row == 0 ? 214 : 215, 5 + 30 * row, 25, 20};
    }
    const int k = row - 3;
    switch (k) {
    case 1:
        return {130, 130, 215, 125, 25, 20};
    case 2:
        return {162, 160, 215, 155, 23, 20};
    case 3:
        return {192, 190, 215, 185, 23, 20};
    default:
        return {222 + 30 * (k - 4), 220 + 30 * (k - 4), 215, 215 + 30 * (k - 4), 23, k >= 5 ? 21 : 20};
    }
}

QToolButton* pictureButton(QWidget* parent, const QRect& geometry, int image, const QSize& iconSize) {
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setIcon(programImage(image));
    button->setIconSize(iconSize);
    button->setAutoRaise(true);
    return button;
}

bool isFormKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier &&
           (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape);
}
} // namespace

int DataForm::gadgetOfColumn(int column) {
    static const int fixed[] = {147, 149, 150, 152, 153, 155, 156, 158};
    if (column >= 0 && column < Col::FirstMisc) {
        return fixed[column];
    }
    if (column >= Col::FirstMisc && column < Col::Category) {
        const int j = (column - Col::FirstMisc) / 2; // free field j + 1
        return (column - Col::FirstMisc) % 2 == 0 ? 178 + 3 * j : 180 + 3 * j;
    }
    switch (column) {
    case Col::Category:
        return Id::DataForm::CategoryBox;
    case Col::Owner:
        return Id::DataForm::OwnerBox;
    case Col::Notes:
        return Id::DataForm::Notes;
    default:
        return -1;
    }
}

int DataForm::labelColumnOfGadget(int gadget) {
    for (int column = Col::SiteNameLabel; column < Col::Category; column += 2) {
        if (gadgetOfColumn(column) == gadget) {
            return column;
        }
    }
    return -1;
}

bool DataForm::isLabelEditButton(int gadget) {
    return labelColumnOfGadget(gadget - 1) >= 0;
}

DataForm::DataForm(DispatchFn dispatch, QWidget* parent)
    : SecondaryWindow(
          Id::Window::DataForm, QStringLiteral("dataForm"),
          // A style sheet rule without a font drops the gadget's own font, so the rules name it.
          QStringLiteral("QComboBox, QLineEdit, QTextEdit { font-family: 'Comic Sans MS'; font-size: 11pt; }"
                         "QComboBox#labelEditor, QComboBox#labelEditor QLineEdit { font-size: 10pt; }"
                         "QComboBox { padding: 0px 2px; }"
                         "QComboBox#labelEditor { background: rgb(191,191,191); }"
                         "QLineEdit#recordNumber { border: none; }"),
          std::move(dispatch), parent) {
    setFont(programFont(11));
    // The gadgets stand at fixed places on a page of the form's full size, which scrolls where
    // the screen is smaller (a laptop at 150 % or 200 % scaling).
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("dataForm"));
    m_content->setFixedSize(fullSize);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(m_content);
    m_scroll->viewport()->setAutoFillBackground(false);
    buildFieldRows();
    buildLowerPanels();
    fitToScreen(screen());
    m_popupKeys = new PopupKeys(this);
    for (QComboBox* box : findChildren<QComboBox*>()) {
        m_popupKeys->watch(box);
    }

    const DispatchFn& d = dispatcher();
    const int w = Id::Window::DataForm;
    const struct {
        QKeySequence keys;
        int event;
    } keys[] = {{QKeySequence(Qt::Key_Return), Id::DataForm::ReturnKey},
                {QKeySequence(Qt::KeypadModifier | Qt::Key_Enter), Id::DataForm::ReturnKey},
                {QKeySequence(Qt::Key_Escape), Id::DataForm::EscapeKey}};
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(k.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        const int event = k.event;
        connect(shortcut, &QShortcut::activated, this, [this, d, w, event] {
            // Escape while one of the form's own lists is open closes that list, nothing more.
            if (event == Id::DataForm::EscapeKey && m_popupKeys->listTook(Qt::Key_Escape)) {
                return;
            }
            d(w, event, Notify::Command, 0);
        });
    }

    centreOnScreen(this, screen());
}

void DataForm::buildFieldRows() {
    const DispatchFn& d = dispatcher();
    const int w = Id::Window::DataForm;
    QFrame* panel = makePanel(m_content, QRect(5, 5, 620, 400));
    m_gadgets.insert(Id::DataForm::FieldPanel, panel);
    for (int row = 0; row < rowCount; ++row) {
        const RowPlace place = rowPlace(row);
        const int labelGadget = gadgetOfColumn(2 * row);
        const int buttonGadget = labelGadget + 1;
        const int boxGadget = gadgetOfColumn(2 * row + 1);

        auto* label = new QLabel(panel);
        label->setGeometry(15, place.labelY, 175, place.labelHeight);
        label->setFont(programFont(11));
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        label->setText(row < 4 ? defaultLabels().at(row) : QString());

        QToolButton* button =
            pictureButton(panel, QRect(191, place.buttonY, 17, 19), Id::Image::FirstLabelEdit + row, QSize(13, 13));
        button->hide();
        connect(button, &QToolButton::clicked, this, [d, w, buttonGadget] { d(w, buttonGadget, Notify::Command, 0); });

        // The password box leaves room for its strength and the generator's button.
        const int boxWidth = row == 2 ? 258 : 400;
        QComboBox* box = newValueBox(panel, QRect(place.boxX, place.boxY, boxWidth, place.boxHeight));
        watchKeys(box->lineEdit());

        m_gadgets.insert(labelGadget, label);
        m_gadgets.insert(buttonGadget, button);
        m_gadgets.insert(boxGadget, box);
    }

    QComboBox* password = valueBox(Col::Password);
    m_strength = new QLabel(panel);
    m_strength->setGeometry(password->geometry().right() + 4, password->y(), 112, password->height());
    m_strength->setFont(programFont(8));
    m_strength->setAlignment(Qt::AlignCenter);
    m_gadgets.insert(Id::DataForm::PasswordStrength, m_strength);
    connect(password, &QComboBox::editTextChanged, this, [this](const QString& text) { showStrength(text); });
    QToolButton* generator = pictureButton(panel, QRect(password->geometry().right() + 118, password->y() + 1, 22, 22),
                                           Id::Image::Program, QSize(16, 16));
    generator->setToolTip(QStringLiteral("Generate a password"));
    connect(generator, &QToolButton::clicked, this, [d, w] { d(w, Id::DataForm::Generator, Notify::Command, 0); });
    m_gadgets.insert(Id::DataForm::Generator, generator);

    m_oneTimeCode = new QLabel(panel);
    m_oneTimeCode->setFont(programFont(9));
    m_oneTimeCode->setAlignment(Qt::AlignCenter);
    m_oneTimeCode->setTextInteractionFlags(Qt::NoTextInteraction);
    m_oneTimeCode->hide();
    m_gadgets.insert(Id::DataForm::OneTimeCode, m_oneTimeCode);

    m_labelEditor = newValueBox(panel, QRect(15, 120, 150, 20));
    m_labelEditor->setObjectName(QStringLiteral("labelEditor"));
    m_labelEditor->setFont(programFont(10));
    m_labelEditor->hide();
    watchKeys(m_labelEditor->lineEdit());
    m_gadgets.insert(Id::DataForm::LabelEditor, m_labelEditor);

    // The boxes whose words are capitalised report each edit and each choice.
    reportEdits(static_cast<QComboBox*>(m_gadgets.value(Id::DataForm::SiteNameBox)), Id::DataForm::SiteNameBox);
    reportEdits(m_labelEditor, Id::DataForm::LabelEditor);
}

void DataForm::reportEdits(QComboBox* box, int gadget) {
    const DispatchFn& d = dispatcher();
    const int w = Id::Window::DataForm;
    connect(box->lineEdit(), &QLineEdit::textEdited, this, [d, w, gadget] { d(w, gadget, Notify::Changed, 0); });
    connect(box, &QComboBox::activated, this, [d, w, gadget] { d(w, gadget, Notify::Chosen, 0); });
}

void DataForm::buildLowerPanels() {
    const DispatchFn& d = dispatcher();
    const int w = Id::Window::DataForm;

    QFrame* notesPanel = makePanel(m_content, QRect(5, 410, 620, 165));
    m_notes = new QTextEdit(notesPanel);
    m_notes->setGeometry(5, 5, 608, 152);
    m_notes->setFont(programFont(11));
    m_notes->setAcceptRichText(false);
    m_notes->setLineWrapMode(QTextEdit::WidgetWidth);
    m_notes->setTabChangesFocus(true);
    watchKeys(m_notes);
    m_gadgets.insert(Id::DataForm::NotesPanel, notesPanel);
    m_gadgets.insert(Id::DataForm::Notes, m_notes);

    QFrame* boxPanel = makePanel(m_content, QRect(5, 580, 620, 40));
    auto* categoryLabel = new QLabel(QStringLiteral("Category"), boxPanel);
    categoryLabel->setGeometry(10, 7, 80, 20);
    categoryLabel->setFont(programFont(11));
    auto* ownerLabel = new QLabel(QStringLiteral("Owner"), boxPanel);
    ownerLabel->setGeometry(315, 8, 80, 20);
    ownerLabel->setFont(programFont(11));
    auto makeBox = [&](const QRect& geometry, int gadget) {
        QComboBox* box = newValueBox(boxPanel, geometry);
        watchKeys(box->lineEdit());
        reportEdits(box, gadget);
        m_gadgets.insert(gadget, box);
    };
    makeBox(QRect(90, 5, 223, 18), Id::DataForm::CategoryBox);
    makeBox(QRect(392, 6, 223, 18), Id::DataForm::OwnerBox);
    m_gadgets.insert(Id::DataForm::BoxPanel, boxPanel);
    m_gadgets.insert(Id::DataForm::CategoryLabel, categoryLabel);
    m_gadgets.insert(Id::DataForm::OwnerLabel, ownerLabel);

    QFrame* buttonPanel = makePanel(m_content, QRect(5, 625, 620, 70));
    m_gadgets.insert(Id::DataForm::ButtonPanel, buttonPanel);
    const struct {
        int gadget;
        int x;
        int image;
    } buttons[] = {{Id::DataForm::Save, 10, Id::Image::Save},        {Id::DataForm::Spare, 50, Id::Image::Spare},
                   {Id::DataForm::Clear, 90, Id::Image::Clear},      {Id::DataForm::Help, 130, Id::Image::Help},
                   {Id::DataForm::History, 170, Id::Image::History}, {Id::DataForm::Exit, 569, Id::Image::Exit}};
    for (const auto& b : buttons) {
        QToolButton* button = pictureButton(buttonPanel, QRect(b.x, 15, 40, 40), b.image, QSize(32, 32));
        const int gadget = b.gadget;
        connect(button, &QToolButton::clicked, this, [d, w, gadget] { d(w, gadget, Notify::Command, 0); });
        m_gadgets.insert(gadget, button);
    }
    // The spare button has nothing to do: a button that does nothing is not shown.
    m_gadgets.value(Id::DataForm::Spare)->hide();

    m_labelButtons = new QCheckBox(QStringLiteral(" Turn label edit buttons on or off."), buttonPanel);
    m_labelButtons->setGeometry(215, 35, 225, 20);
    m_labelButtons->setFont(programFont(10));
    connect(m_labelButtons, &QCheckBox::toggled, this,
            [d, w](bool on) { d(w, Id::DataForm::LabelButtons, Notify::Changed, on ? 1 : 0); });
    m_gadgets.insert(Id::DataForm::LabelButtons, m_labelButtons);

    auto* caption = new QLabel(QStringLiteral(" Record number..."), buttonPanel);
    caption->setGeometry(445, 15, 115, 15);
    caption->setFont(programFont(8));
    m_gadgets.insert(Id::DataForm::RecordCaption, caption);

    m_recordNumber = new QLineEdit(buttonPanel);
    m_recordNumber->setObjectName(QStringLiteral("recordNumber"));
    m_recordNumber->setGeometry(445, 33, 115, 23);
    m_recordNumber->setFrame(false);
    m_recordNumber->setFont(programFont(11));
    m_recordNumber->setReadOnly(true);
    m_recordNumber->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), this));
    watchKeys(m_recordNumber);
    m_gadgets.insert(Id::DataForm::RecordNumber, m_recordNumber);
}

void DataForm::watchKeys(QWidget* widget) {
    widget->installEventFilter(this);
}

bool DataForm::eventFilter(QObject* watched, QEvent* event) {
    // Entry fields claim Return and Escape for themselves; on this window they are the form's
    // keys, except that Return in the notes starts a new line.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isFormKey(key) && (watched != m_notes || key->key() == Qt::Key_Escape)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DataForm::fitToScreen(const QScreen* screen) {
    QSize size = fullSize;
    if (screen) {
        // Room for the window's frame and title bar, which the window system adds around it.
        const QSize room = screen->availableGeometry().size() -
                           QSize(16, 16 + style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
        const WindowSize fitted = fitWindow({fullSize.width(), fullSize.height()}, {room.width(), room.height()},
                                            style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
        size = QSize(fitted.width, fitted.height);
    }
    setFixedSize(size);
    m_scroll->setGeometry(rect());
}

QLabel* DataForm::label(int labelColumn) const {
    return qobject_cast<QLabel*>(m_gadgets.value(gadgetOfColumn(labelColumn)));
}

QComboBox* DataForm::valueBox(int column) const {
    return qobject_cast<QComboBox*>(m_gadgets.value(gadgetOfColumn(column)));
}

void DataForm::fillList(QComboBox* box, const QStringList& values) {
    box->clear();
    box->addItems(values);
    box->setCurrentIndex(-1);
    box->clearEditText();
}

void DataForm::offerValues(QComboBox* box, QAbstractItemModel* values) {
    if (box->model() != values) {
        // A shared model: setting it is one pointer, however many values it holds.
        box->setModel(values);
        auto* completer = new QCompleter(values, box);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCompletionMode(QCompleter::PopupCompletion);
        completer->setMaxVisibleItems(12);
        box->setCompleter(completer);
    }
    box->setCurrentIndex(-1);
    box->clearEditText();
}

SiteRecord DataForm::typedRecord() const {
    SiteRecord record;
    for (int column = Col::SiteNameLabel; column < Col::Category; column += 2) {
        record[column] = label(column)->text();
        record[column + 1] = valueBox(column + 1)->currentText();
    }
    record[Col::Category] = valueBox(Col::Category)->currentText();
    record[Col::Owner] = valueBox(Col::Owner)->currentText();
    record[Col::Notes] = m_notes->toPlainText();
    return record;
}

void DataForm::showRecord(const SiteRecord& record) {
    for (int column = Col::SiteNameLabel; column < Col::Category; column += 2) {
        label(column)->setText(record[column]);
        valueBox(column + 1)->setEditText(record[column + 1]);
    }
    valueBox(Col::Category)->setEditText(record[Col::Category]);
    valueBox(Col::Owner)->setEditText(record[Col::Owner]);
    m_notes->setPlainText(notesForEditor(record[Col::Notes]));
}

void DataForm::clearFields() {
    for (int row = 0; row < rowCount; ++row) {
        label(2 * row)->setText(row < 4 ? defaultLabels().at(row) : QString());
        valueBox(2 * row + 1)->clearEditText();
    }
    valueBox(Col::Category)->clearEditText();
    valueBox(Col::Owner)->clearEditText();
    m_notes->clear();
}

void DataForm::emptyForLock() {
    for (int column = Col::SiteNameLabel; column < Col::Category; column += 2) {
        valueBox(column + 1)->clear();
        valueBox(column + 1)->setEditText(QString());
    }
    for (int column : {Col::Category, Col::Owner}) {
        valueBox(column)->clear();
        valueBox(column)->setEditText(QString());
    }
    m_notes->setPlainText(QString());
    m_strength->clear();
    m_oneTimeCode->clear();
}

void DataForm::showStrength(const QString& password) {
    const PasswordStrength strength = passwordStrength(password);
    m_strength->setText(strengthText(strength));
    // Red for a password that is easy to guess, green for a strong one.
    m_strength->setStyleSheet(strength.weak()     ? QStringLiteral("color: rgb(150,0,0);")
                              : strength.bits > 0 ? QStringLiteral("color: rgb(0,100,0);")
                                                  : QString());
}

void DataForm::showOneTimeCode(int pair, const QString& code, int secondsLeft, const QString& problem,
                               bool showPrivate) {
    constexpr int fullWidth = 400;
    constexpr int narrowWidth = 258;
    if (pair != m_oneTimeCodePair && m_oneTimeCodePair > 0) {
        QComboBox* old = valueBox(Col::FirstMisc + 2 * (m_oneTimeCodePair - 1) + 1);
        old->resize(fullWidth, old->height());
        secretEdit(old)->setSecret(false, true);
    }
    m_oneTimeCodePair = pair;
    if (pair <= 0) {
        m_oneTimeCode->hide();
        return;
    }
    QComboBox* box = valueBox(Col::FirstMisc + 2 * (pair - 1) + 1);
    box->resize(narrowWidth, box->height());
    // The secret makes every code: it is kept out of sight like the password.
    if (!secretEdit(box)->isSecret()) {
        secretEdit(box)->setSecret(true, showPrivate);
    }
    m_oneTimeCode->setGeometry(box->geometry().right() + 4, box->y(), fullWidth - narrowWidth - 4, box->height());
    const bool failed = !problem.isEmpty();
    m_oneTimeCode->setText(failed ? QStringLiteral("No code: see the tip")
                                  : QStringLiteral("%1  %2 s").arg(code).arg(secondsLeft));
    m_oneTimeCode->setToolTip(failed ? problem
                                     : QStringLiteral("The one-time code now; Ctrl+Shift+T in the list copies it"));
    m_oneTimeCode->setStyleSheet(failed ? QStringLiteral("color: rgb(150,0,0);")
                                        : QStringLiteral("color: rgb(0,60,120); font-weight: bold;"));
    m_oneTimeCode->show();
}

SecretLineEdit* DataForm::secretEdit(const QComboBox* box) {
    return static_cast<SecretLineEdit*>(box->lineEdit());
}

void DataForm::setShowPrivate(bool showPrivate) {
    secretEdit(valueBox(Col::Password))->setSecret(true, showPrivate);
    if (m_oneTimeCodePair > 0) {
        secretEdit(valueBox(Col::FirstMisc + 2 * (m_oneTimeCodePair - 1) + 1))->setSecret(true, showPrivate);
    }
}

void DataForm::setRecordNumber(const QString& number) {
    m_recordNumber->setText(number);
}

void DataForm::setLabelButtonsVisible(bool visible) {
    for (int column = Col::SiteNameLabel; column < Col::Category; column += 2) {
        m_gadgets.value(gadgetOfColumn(column) + 1)->setVisible(visible);
    }
}

const QList<GadgetTip>& DataForm::toolTips() {
    static const QList<GadgetTip> tips{
        {165, QStringLiteral("Select the product/sitename category to save.")},
        {167, QStringLiteral("The owner of this data record.")},
        {163, QStringLiteral("Extra notes and login details.")},
        {170, QStringLiteral("Save the site details to the database.")},
        {173, QStringLiteral("Show help for data form functions.")},
        {208, QStringLiteral("The earlier versions of this record, to look at or restore.")},
        {177, QStringLiteral("Exit the site data input form.")},
    };
    return tips;
}

} // namespace quillbox
