#include "app/Program.h"

#include "app/BalloonTips.h"
#include "app/ClipboardKeeper.h"
#include "app/IdleWatch.h"
#include "app/Ids.h"
#include "app/Look.h"
#include "app/ProgramText.h"
#include "app/SessionSignals.h"
#include "app/ToolTipTexts.h"
#include "app/WindowEffects.h"
#include "mainwindow/MainWindow.h"
#include "settings/Shortcuts.h"
#include "store/SearchQuery.h"
#include "store/SiteStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTableView>

#include <span>

// The pictures live in a static library, whose resources must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(quillbox);
}

namespace quillbox {

Program::Program(AppState& state) : m_state(state), m_clipboard(new ClipboardKeeper(this)) {
    initResources();
}

Program::~Program() = default;

void Program::messageBox(const QString& title, const QString& text, MessageIcon icon) {
    if (m_state.seams.messageBox) {
        m_state.seams.messageBox(title, text, icon);
    }
}

void Program::showStatus(int kind, const QString& text) {
    if (!m_main) {
        return;
    }
    switch (kind) {
    case 1:
        m_main->setMessage(infoText(text));
        break;
    case 2:
        m_main->setMessage(errorText(text));
        break;
    case 3:
        m_main->setCount(recordCountText(text));
        break;
    default:
        break;
    }
}

QString Program::guardMessage() const {
    return QStringLiteral("The [") + m_state.secondaryCaption + QStringLiteral("] window is still open.");
}

bool Program::makeWorkingFolders() {
    const struct {
        const char* name;
        const char* failure;
    } folders[] = {{"Database", "The local database directory could not be created."},
                   {"System", "The local system files directory could not be created"},
                   {"Temporary", "The local temporary files directory could not be created"}};
    const QDir current(m_state.currentFolder);
    for (const auto& f : folders) {
        const QString name = QString::fromLatin1(f.name);
        if (QFileInfo(current.filePath(name)).isDir()) {
            continue;
        }
        // The folders hold passwords: private to the user.
        if (!current.mkdir(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
            messageBox(QStringLiteral("Directory creation error"), QString::fromLatin1(f.failure));
            return false;
        }
    }
    return true;
}

bool Program::startUp() {
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
    // The windows have fixed light colours; the desktop's theme (a dark one) must not pick the text.
    QApplication::setPalette(programPalette());
    if (m_state.currentFolder.isEmpty()) {
        m_state.setWorkingFolder(QDir::currentPath());
    }
    if (!makeWorkingFolders()) {
        return false;
    }
    // The search copy is read while the password is asked for.
    if (QFileInfo::exists(m_state.databaseFile)) {
        m_copy.loadInBackground(m_state.databaseFile);
    }
    static_cast<ProgramSettings&>(m_state) = defaultSettings();
    const SettingsResult loaded = loadSettings(m_state.settingsFile, m_state);
    if (!passwordStep()) {
        return false; // closed or cancelled: the program ends writing nothing
    }

    // The main window and its menus, status bar and shortcuts.
    m_main = std::make_unique<MainWindow>(
        m_state, [this](int window, int number, Notify kind, int detail) { dispatch(window, number, kind, detail); });
    m_main->model()->setMasked(m_state.optShowPrivate != 1);
    m_sortColumn = 0;
    m_sortDirection = 1;
    m_state.quitRequested = 0;
    for (int slot = Id::Slot::ToolTips; slot <= Id::Slot::TitleClock; ++slot) {
        m_main->setChecked(slot, optionValue(slot) == 1);
    }
    if (m_state.optToolTips == 1) {
        installMainToolTips(true);
    }
    m_main->registerShortcuts();
    installSnapping();
    // Locking by itself: after the chosen quiet minutes, and when the desktop locks or sleeps.
    m_idle = new IdleWatch(this);
    qApp->installEventFilter(m_idle);
    connect(m_idle, &IdleWatch::idle, this,
            [this] { dispatch(Id::Window::Main, Id::Main::IdleTimer, Notify::Timer, 0); });
    m_session = new SessionSignals(this);
    connect(m_session, &SessionSignals::lockWanted, this,
            [this] { dispatch(Id::Window::Main, Id::Main::SessionLocked, Notify::Command, 0); });
    m_session->listen();
    applyValueOptions();

    removeBackupLeftovers(m_state.databaseFile);
    const OpenResult opened = openDatabase(m_state.database, m_state.databaseFile);
    if (!opened.ok) {
        messageBox(opened.title, opened.text, MessageIcon::None);
    }

    restoreSearchState();

    fadeIn(m_state, m_main.get(), 10);
    m_state.baseTitle = datedTitle(m_state.seams.now().date());
    m_main->setWindowTitle(m_state.baseTitle);
    startClock(m_state.optTitleClock == 1);

    showInfo(QStringLiteral("Quillbox is ready to work."));
    if (!loaded.ok) {
        showError(loaded.error);
    }
    if (m_main->model()->rowCount() == 0) {
        showStatus(3, QStringLiteral("0"));
    }
    m_main->activateWindow();
    if (m_main->model()->rowCount() > 0) {
        m_main->recordList()->setFocus();
        m_main->selectRow(0, false);
    } else {
        m_main->searchText()->setFocus();
    }
    return true;
}

void Program::restoreSearchState() {
    fillOwnerBox();
    QComboBox* owners = m_main->ownerBox();
    if (!m_state.lastOwner.isEmpty()) {
        const int i = owners->findText(m_state.lastOwner, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        owners->setCurrentIndex(i >= 0 ? i : (owners->count() > 0 ? 0 : -1));
    } else if (owners->count() > 0) {
        owners->setCurrentIndex(0);
    }
    // The categories are those of the owner the box shows, which on a first start (no saved owner)
    // is the first owner rather than nobody.
    fillCategoryBox(owners->currentText());
    QComboBox* categories = m_main->categoryBox();
    const int c = m_state.lastCategory.isEmpty()
                      ? 0
                      : categories->findText(m_state.lastCategory, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    categories->setCurrentIndex(c >= 0 ? c : 0);
    // A field number the box does not have (a hand-edited settings file) is handed on as it is:
    // the box shows no entry, the search covers all fields, and the value is written back
    // unchanged. A comparison must be one of the nine, so an unknown one selects the first.
    m_main->fieldBox()->setCurrentIndex(m_state.lastSearchField);
    const int type = m_state.lastSearchType;
    m_main->searchTypeBox()->setCurrentIndex(type >= 0 && type < m_main->searchTypeBox()->count() ? type : 0);
    {
        const QSignalBlocker blocker(m_main->searchText());
        m_main->searchText()->setText(m_state.lastSearchText);
    }
    runSearch();
}

void Program::shutDown() {
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_main) {
        m_state.lastOwner = m_main->ownerBox()->currentText();
        m_state.lastCategory = m_main->categoryBox()->currentText();
        // A box showing no entry still holds the value it was given.
        if (m_main->fieldBox()->currentIndex() >= 0) {
            m_state.lastSearchField = m_main->fieldBox()->currentIndex();
        }
        m_state.lastSearchType = m_main->searchTypeBox()->currentIndex();
        m_state.lastSearchText = m_main->searchText()->text();
        startClock(false);
        fadeOut(m_state, m_main.get(), 8);
    }
    if (m_tray) {
        m_tray->hide();
    }
    if (m_idle) {
        m_idle->setTimeout(0);
    }
    // A copy whose time is not up yet must not outlive the program (a clipboard manager may take
    // over what a closing program leaves on the clipboard).
    m_clipboard->clearNowIfPending();
    const SettingsResult saved = saveSettings(m_state.settingsFile, m_state);
    if (!saved.ok) {
        // The main window is gone by now: a status line would go unseen.
        messageBox(QStringLiteral("Settings Error"), saved.error, MessageIcon::Exclamation);
    }
    QFile::remove(m_state.printFile); // a print document left open holds passwords
    backupDatabase();
    Q_EMIT finished();
}

void Program::backupDatabase() {
    const QString day = dayNames().at(dayIndex(m_state.seams.now().date()));
    QString reason;
    if (!quillbox::backupDatabase(m_state.database, backupFileName(m_state.databaseFile, day), &reason)) {
        messageBox(QStringLiteral("Backup Error"),
                   QStringLiteral("The database could not be backed up, disk error?.") + QLatin1Char('\n') + reason);
    }
}

void Program::dispatch(int window, int number, Notify kind, int detail) {
    if (window == Id::Window::Main) {
        if (kind == Notify::Closed) {
            // A data form holding edits is settled first; choosing to keep editing keeps the program.
            m_state.quitRequested = leaveDataForm() ? 1 : 0;
        } else if (kind == Notify::Minimized) {
            hideToTray();
        } else if (kind == Notify::TrayClick) {
            restoreFromTray();
        } else if (kind == Notify::Timer && number == Id::Main::ClockTimer) {
            tickClock();
        } else if ((kind == Notify::Timer && number == Id::Main::IdleTimer) || number == Id::Main::SessionLocked) {
            lockInterface();
        } else if (kind == Notify::Command) {
            if (const int slot = commandSlot(number); slot >= 0) {
                handleCommand(slot);
            } else if (number == Id::FindKey) {
                m_main->focusSearchText();
            } else {
                handleOptionItem(number);
            }
        } else {
            handleMainGadget(number, kind, detail);
        }
    } else {
        switch (window) {
        case Id::Window::About:
            handleAboutEvent(number, kind, detail);
            break;
        case Id::Window::ShortcutEditor:
            handleShortcutEditorEvent(number, kind, detail);
            break;
        case Id::Window::PasswordEditor:
            handlePasswordEditorEvent(number, kind, detail);
            break;
        case Id::Window::Unlock:
            handleUnlockEvent(number, kind, detail);
            break;
        case Id::Window::Print:
            handlePrintEvent(number, kind, detail);
            break;
        case Id::Window::DataForm:
            handleDataFormEvent(number, kind, detail);
            break;
        default:
            break; // other numbers are ignored
        }
    }
    if (m_state.quitRequested == 1) {
        shutDown();
    }
}

int Program::commandSlot(int number) {
    static_assert(std::size(Id::MenuItemOfSlot) == CommandCount && std::size(Id::PopupItemOfSlot) == CommandCount);
    if (number == Id::ReturnKey) {
        return Id::Slot::EditRecord;
    }
    for (const auto& table : {std::span(Id::MenuItemOfSlot), std::span(Id::PopupItemOfSlot)}) {
        if (const auto it = std::find(table.begin(), table.end(), number); it != table.end()) {
            return static_cast<int>(it - table.begin());
        }
    }
    return slotForShortcutEvent(number);
}

void Program::handleCommand(int slot) {
    using namespace Id::Slot;
    switch (slot) {
    case Exit:
        m_state.quitRequested = leaveDataForm() ? 1 : 0;
        break;
    case EditPassword:
        openPasswordEditor();
        break;
    case Lock:
        lockInterface();
        break;
    case AddRecord:
        addNewSite();
        break;
    case CopyRecords:
        copyRecords();
        break;
    case CopyToOwner:
        copyToNewOwner();
        break;
    case EditRecord:
        editOldSite();
        break;
    case PrintRecords:
        openPrintWindow();
        break;
    case HomePage:
        openHomePage();
        break;
    case Import:
        importRecords();
        break;
    case Export:
        exportRecords();
        break;
    case About:
        openAbout();
        break;
    case ShortcutKeys:
        openShortcutEditor();
        break;
    case DeleteRecords:
        deleteSelectedRecords();
        break;
    case TagAll:
        tagAllRecords();
        break;
    case ToolTips:
    case Fading:
    case Snap:
    case ShowPrivate:
    case TitleClock:
        toggleOption(slot);
        break;
    case ResetFields:
        resetSearch();
        break;
    case CopyUserName:
        copyLoginField(Col::UserName);
        break;
    case CopyPassword:
        copyLoginField(Col::Password);
        break;
    default:
        break; // "Show help" has no action
    }
}

void Program::handleMainGadget(int gadget, Notify kind, int detail) {
    switch (gadget) {
    case Id::Main::RecordList:
        if (kind == Notify::SelectionChanged) {
            showRowSummary();
        } else if (kind == Notify::DoubleClick) {
            handleCommand(Id::Slot::EditRecord);
        } else if (kind == Notify::RightClick) {
            m_main->popupMenu()->popup(QCursor::pos());
        } else if (kind == Notify::ColumnClick) {
            sortList(detail);
        }
        break;
    case Id::Main::OwnerBox:
        ownerChanged();
        break;
    case Id::Main::CategoryBox:
        categoryChanged();
        break;
    case Id::Main::FieldBox:
    case Id::Main::SearchTypeBox:
        runSearch();
        break;
    case Id::Main::SearchText:
        scheduleSearch();
        break;
    default:
        break;
    }
}

void Program::dismissWindow(QWidget* window, int step) {
    fadeOut(m_state, window, step);
    window->close();
    window->deleteLater();
}

void Program::closeSecondaryWindow(QWidget* window, int windowNumber, int step) {
    if (!window) {
        return;
    }
    dismissWindow(window, step);
    const int editedRow = m_state.editedRow;
    m_state.secondaryWindowOpen = 0;
    m_state.editedRow = -1;
    m_state.editedRecord.clear();
    if (windowNumber == Id::Window::DataForm && m_main) {
        m_main->activateWindow();
        m_main->recordList()->setFocus();
        m_main->selectRow(editedRow);
    }
}

void Program::installFormToolTips(int window, const QHash<int, QWidget*>& gadgets) {
    if (m_state.optToolTips != 1) {
        return;
    }
    for (const ToolTipEntry& entry : toolTipTable()) {
        if (entry.window == window) {
            toolTips()->install(window, entry.gadget, gadgets.value(entry.gadget), entry.text);
        }
    }
}

void Program::hideToTray() {
    // Where nothing could bring the window back, it stays minimised in the ordinary way.
    if (!m_state.seams.trayAvailable || !m_state.seams.trayAvailable()) {
        return;
    }
    m_state.inTray = 1;
    m_main->hide();
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(programImage(Id::Image::Program), this);
        m_tray->setToolTip(titleMarks + QStringLiteral("  ") + programName);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this] { dispatch(Id::Window::Main, Id::Main::TrayIcon, Notify::TrayClick, 0); });
    }
    m_tray->show();
}

void Program::restoreFromTray() {
    if (m_state.locked == 1) {
        openUnlockWindow();
        return;
    }
    m_state.inTray = 0;
    if (m_tray) {
        m_tray->hide();
    }
    m_main->showNormal();
    m_main->activateWindow();
}

} // namespace quillbox
