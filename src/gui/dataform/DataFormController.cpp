// The data form: opening it to add, edit or copy a record, its label editor, saving and closing.
#include "dataform/DataFormController.h"

#include "app/BalloonTips.h"
#include "app/CommandTable.h"
#include "app/Ids.h"
#include "app/StatusLine.h"
#include "app/UndoStack.h"
#include "app/WindowEffects.h"
#include "app/WindowGuard.h"
#include "crypt/Stash.h"
#include "dataform/DataForm.h"
#include "dataform/GeneratorWindow.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "otp/OneTimeCode.h"
#include "record/RecordForm.h"
#include "recovery/EntryWindow.h"
#include "store/RecordHistory.h"
#include "store/SearchCopy.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "text/ProgramText.h"

#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

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
// The search copy's column that holds a value column of the table.
int copyColumnOf(int column) {
    if (column == Col::Category) {
        return SearchCopy::Category;
    }
    if (column == Col::Owner) {
        return SearchCopy::Owner;
    }
    return (column + 1) / 2; // site name 1, user name 2, password 3, home page 4, Misc k 4 + k
}
} // namespace

DataFormController::DataFormController(const ControllerContext& context, MainWindow& main, ListController& list)
    : Controller(context), m_main(main), m_list(list) {
    m_commands.add(Id::Slot::AddRecord, [this] { addNewSite(); });
    m_commands.add(Id::Slot::EditRecord, [this] { editOldSite(); });
    m_codeTimer = new QTimer(this);
    m_codeTimer->setInterval(1000);
    connect(m_codeTimer, &QTimer::timeout, this, &DataFormController::updateOneTimeCode);
    m_commands.add(Id::Slot::CopyToOwner, [this] { copyToNewOwner(); });
}

void DataFormController::openForm(const QString& caption, const QString& title) {
    auto* form = new DataForm(m_dispatch, &m_main);
    m_form = form;
    m_loaded = false;
    m_asLoaded = SiteRecord();
    m_guard.open(caption);
    m_labelGadget = -1;
    m_tips.installAll(Id::Window::DataForm, DataForm::toolTips(), form->gadgets());
    form->setWindowTitle(title);
    form->setShowPrivate(m_state.settings.optShowPrivate == 1);
    fillValueLists();
    m_status.info(title);
    fadeIn(m_state.settings, form, 10);
    form->activateWindow();
    form->valueBox(Col::SiteName)->setFocus();
    m_codeTimer->start();
}

void DataFormController::updateOneTimeCode() {
    if (!m_form) {
        m_codeTimer->stop();
        return;
    }
    const SiteRecord typed = m_form->typedRecord();
    const OneTimeCodeNow now = recordOneTimeCode(typed, m_state.seams.now().toSecsSinceEpoch());
    m_form->showOneTimeCode(now.pair, now.code, now.secondsLeft, now.error, m_state.settings.optShowPrivate == 1);
}

void DataFormController::fillValueLists() {
    // The table's version: what other connections committed, and what this one changed.
    sqlite3* db = m_state.database.handle();
    const std::pair<qint64, qint64> version{dataVersion(m_state.database), db ? sqlite3_total_changes64(db) : -1};
    const bool stale = version != m_valuesVersion || m_valueModels.isEmpty();
    if (!m_noValues) {
        m_noValues = new QStringListModel(this);
    }
    const QList<int> columns = valueListColumns();
    // Other records' passwords are offered only to a user who has chosen to see private data.
    const auto hidden = [this](int column) { return column == Col::Password && m_state.settings.optShowPrivate != 1; };
    // Read from the list's copy in memory, all at once; from the table when there is no copy.
    std::optional<std::vector<QStringList>> fromCopy;
    if (stale) {
        std::vector<int> held;
        for (int column : columns) {
            held.push_back(hidden(column) ? -1 : copyColumnOf(column));
        }
        fromCopy = m_copy.distinctValues(held);
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const int column = columns[i];
        QStringListModel*& model = m_valueModels[column];
        if (!model) {
            model = new QStringListModel(this);
        }
        if (stale && !hidden(column)) {
            model->setStringList(fromCopy ? std::move((*fromCopy)[static_cast<size_t>(i)])
                                          : distinctValues(m_state.database, valueListStatement(column)));
        } else if (stale) {
            model->setStringList({});
        }
        DataForm::offerValues(m_form->valueBox(column), hidden(column) ? m_noValues : model);
    }
    m_valuesVersion = version;
}

