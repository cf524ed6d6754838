// The data form: opening it to add, edit or copy a record, its label editor, saving and closing.
#include "app/Ids.h"
#include "app/Program.h"
#include "app/ProgramText.h"
#include "app/WindowEffects.h"
#include "dataform/DataForm.h"
#include "dataform/GeneratorWindow.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordForm.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace quillbox {

namespace {
const QString addCaption = QStringLiteral("Add New Site");
const QString editCaption = QStringLiteral("Edit Old Site");
const QString nothingToEdit = QStringLiteral("There is no site/software selected to edit.");

QString addTitle() {
    return titleMarks + QStringLiteral("  Add a new site's details");
}
QString editTitle() {
    return titleMarks + QStringLiteral("  Edit the current site's details");
}

// The fifteen value lists, in the order they are filled.
QList<int> valueListColumns() {
    QList<int> columns;
    for (int column = Col::SiteName; column < Col::Category; column += 2) {
        columns.append(column);
    }
    columns << Col::Category << Col::Owner;
    return columns;
}
} // namespace

DataForm* Program::dataForm() const {
    return m_dataForm;
}

void Program::openDataForm(const QString& caption, const QString& title) {
    auto* form = new DataForm(
        [this](int window, int number, Notify kind, int detail) { dispatch(window, number, kind, detail); },
        m_main.get());
    m_dataForm = form;
    m_state.secondaryCaption = caption;
    m_state.labelEditActive = 0;
    m_state.labelEditGadget = -1;
    m_state.secondaryWindowOpen = 1;
    installFormToolTips(Id::Window::DataForm, form->gadgets());
    form->setWindowTitle(title);
    for (int column : valueListColumns()) {
        // Other records' passwords are offered only to a user who has chosen to see private data.
        const bool hidden = column == Col::Password && m_state.optShowPrivate != 1;
        DataForm::fillList(form->valueBox(column),
                           hidden ? QStringList() : distinctValues(m_state.database, valueListStatement(column)));
    }
    showInfo(title);
    fadeIn(m_state, form, 10);
    form->activateWindow();
    form->valueBox(Col::SiteName)->setFocus();
}

bool Program::loadRecordIntoForm(const QString& recordNumber) {
    Query query(m_state.database, recordStatement(recordNumber));
    if (!query.isValid()) {
        showError(QStringLiteral("Could not execute the database query."));
        return false;
    }
    SiteRecord record;
    while (query.next()) {
        readFullRow(query, record);
        m_dataForm->showRecord(record);
    }
    if (query.failed()) {
        showError(QStringLiteral("Could not execute the database query."));
        return false;
    }
    return true;
}

void Program::openAddForm() {
    openDataForm(addCaption, addTitle());
    m_main->categoryBox()->setCurrentIndex(0);
    m_dataForm->setRecordNumber(nextRecordNumberText(scalarQuery(m_state.database, recordCountStatement())));
    markFormUnchanged();
}

void Program::markFormUnchanged() {
    m_formAsOpened = m_dataForm->typedRecord();
}

