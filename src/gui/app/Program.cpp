#include "app/Program.h"

#include "about/AboutController.h"
#include "app/Ids.h"
#include "app/Look.h"
#include "app/WindowEffects.h"
#include "app/WindowSnapper.h"
#include "dataform/DataFormController.h"
#include "health/HealthController.h"
#include "mainwindow/ListController.h"
#include "mainwindow/MainWindow.h"
#include "print/PrintController.h"
#include "recovery/RecoveryController.h"
#include "settings/DatabaseController.h"
#include "settings/OptionsController.h"
#include "settings/SecurityController.h"
#include "store/DatabaseFile.h"
#include "store/SiteStore.h"
#include "text/ProgramText.h"
#include "transfer/TransferController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>

// The pictures live in a static library, whose resources must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(quillbox);
    Q_INIT_RESOURCE(words);
}

namespace quillbox {

Program::Program(AppState& state)
    : m_state(state), m_status(state.seams), m_guard(state.settings), m_clipboard(*state.seams.clock),
      m_dispatch([this](int window, int number, Notify kind, int detail) { dispatch(window, number, kind, detail); }) {
    initResources();
    m_tips.setWanted([this] { return m_state.settings.optToolTips == 1; });
    m_security = std::make_unique<SecurityController>(context());
    m_commands.add(Id::Slot::Exit, [this] { m_quitRequested = !m_dataForms || m_dataForms->leave(); });
}

Program::~Program() = default;

bool Program::makeWorkingFolders() {
    const struct {
        const char* name;
        const char* failure;
    } folders[] = {{"Database", "The local database directory could not be created."},
                   {"System", "The local system files directory could not be created"},
                   {"Temporary", "The local temporary files directory could not be created"}};
    const QDir current(m_state.files.currentFolder);
    for (const auto& f : folders) {
        const QString name = QString::fromLatin1(f.name);
        if (QFileInfo(current.filePath(name)).isDir()) {
            continue;
        }
        // The folders hold passwords: private to the user.
        if (!current.mkdir(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
            m_status.messageBox(QStringLiteral("Directory creation error"), QString::fromLatin1(f.failure));
            return false;
        }
    }
    return true;
}

bool Program::startUp() {
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
    // The windows have fixed light colours; the desktop's theme (a dark one) must not pick the text.
    QApplication::setPalette(programPalette());
    if (m_state.files.currentFolder.isEmpty()) {
        m_state.setWorkingFolder(QDir::currentPath());
    }
    if (!makeWorkingFolders()) {
        return false;
    }
    // A plain database's search copy is read while the password is asked for; an encrypted one's
    // as soon as the password has made its key.
    const QString& file = m_state.files.databaseFile;
    // So is its check, which a damaged file fails before anyone works in it.
    std::future<QString> check;
    if (databaseKind(file) == DatabaseKind::Plain) {
        m_copy.loadInBackground(file);
        check = checkInBackground(file, nullptr);
    }
    m_state.settings = defaultSettings();
    const Result loaded = loadSettings(m_state.files.settingsFile, m_state.settings);
    if (!m_security->passwordStep()) {
        return false; // closed or cancelled: the program ends writing nothing
    }
    std::shared_ptr<const FileKey> key = m_security->takeStartupKey();
    if (key) {
        m_copy.loadInBackground(file, key); // its check begins once the window is up
    }

    // The main window and its menus, status bar and shortcuts.
    m_main = std::make_unique<MainWindow>(m_state.settings, m_dispatch);
    m_main->restoreGeometryText(m_state.settings.mainWindowGeometry);
    m_main->setShownColumns(m_state.settings.listColumns);
    m_main->model()->setMasked(m_state.settings.optShowPrivate != 1);
    m_status.attach(m_main.get());
    m_quitRequested = false;
    buildControllers();
    m_options->start();
    m_main->registerShortcuts();
    installSnapping();

    if (!m_database->open(std::move(key), std::move(check))) {
        return false; // locked by another program, and the user chose to quit: nothing is written
    }
    m_list->restoreSearchState();

    fadeIn(m_state.settings, m_main.get(), 10);
    m_options->startTitle();

    // A database that is not there or fails its check has said so; it is not "ready".
    if (!m_database->damage().isEmpty()) {
        m_status.error(m_database->damage());
    } else if (m_state.database.isOpen()) {
        m_status.info(QStringLiteral("Quillbox is ready to work."));
    }
    if (!loaded.ok()) {
        m_status.error(loaded.error());
    }
    if (m_main->model()->rowCount() == 0) {
        m_status.count(0);
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

void Program::buildControllers() {
    MainWindow& main = *m_main;
    m_security->attach(&main);
    const ControllerContext c = context();
    m_list = std::make_unique<ListController>(c, main);
    m_dataForms = std::make_unique<DataFormController>(c, main, *m_list);
    m_options = std::make_unique<OptionsController>(c, main, *m_list, *m_security);
    m_transfer = std::make_unique<TransferController>(c, main, *m_list);
    m_print = std::make_unique<PrintController>(c, main);
    m_about = std::make_unique<AboutController>(c, main);
    m_database = std::make_unique<DatabaseController>(c, main, *m_list, *m_dataForms, *m_security);
    m_security->attachDatabase(m_database.get());
    m_recovery = std::make_unique<RecoveryController>(c, main, *m_list);
    m_health = std::make_unique<HealthController>(c, main, *m_list);
}

ControllerContext Program::context() {
    return {m_state, m_status, m_guard, m_commands, m_tips, m_clipboard, m_undo, m_copy, m_dispatch};
}

void Program::installSnapping() {
    if (m_snapper) {
        return;
    }
    // The work area is read once; its left and top edges count as 0.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    m_snapper = new WindowSnapper(m_state.settings, area.x() + area.width(), area.y() + area.height(), this);
    qApp->installEventFilter(m_snapper);
}

void Program::shutDown() {
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_main) {
        m_list->saveSearchState();
        m_state.settings.mainWindowGeometry = m_main->geometryText();
        m_state.settings.listColumns = m_main->shownColumns();
        m_options->shutDown();
        fadeOut(m_state.settings, m_main.get(), 8);
    }
    m_security->shutDown();
    // A copy whose time is not up yet must not outlive the program (a clipboard manager may take
    // over what a closing program leaves on the clipboard).
    m_clipboard.clearNowIfPending();
    const Result saved = saveSettings(m_state.files.settingsFile, m_state.settings);
    if (!saved.ok()) {
        // The main window is gone by now: a status line would go unseen.
        m_status.messageBox(QStringLiteral("Settings Error"), saved.error(), MessageIcon::Exclamation);
    }
    QFile::remove(m_state.files.printFile); // a print document left open holds passwords
    backupDatabase();
    Q_EMIT finished();
}

void Program::backupDatabase() {
    const QString day = dayNames().at(dayIndex(m_state.seams.now().date()));
    if (const Result backedUp =
            quillbox::backupDatabase(m_state.database, backupFileName(m_state.files.databaseFile, day));
        !backedUp) {
        m_status.messageBox(QStringLiteral("Backup Error"),
                            QStringLiteral("The database could not be backed up, disk error?.") + QLatin1Char('\n') +
                                backedUp.error());
    }
}

void Program::dispatch(int window, int number, Notify kind, int detail) {
    // Events reach the controllers only once start-up has built them; the start-up password
    // windows report to their own loop.
    if (!m_main) {
        return;
    }
    switch (window) {
    case Id::Window::Main:
        handleMainWindow(number, kind, detail);
        break;
    case Id::Window::About:
        m_about->handleEvent(number, kind, detail);
        break;
    case Id::Window::ShortcutEditor:
        m_options->handleEditorEvent(number, kind, detail);
        break;
    case Id::Window::PasswordEditor:
    case Id::Window::Unlock:
        m_security->handleEvent(window, number, kind, detail);
        break;
    case Id::Window::Print:
        m_print->handleEvent(number, kind, detail);
        break;
    case Id::Window::DataForm:
        m_dataForms->handleEvent(number, kind, detail);
        break;
    case Id::Window::History:
        m_dataForms->handleHistoryEvent(number, kind, detail);
        break;
    case Id::Window::RecycleBin:
        m_recovery->handleBinEvent(number, kind, detail);
        break;
    case Id::Window::Health:
        m_health->handleEvent(number, kind, detail);
        break;
    default:
        break; // other numbers are ignored
    }
    if (m_quitRequested) {
        shutDown();
    }
}

void Program::handleMainWindow(int number, Notify kind, int detail) {
    switch (kind) {
    case Notify::Closed:
        // A data form holding edits is settled first; choosing to keep editing keeps the program.
        m_quitRequested = m_dataForms->leave();
        break;
    case Notify::Minimized:
        m_security->hideToTray();
        break;
    case Notify::TrayClick:
        m_security->restoreFromTray();
        break;
    case Notify::Activated:
        // Back from another program (a terminal running the command line, say): what it changed
        // is listed.
        if (!m_guard.isOpen()) {
            m_list->followOtherPrograms();
        }
        break;
    case Notify::Timer:
        if (number == Id::Main::ClockTimer) {
            m_options->tickClock();
        } else if (number == Id::Main::IdleTimer) {
            m_security->lock();
        }
        break;
    case Notify::Command:
        if (number == Id::Main::SessionLocked) {
            m_security->lock();
        } else if (const int slot = CommandTable::slotOf(number); slot >= 0) {
            m_commands.run(slot);
        } else if (number == Id::FindKey) {
            m_main->focusSearchText();
        } else if (number == Id::EncryptItem || number == Id::DecryptItem) {
            m_database->handleItem(number);
        } else if (number == Id::RecycleBinItem) {
            m_recovery->openBin();
        } else {
            m_options->handleItem(number);
        }
        break;
    default:
        m_list->handleGadget(number, kind, detail);
        break;
    }
}

} // namespace quillbox