void DataFormController::forgetValueLists() {
    for (QStringListModel* model : std::as_const(m_valueModels)) {
        model->setStringList({});
    }
    m_valuesVersion = {-1, -1};
}

void DataFormController::stashForLock(const std::shared_ptr<const FileKey>& key) {
    if (!key) {
        return; // a plain file's form keeps its values: the file holds them in the clear anyway
    }
    if (!m_form) {
        forgetValueLists();
        return;
    }
    if (m_generator) {
        m_generator->close();
    }
    if (m_history) {
        EntryWindow* history = m_history;
        m_history = nullptr;
        delete history; // it lists the record's versions; it opens again from the form
    }
    if (m_labelGadget >= 0) {
        cancelLabelEditor();
    }
    const SiteRecord typed = m_form->typedRecord();
    QStringList values(typed.field.cbegin(), typed.field.cend());
    values += QStringList(m_asOpened.field.cbegin(), m_asOpened.field.cend());
    values += QStringList(m_asLoaded.field.cbegin(), m_asLoaded.field.cend());
    m_stash = sealStash(*key, values);
    forgetValueLists();
    m_form->emptyForLock();
    m_asOpened = SiteRecord();
    m_asLoaded = SiteRecord();
}

void DataFormController::restoreAfterLock(const std::shared_ptr<const FileKey>& key) {
    if (!m_form || m_stash.isEmpty()) {
        return;
    }
    const std::optional<QStringList> values = key ? openStash(*key, m_stash) : std::nullopt;
    m_stash.clear();
    if (!values || values->size() != 3 * Col::Count) {
        // Another password opened the file (it was changed while locked): the values are gone.
        m_status.error(QStringLiteral("The data form could not be filled again after the lock and was closed."));
        close();
        return;
    }
    SiteRecord typed;
    for (int k = 0; k < Col::Count; ++k) {
        typed[k] = values->at(k);
        m_asOpened[k] = values->at(Col::Count + k);
        m_asLoaded[k] = values->at(2 * Col::Count + k);
    }
    fillValueLists();
    m_form->showRecord(typed);
}

bool DataFormController::loadRecord(const QString& recordNumber) {
    Query query(m_state.database, recordStatement(recordNumber));
    if (!query.isValid()) {
        m_status.error(QStringLiteral("Could not execute the database query."));
        return false;
    }
    SiteRecord record;
    while (query.next()) {
        readFullRow(query, record);
        m_form->showRecord(record);
        updateOneTimeCode();
        m_asLoaded = record;
        m_loaded = true;
    }
    if (query.failed()) {
        m_status.error(QStringLiteral("Could not execute the database query."));
        return false;
    }
    return true;
}

void DataFormController::openAddForm() {
    openForm(addCaption, addTitle());
    m_adding = true;
    m_main.categoryBox()->setCurrentIndex(0);
    // The number a new record gets is the database's to choose when it is saved: none is shown
    // before (a count plus one was wrong as soon as a record had been deleted).
    m_form->setRecordNumber(QString());
    markUnchanged();
}

void DataFormController::markUnchanged() {
    m_asOpened = m_form->typedRecord();
}