bool Program::leaveDataForm() {
    if (!m_dataForm) {
        return true;
    }
    if (m_dataForm->typedRecord().field != m_formAsOpened.field && m_state.seams.ask) {
        const int choice = m_state.seams.ask(
            QStringLiteral("Unsaved changes"), QStringLiteral("This record has changes that are not saved yet."),
            {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")});
        if (choice == 0) {
            saveSite(); // closes the form when the record was stored; a refusal keeps it open
            return !m_dataForm;
        }
        if (choice != 1) {
            return false;
        }
    }
    closeDataForm();
    return true;
}

bool Program::formMayOpenOn(int row) {
    if (row < 0) {
        showInfo(nothingToEdit);
        return false;
    }
    if (m_state.secondaryWindowOpen == 1) {
        showError(guardMessage()); // an open form keeps its row and record
        return false;
    }
    return true;
}

void Program::addNewSite() {
    if (m_state.secondaryWindowOpen == 1) {
        showError(guardMessage());
        return;
    }
    openAddForm();
}

void Program::editOldSite() {
    const int row = m_main->currentRow();
    if (!formMayOpenOn(row)) {
        return;
    }
    m_state.editedRow = row;
    m_state.editedRecord = m_main->model()->cell(row, RecordModel::Record);
    openDataForm(editCaption, editTitle());
    if (loadRecordIntoForm(m_state.editedRecord)) {
        m_dataForm->setRecordNumber(m_state.editedRecord);
    }
    markFormUnchanged();
}

void Program::copyToNewOwner() {
    // A new record for another owner, started from the selected one.
    const int row = m_main->currentRow();
    if (!formMayOpenOn(row)) {
        return;
    }
    const QString source = m_main->model()->cell(row, RecordModel::Record);
    openAddForm();
    if (loadRecordIntoForm(source)) {
        QComboBox* owner = m_dataForm->valueBox(Col::Owner);
        owner->clearEditText();
        owner->setFocus();
    }
    markFormUnchanged();
}

void Program::handleDataFormEvent(int number, Notify kind, int /*detail*/) {
    if (!m_dataForm) {
        return;
    }
    if (kind == Notify::Closed) {
        leaveDataForm();
        return;
    }
    switch (number) {
    case Id::DataForm::Save:
        saveSite();
        break;
    case Id::DataForm::Clear:
        m_dataForm->clearFields();
        break;
    case Id::DataForm::EscapeKey:
        // Escape in the label editor leaves the editor, not the form.
        if (m_state.labelEditActive == 1) {
            cancelLabelEditor();
        } else {
            leaveDataForm();
        }
        break;
    case Id::DataForm::Exit:
        leaveDataForm();
        break;
    case Id::DataForm::ReturnKey:
        commitLabelEditor();
        break;
    case Id::DataForm::Generator:
        openGenerator();
        break;
    case Id::DataForm::LabelButtons: {
        const bool on = m_dataForm->labelButtonsSwitch()->isChecked();
        m_dataForm->setLabelButtonsVisible(on);
        showInfo(on ? QStringLiteral("Label edit buttons have now been turned on.")
                    : QStringLiteral("Label edit buttons have now been turned off."));
        break;
    }
    case Id::DataForm::SiteNameBox:
    case Id::DataForm::CategoryBox:
    case Id::DataForm::OwnerBox:
    case Id::DataForm::LabelEditor:
        // Only typing capitalises; a value chosen from the list is taken as it is.
        if (kind == Notify::Changed) {
            capitaliseBox(number);
        }
        break;
    default:
        if (DataForm::isLabelEditButton(number)) {
            openLabelEditor(number - 1);
        }
        break; // buttons 171 and 173 do nothing
    }
}

void Program::saveSite() {
    DataForm* form = m_dataForm;
    SiteRecord& record = m_state.currentRecord;
    record = recordForSaving(form->typedRecord());
    const SaveCheck check = checkRecordForSave(record);
    if (!check.ok) {
        messageBox(check.title, check.text, MessageIcon::Exclamation);
        return;
    }
    m_state.lastOwner = form->valueBox(Col::Owner)->currentText();
    m_state.lastCategory = form->valueBox(Col::Category)->currentText();

    // A refused statement leaves the form open with everything typed, so nothing is lost.
    if (m_state.secondaryCaption == addCaption) {
        if (!m_state.database.execute(buildInsertStatement(record))) {
            showError(m_state.database.errorText());
            return;
        }
        record[Col::Record] = lastInsertedRecord(m_state.database);
        if (!record[Col::Record].isEmpty()) {
            addRow(true);
            // The new record is the row selected once the form has closed.
            m_state.editedRow = m_main->model()->rowCount() - 1;
        }
    } else {
        if (!m_state.database.execute(buildUpdateStatement(record, m_state.editedRecord))) {
            showError(m_state.database.errorText());
            return;
        }
        if (changedRowCount(m_state.database) == 0) {
            showError(QStringLiteral("The record being edited is no longer in the database; nothing was saved."));
            return;
        }
        // The list may have been searched or sorted since the form opened: rewrite the row that
        // holds this record, not whatever row now stands at the old index.
        const int row = rowOfEditedRecord();
        if (row >= 0) {
            record[Col::Record] = m_state.editedRecord;
            updateRow(row, true);
        }
    }
    closeDataForm();
    fillOwnerBox();
    m_main->ownerBox()->setCurrentText(m_state.lastOwner);
    fillCategoryBox(m_state.lastOwner);
    m_main->categoryBox()->setCurrentText(m_state.lastCategory);
}

int Program::rowOfEditedRecord() const {
    const RecordModel* model = m_main->model();
    const int row = m_state.editedRow;
    if (m_state.editedRecord.isEmpty() || row < 0) {
        return row;
    }
    if (row < model->rowCount() && model->cell(row, RecordModel::Record) == m_state.editedRecord) {
        return row;
    }
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->cell(r, RecordModel::Record) == m_state.editedRecord) {
            return r;
        }
    }
    return -1;
}