bool DataFormController::leave() {
    if (!m_form) {
        return true;
    }
    if (m_form->typedRecord().field != m_asOpened.field) {
        const int choice = m_status.ask(
            QStringLiteral("Unsaved changes"), QStringLiteral("This record has changes that are not saved yet."),
            {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")}, 1);
        if (choice == 0) {
            save(); // closes the form when the record was stored; a refusal keeps it open
            return !m_form;
        }
        if (choice != 1) {
            return false;
        }
    }
    close();
    return true;
}

bool DataFormController::mayOpenOn(int row) {
    if (row < 0) {
        m_status.info(nothingToEdit);
        return false;
    }
    if (m_guard.isOpen()) {
        m_status.error(m_guard.message()); // an open form keeps its row and record
        return false;
    }
    return true;
}

void DataFormController::addNewSite() {
    if (m_guard.isOpen()) {
        m_status.error(m_guard.message());
        return;
    }
    openAddForm();
}

void DataFormController::editOldSite() {
    const int row = m_main.currentRow();
    if (!mayOpenOn(row)) {
        return;
    }
    m_editedRow = row;
    m_editedRecord = m_main.model()->cell(row, RecordModel::Record);
    openForm(editCaption, editTitle());
    m_adding = false;
    if (loadRecord(m_editedRecord)) {
        m_form->setRecordNumber(m_editedRecord);
    }
    markUnchanged();
}

void DataFormController::copyToNewOwner() {
    // A new record for another owner, started from the selected one.
    const int row = m_main.currentRow();
    if (!mayOpenOn(row)) {
        return;
    }
    const QString source = m_main.model()->cell(row, RecordModel::Record);
    openAddForm();
    if (loadRecord(source)) {
        QComboBox* owner = m_form->valueBox(Col::Owner);
        owner->clearEditText();
        owner->setFocus();
    }
    markUnchanged();
}

void DataFormController::handleEvent(int number, Notify kind, int /*detail*/) {
    if (!m_form) {
        return;
    }
    if (kind == Notify::Closed) {
        leave();
        return;
    }
    switch (number) {
    case Id::DataForm::Save:
        save();
        break;
    case Id::DataForm::Clear:
        m_form->clearFields();
        break;
    case Id::DataForm::EscapeKey:
        // Escape in the label editor leaves the editor, not the form.
        if (labelEditActive()) {
            cancelLabelEditor();
        } else {
            leave();
        }
        break;
    case Id::DataForm::Exit:
        leave();
        break;
    case Id::DataForm::ReturnKey:
        commitLabelEditor();
        break;
    case Id::DataForm::Generator:
        openGenerator();
        break;
    case Id::DataForm::History:
        openHistory();
        break;
    case Id::DataForm::LabelButtons: {
        const bool on = m_form->labelButtonsSwitch()->isChecked();
        m_form->setLabelButtonsVisible(on);
        m_status.info(on ? QStringLiteral("Label edit buttons have now been turned on.")
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
    case Id::DataForm::Help:
        m_commands.run(Id::Slot::ShowHelp);
        break;
    default:
        if (DataForm::isLabelEditButton(number)) {
            openLabelEditor(number - 1);
        }
        break;
    }
}

void DataFormController::save() {
    DataForm* form = m_form;
    const SiteRecord typed = form->typedRecord();
    // What the user did not touch is stored exactly as it was read, whatever the boxes hold of it.
    SiteRecord values = typed;
    values[Col::Notes] = notesForStore(typed[Col::Notes]);
    if (m_loaded) {
        values = editedValues(typed, m_asOpened, m_asLoaded);
    }
    const SaveCheck check = checkRecordForSave(values);
    if (!check.ok) {
        m_status.messageBox(check.title, check.text, MessageIcon::Exclamation);
        return;
    }
    ProgramSettings& settings = m_state.settings;
    settings.lastOwner = form->valueBox(Col::Owner)->currentText();
    settings.lastCategory = form->valueBox(Col::Category)->currentText();

    // A refused statement leaves the form open with everything typed, so nothing is lost.
    SiteRecord& record = m_state.currentRecord;
    if (m_adding) {
        record = quotedFields(values);
        if (!m_state.database.execute(buildInsertStatement(record))) {
            m_status.error(m_state.database.errorText());
            return;
        }
        record[Col::Record] = lastInsertedRecord(m_state.database);
        if (!record[Col::Record].isEmpty()) {
            m_list.addRow(true);
            // The new record is the row selected once the form has closed.
            m_editedRow = m_main.model()->rowCount() - 1;
            UndoStep step;
            step.kind = UndoStep::Add;
            step.records = {record[Col::Record]};
            step.siteName = values[Col::SiteName];
            m_undo.push(std::move(step));
        }
    } else {
        // Another program may have changed the record since the form read it.
        QString error;
        const std::optional<SiteRecord> stored = storedRecord(m_state.database, m_editedRecord, &error);
        if (!error.isEmpty()) {
            m_status.error(error);
            return;
        }
        if (!stored) {
            m_status.error(QStringLiteral("The record being edited is no longer in the database; nothing was saved."));
            return;
        }
        if (stored->field != m_asLoaded.field) {
            if (!settleConflict(*stored)) {
                return;
            }
            // Mine where the user changed a field, theirs everywhere else.
            values = editedValues(typed, m_asOpened, *stored);
        }
        UndoStep step;
        step.kind = UndoStep::Edit;
        step.records = {m_editedRecord};
        step.siteName = values[Col::SiteName];
        bool notFound = false;
        const Result done = saveWithHistory(m_state.database, quotedFields(values), m_editedRecord, m_state.seams.now(),
                                            historyVersions(settings), &step.version, &notFound);
        if (!done) {
            m_status.error(done.error());
            return;
        }
        if (notFound) {
            m_status.error(QStringLiteral("The record being edited is no longer in the database; nothing was saved."));
            return;
        }
        if (step.version > 0) {
            m_undo.push(std::move(step));
        }
        record = quotedFields(values);
        // The list may have been searched or sorted since the form opened: rewrite the row that
        // holds this record, not whatever row now stands at the old index.
        const int row = rowOfEditedRecord();
        if (row >= 0) {
            record[Col::Record] = m_editedRecord;
            m_list.updateRow(row, true);
        }
    }
    const QString saved = m_adding ? record[Col::Record] : m_editedRecord;
    close();
    m_list.showSavedRecord(saved, settings.lastOwner, settings.lastCategory);
}

bool DataFormController::settleConflict(const SiteRecord& stored) {
    const QStringList fields = changedFieldLabels(m_asLoaded, stored);
    const int choice = m_status.ask(
        QStringLiteral("Changed by another program"),
        QStringLiteral("While this form was open, another program changed this record: %1.\n\n"
                       "Keep mine: your changes are saved over theirs (theirs stay in the record's history).\n"
                       "Take theirs: the form shows the record as it is now, and your changes are dropped.")
            .arg(fields.join(QStringLiteral(", "))),
        {QStringLiteral("Keep mine"), QStringLiteral("Take theirs"), QStringLiteral("Cancel")}, 2);
    if (choice == 1) {
        showStored(stored);
        m_status.info(QStringLiteral("The form shows the record as the other program saved it."));
    }
    return choice == 0;
}

void DataFormController::showStored(const SiteRecord& stored) {
    m_asLoaded = stored;
    m_loaded = true;
    m_form->showRecord(stored);
    markUnchanged();
}

void DataFormController::openHistory() {
    if (m_adding || m_editedRecord.isEmpty()) {
        m_status.info(QStringLiteral("A new record has no history yet."));
        return;
    }
    if (!m_history) {
        namespace H = Id::History;
        m_history =
            new EntryWindow(Id::Window::History, QStringLiteral("History of %1").arg(m_asLoaded[Col::SiteName]),
                            {QStringLiteral("Replaced"), QStringLiteral("What that version held")},
                            {{H::Restore, QStringLiteral("Restore this version")}, {H::Close, QStringLiteral("Close")}},
                            H::EscapeKey, m_dispatch, m_form);
        m_history->list()->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    fillHistory();
    m_history->show();
    m_history->raise();
    m_history->list()->setFocus();
}

void DataFormController::fillHistory() {
    QString error;
    const std::optional<QList<HistoryEntry>> versions = recordVersions(m_state.database, m_editedRecord, &error);
    const std::optional<SiteRecord> now = storedRecord(m_state.database, m_editedRecord, &error);
    if (!versions || !now) {
        m_history->setRows({}, {});
        m_history->setNote(QStringLiteral("The history could not be read: %1").arg(error));
        return;
    }
    QList<QStringList> rows;
    QList<qint64> keys;
    const bool showPrivate = m_state.settings.optShowPrivate == 1;
    for (qsizetype i = 0; i < versions->size(); ++i) {
        // Each version against the record that replaced it: the next newer version, or the record now.
        const SiteRecord& after = i == 0 ? *now : versions->at(i - 1).values;
        const HistoryEntry& v = versions->at(i);
        rows.append({v.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                     versionChanges(v.values, after, showPrivate)});
        keys.append(v.entry);
    }
    m_history->setRows(rows, keys);
    m_history->setNote(versions->isEmpty()
                           ? QStringLiteral("No earlier version of this record is kept.")
                           : QStringLiteral("%1 kept (at most %2). Restoring one saves it as the record again; Undo "
                                            "takes that back.")
                                 .arg(versions->size() == 1 ? QStringLiteral("1 version")
                                                            : QStringLiteral("%1 versions").arg(versions->size()))
                                 .arg(historyVersions(m_state.settings)));
    m_history->button(Id::History::Restore)->setEnabled(!versions->isEmpty());
}

void DataFormController::handleHistoryEvent(int number, Notify kind, int /*detail*/) {
    if (!m_history) {
        return;
    }
    if (kind == Notify::Closed || number == Id::History::Close || number == Id::History::EscapeKey) {
        EntryWindow* window = m_history;
        m_history = nullptr;
        m_guard.dismiss(window);
    } else if (number == Id::History::Restore) {
        restoreVersion();
    }
}

void DataFormController::restoreVersion() {
    const QList<qint64> chosen = m_history->selectedKeys();
    if (chosen.isEmpty()) {
        m_status.info(QStringLiteral("Choose the version to restore in the list."));
        return;
    }
    const std::optional<HistoryEntry> version = historyEntry(m_state.database, chosen.constFirst());
    if (!version) {
        m_status.error(QStringLiteral("That version is no longer kept."));
        fillHistory();
        return;
    }
    if (m_form->typedRecord().field != m_asOpened.field &&
        m_status.ask(QStringLiteral("Unsaved changes"),
                     QStringLiteral("The form holds changes that are not saved yet; restoring the version replaces "
                                    "them."),
                     {QStringLiteral("Restore"), QStringLiteral("Cancel")}, 1) != 0) {
        return;
    }
    UndoStep step;
    step.kind = UndoStep::Edit;
    step.records = {m_editedRecord};
    step.siteName = version->values[Col::SiteName];
    bool notFound = false;
    const Result done =
        saveWithHistory(m_state.database, quotedFields(version->values), m_editedRecord, m_state.seams.now(),
                        historyVersions(m_state.settings), &step.version, &notFound);
    if (!done || notFound) {
        m_status.error(notFound ? QStringLiteral("The record is no longer in the database; nothing was restored.")
                                : QStringLiteral("Nothing was restored: %1.").arg(done.error()));
        return;
    }
    if (step.version > 0) {
        m_undo.push(std::move(step));
    }
    const std::optional<SiteRecord> stored = storedRecord(m_state.database, m_editedRecord);
    if (stored) {
        showStored(*stored);
        m_state.currentRecord = *stored;
        const int row = rowOfEditedRecord();
        if (row >= 0) {
            m_list.updateRow(row, false);
        }
    }
    fillHistory();
    m_status.info(QStringLiteral("The version of %1 was restored; Undo on the Site tools menu takes it back.")
                      .arg(version->when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))));
}

int DataFormController::rowOfEditedRecord() const {
    if (m_editedRecord.isEmpty() || m_editedRow < 0) {
        return m_editedRow;
    }
    return m_list.rowOfRecord(m_editedRecord, m_editedRow);
}

void DataFormController::close() {
    DataForm* form = m_form;
    if (!form) {
        return;
    }
    m_form = nullptr;
    m_codeTimer->stop();
    const int row = rowOfEditedRecord();
    m_labelGadget = -1;
    m_asOpened = SiteRecord(); // nothing of the record stays behind the closed form
    m_asLoaded = SiteRecord();
    m_loaded = false;
    m_guard.close(form, 8);
    m_editedRow = -1;
    m_editedRecord.clear();
    // Back in the list, the row the form was opened on (or the new record's) is selected.
    m_main.activateWindow();
    m_main.recordList()->setFocus();
    m_main.selectRow(row);
}

void DataFormController::openLabelEditor(int labelGadget) {
    DataForm* form = m_form;
    QComboBox* editor = form->labelEditor();
    auto* label = qobject_cast<QLabel*>(form->gadget(labelGadget));
    if (!label) {
        return;
    }
    if (labelEditActive()) {
        // An edit not confirmed with Return is dropped.
        editor->hide();
        if (QWidget* previous = form->gadget(m_labelGadget)) {
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
    m_labelGadget = labelGadget;
}

void DataFormController::commitLabelEditor() {
    if (!labelEditActive()) {
        return;
    }
    DataForm* form = m_form;
    form->labelEditor()->hide();
    if (auto* label = qobject_cast<QLabel*>(form->gadget(m_labelGadget))) {
        label->setText(form->labelEditor()->currentText());
        label->show();
    }
    m_labelGadget = -1;
}

void DataFormController::openGenerator() {
    if (m_generator) {
        m_generator->raise();
        return;
    }
    m_generator = new GeneratorWindow(m_form);
    connect(m_generator, &GeneratorWindow::applied, this, [this](const QString& value) {
        if (m_form) {
            m_form->valueBox(Col::Password)->setEditText(value);
        }
    });
    m_generator->show();
}

void DataFormController::cancelLabelEditor() {
    if (!labelEditActive()) {
        return;
    }
    m_form->labelEditor()->hide();
    if (QWidget* label = m_form->gadget(m_labelGadget)) {
        label->show();
        label->setFocus();
    }
    m_labelGadget = -1;
}

void DataFormController::capitaliseBox(int gadget) {
    auto* box = qobject_cast<QComboBox*>(m_form->gadget(gadget));
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

DataForm* DataFormController::window() const {
    return m_form;
}

} // namespace quillbox