void Program::closeDataForm() {
    DataForm* form = m_dataForm;
    if (!form) {
        return;
    }
    m_dataForm = nullptr;
    m_state.editedRow = rowOfEditedRecord();
    m_state.labelEditActive = 0;
    m_state.labelEditGadget = -1;
    closeSecondaryWindow(form, Id::Window::DataForm, 8);
}

void Program::openLabelEditor(int labelGadget) {
    DataForm* form = m_dataForm;
    QComboBox* editor = form->labelEditor();
    auto* label = qobject_cast<QLabel*>(form->gadget(labelGadget));
    if (!label) {
        return;
    }
    if (m_state.labelEditActive == 1) {
        // An edit not confirmed with Return is dropped.
        editor->hide();
        if (QWidget* previous = form->gadget(m_state.labelEditGadget)) {
            previous->show();
        }
    }
    label->hide();
    editor->setGeometry(label->geometry());
    DataForm::fillList(
        editor, distinctValues(m_state.database, labelListStatement(DataForm::labelColumnOfGadget(labelGadget))));
    editor->setEditText(label->text());
    editor->show();
    editor->setFocus();
    m_state.labelEditActive = 1;
    m_state.labelEditGadget = labelGadget;
}

void Program::commitLabelEditor() {
    if (m_state.labelEditActive != 1) {
        return;
    }
    DataForm* form = m_dataForm;
    m_state.labelEditActive = 0;
    form->labelEditor()->hide();
    if (auto* label = qobject_cast<QLabel*>(form->gadget(m_state.labelEditGadget))) {
        label->setText(form->labelEditor()->currentText());
        label->show();
    }
    m_state.labelEditGadget = -1;
}

void Program::openGenerator() {
    if (m_generator) {
        m_generator->raise();
        return;
    }
    m_generator = new GeneratorWindow(m_dataForm);
    connect(m_generator, &GeneratorWindow::applied, this, [this](const QString& value) {
        if (m_dataForm) {
            m_dataForm->valueBox(Col::Password)->setEditText(value);
        }
    });
    m_generator->show();
}

void Program::cancelLabelEditor() {
    if (m_state.labelEditActive != 1) {
        return;
    }
    m_state.labelEditActive = 0;
    m_dataForm->labelEditor()->hide();
    if (QWidget* label = m_dataForm->gadget(m_state.labelEditGadget)) {
        label->show();
        label->setFocus();
    }
    m_state.labelEditGadget = -1;
}

void Program::capitaliseBox(int gadget) {
    auto* box = qobject_cast<QComboBox*>(m_dataForm->gadget(gadget));
    QLineEdit* edit = box ? box->lineEdit() : nullptr;
    if (!edit || edit->text().isEmpty() || edit->hasSelectedText()) {
        return;
    }
    const int caret = edit->cursorPosition();
    const QString text = capitaliseTypedLetter(edit->text(), caret);
    if (text != edit->text()) {
        edit->setText(text);
        edit->setCursorPosition(caret);
    }
}

} // namespace quillbox
