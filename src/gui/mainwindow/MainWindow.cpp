#include "mainwindow/MainWindow.h"

#include "app/Ids.h"
#include "app/Look.h"
#include "app/PopupKeys.h"
#include "app/SecondaryWindow.h"
#include "mainwindow/RecordModel.h"
#include "settings/Shortcuts.h"
#include "store/SearchQuery.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSet>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextEdit>

namespace quillbox {

MainWindow::MainWindow(const ProgramSettings& settings, DispatchFn dispatch, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_dispatch(std::move(dispatch)) {
    setWindowIcon(programImage(Id::Image::Program));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    applyWindowPalette(this);
    buildGadgets();
    buildMenus();
    buildStatusBar();
    // The designed client area is 800 x 600 under the menu bar; the list grows with the window.
    m_designedSize = QSize(800, 600 + menuBar()->sizeHint().height());
    setMinimumSize(480, 300);
    restoreGeometryText(QString());
}

QSize MainWindow::designedSize() const {
    return m_designedSize;
}

void MainWindow::restoreGeometryText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    QRect wanted;
    if (parts.size() == 4) {
        bool ok[4] = {};
        wanted = QRect(parts[0].toInt(&ok[0]), parts[1].toInt(&ok[1]), parts[2].toInt(&ok[2]), parts[3].toInt(&ok[3]));
        if (!(ok[0] && ok[1] && ok[2] && ok[3])) {
            wanted = QRect();
        }
    }
    // A place on no screen of today's (a monitor unplugged since) is not taken.
    const QScreen* target = wanted.isValid() ? QGuiApplication::screenAt(wanted.center()) : nullptr;
    if (!target) {
        target = screen() ? screen() : QGuiApplication::primaryScreen();
        wanted = QRect();
    }
    const QRect area = target ? target->availableGeometry() : QRect(0, 0, 1280, 1024);
    // Room for the frame and title bar the window system puts around the window.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QSize room = area.size() - QSize(16, 16 + titleBar);
    QSize size = wanted.isValid() ? wanted.size() : m_designedSize;
    size = size.boundedTo(room).expandedTo(minimumSize().boundedTo(room));
    resize(size);
    if (wanted.isValid()) {
        const int x = std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() - size.width() - 8));
        const int y =
            std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() - size.height() - 8 - titleBar));
        setGeometry(x, y, size.width(), size.height()); // the place inside the frame, as it was saved
    } else {
        move(area.left() + std::max(0, (area.width() - size.width()) / 2),
             area.top() + std::max(0, (area.height() - size.height() - titleBar) / 2));
    }
}

QString MainWindow::geometryText() const {
    const QRect r = (isMaximized() || isMinimized() || isFullScreen()) && normalGeometry().isValid() ? normalGeometry()
                                                                                                     : geometry();
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

void MainWindow::setShownColumns(const QString& text) {
    QSet<int> shown;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int column = part.trimmed().toInt(&ok);
        if (ok && column >= 0 && column < RecordModel::ColumnCount && column != RecordModel::Record) {
            shown.insert(column);
        }
    }
    if (shown.isEmpty()) {
        shown.insert(RecordModel::SiteName); // a list with no column at all shows nothing to choose
    }
    for (int c = 0; c < RecordModel::ColumnCount; ++c) {
        m_list->setColumnHidden(c, !shown.contains(c));
    }
}

QString MainWindow::shownColumns() const {
    QStringList shown;
    for (int c = 0; c < RecordModel::ColumnCount; ++c) {
        if (!m_list->isColumnHidden(c)) {
            shown << QString::number(c);
        }
    }
    return shown.join(QLatin1Char(','));
}

void MainWindow::chooseColumns(const QPoint& where) {
    QMenu menu(this);
    for (int c : {RecordModel::SiteName, RecordModel::UserName, RecordModel::Password, RecordModel::HomePage,
                  RecordModel::Category, RecordModel::Notes}) {
        QAction* action = menu.addAction(m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        action->setCheckable(true);
        action->setChecked(!m_list->isColumnHidden(c));
        connect(action, &QAction::toggled, this, [this, c](bool on) {
            QStringList shown = shownColumns().split(QLatin1Char(','), Qt::SkipEmptyParts);
            shown.removeAll(QString::number(c));
            if (on) {
                shown << QString::number(c);
            }
            setShownColumns(shown.join(QLatin1Char(',')));
            m_dispatch(Id::Window::Main, Id::Main::RecordList, Notify::Changed, 0);
        });
    }
    menu.exec(where);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutGadgets();
}

void MainWindow::layoutGadgets() {
    const QWidget* central = centralWidget();
    if (!central || !m_listPanel) {
        return;
    }
    // The search panel keeps its height at the foot; the list takes the rest.
    const int width = central->width();
    const int height = central->height();
    constexpr int searchHeight = 60;
    const int searchTop = std::max(60, height - searchHeight - m_bottomMargin);
    m_listPanel->setGeometry(5, 5, std::max(100, width - 10), std::max(40, searchTop - 10));
    m_list->setGeometry(5, 5, m_listPanel->width() - 12, m_listPanel->height() - 12);
    m_searchPanel->setGeometry(5, searchTop, std::max(100, width - 10), searchHeight);
    m_searchText->setGeometry(570, 25, std::max(60, m_searchPanel->width() - 580), 25);
}

void MainWindow::buildGadgets() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    QFrame* listPanel = makePanel(central, QRect(5, 5, 790, 483));
    m_listPanel = listPanel;
    m_model = new RecordModel(this);
    m_model->setRowIcon(programImage(Id::Image::Program));
    m_list = new QTableView(listPanel);
    m_list->setObjectName(QStringLiteral("recordList"));
    m_list->setGeometry(5, 5, 778, 471);
    m_list->setFont(programFont(10));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    // Tab leaves the list for the search panel instead of walking its cells.
    m_list->setTabKeyNavigation(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->verticalHeader()->hide();
    // Fixed row heights keep a list of 100,000 rows as quick as one of ten.
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_list->font()).height() + 4);
    QHeaderView* header = m_list->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setTextElideMode(Qt::ElideRight);
    header->setSectionsClickable(true);
    header->setMinimumSectionSize(0);
    header->setStretchLastSection(true);
    // The header's pop-up chooses the columns shown.
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this, header](const QPoint& at) { chooseColumns(header->mapToGlobal(at)); });
    const int widths[RecordModel::ColumnCount] = {150, 150, 140, 334, 150, 0, 300};
    for (int c = 0; c < RecordModel::ColumnCount; ++c) {
        m_list->setColumnWidth(c, widths[c]);
    }
    setShownColumns(QStringLiteral("0,1,2,3"));
    m_list->setSortingEnabled(false);
    applyEntryPalette(m_list);
    {
        // Column headers on the window grey, titles in black.
        QPalette palette = header->palette();
        palette.setColor(QPalette::Button, QColor(162, 162, 162));
        palette.setColor(QPalette::Window, QColor(162, 162, 162));
        palette.setColor(QPalette::ButtonText, Qt::black);
        header->setPalette(palette);
    }

    QFrame* searchPanel = makePanel(central, QRect(5, 493, 790, 60));
    m_searchPanel = searchPanel;
    auto* searchHeader = new QLabel(searchPanel);
    searchHeader->setForegroundRole(QPalette::Text);
    searchHeader->setGeometry(5, 5, 775, 15);
    searchHeader->setFont(programFont(8));
    searchHeader->setText(
        QStringLiteral(" Search owner....                    Search category...                  Search "
                       "field...                Search type...                          Search for..."));
    auto makeBox = [&](const QRect& r) {
        auto* box = new QComboBox(searchPanel);
        box->setGeometry(r);
        box->setFont(programFont(10));
        box->setMaxVisibleItems(20);
        applyEntryPalette(box);
        return box;
    };
    m_ownerBox = makeBox(QRect(5, 25, 145, 25));
    m_categoryBox = makeBox(QRect(150, 25, 145, 25));
    m_fieldBox = makeBox(QRect(295, 25, 125, 25));
    m_searchTypeBox = makeBox(QRect(420, 25, 145, 25));
    m_fieldBox->addItems(searchFieldEntries());
    m_searchTypeBox->addItems(searchTypeEntries());
    m_searchText = new QLineEdit(searchPanel);
    m_searchText->setObjectName(QStringLiteral("searchText"));
    m_searchText->setGeometry(570, 25, 210, 25);
    m_searchText->setFont(programFont(10));
    m_searchText->setFrame(false);
    applyEntryPalette(m_searchText);

    const DispatchFn& d = m_dispatch;
    const int w = Id::Window::Main;
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, d, w] {
        if (!m_quietSelection && !m_model->inBulk() && currentRow() >= 0) {
            d(w, Id::Main::RecordList, Notify::SelectionChanged, 0);
        }
    });
    connect(m_list, &QTableView::doubleClicked, this, [d, w] { d(w, Id::Main::RecordList, Notify::DoubleClick, 0); });
    connect(m_list, &QTableView::customContextMenuRequested, this,
            [d, w] { d(w, Id::Main::RecordList, Notify::RightClick, 0); });
    connect(header, &QHeaderView::sectionClicked, this,
            [d, w](int column) { d(w, Id::Main::RecordList, Notify::ColumnClick, column); });
    connect(m_ownerBox, &QComboBox::activated, this, [d, w] { d(w, Id::Main::OwnerBox, Notify::Chosen, 0); });
    connect(m_categoryBox, &QComboBox::activated, this, [d, w] { d(w, Id::Main::CategoryBox, Notify::Chosen, 0); });
    connect(m_fieldBox, &QComboBox::activated, this, [d, w] { d(w, Id::Main::FieldBox, Notify::Chosen, 0); });
    connect(m_searchTypeBox, &QComboBox::activated, this, [d, w] { d(w, Id::Main::SearchTypeBox, Notify::Chosen, 0); });
    connect(m_searchText, &QLineEdit::textChanged, this, [d, w] { d(w, Id::Main::SearchText, Notify::Changed, 0); });

    // Tab goes round the list and the search panel, left to right.
    QWidget::setTabOrder(m_list, m_ownerBox);
    QWidget::setTabOrder(m_ownerBox, m_categoryBox);
    QWidget::setTabOrder(m_categoryBox, m_fieldBox);
    QWidget::setTabOrder(m_fieldBox, m_searchTypeBox);
    QWidget::setTabOrder(m_searchTypeBox, m_searchText);
    showFocusFrame(m_list, false);

    m_popupKeys = new PopupKeys(this);
    for (QComboBox* box : {m_ownerBox, m_categoryBox, m_fieldBox, m_searchTypeBox}) {
        m_popupKeys->watch(box);
    }
    m_list->installEventFilter(this);
    // The program's keys are weighed against every box of every window of the program.
    qApp->installEventFilter(this);
}

QAction* MainWindow::makeAction(int slot, int number, QObject* owner) {
    auto* action = new QAction(owner);
    if (const int image = commandRow(slot).image; image != 0) {
        action->setIcon(programImage(image));
    } else {
        action->setCheckable(true);
    }
    action->setText(menuItemText(slot, m_settings.shortcutCodes[static_cast<size_t>(slot)]));
    const DispatchFn& d = m_dispatch;
    connect(action, &QAction::triggered, this, [d, number] { d(Id::Window::Main, number, Notify::Command, 0); });
    return action;
}

void MainWindow::buildMenus() {
    // The commands in the table's order, which is the menus'; the pop-up lists them all, a
    // separator between menus.
    m_popup = new QMenu(this);
    for (size_t m = 0; m < menuTitles.size(); ++m) {
        const auto menuOfRow = static_cast<Menu>(m);
        QMenu* menu = menuBar()->addMenu(QStringView(menuTitles[m]).toString());
        if (m > 0) {
            m_popup->addSeparator();
        }
        for (const CommandRow& row : commandTable) {
            if (row.menu != menuOfRow) {
                continue;
            }
            const auto slot = static_cast<size_t>(row.slot);
            m_menuActions[slot] = makeAction(row.slot, row.menuItem, menu);
            menu->addAction(m_menuActions[slot]);
            m_popupActions[slot] = makeAction(row.slot, row.popupItem, m_popup);
            m_popup->addAction(m_popupActions[slot]);
        }
        if (menuOfRow == Menu::SiteTools) {
            menu->addSeparator();
            auto* bin = menu->addAction(QStringLiteral("Recycle bin..."));
            const DispatchFn& d = m_dispatch;
            connect(bin, &QAction::triggered, this,
                    [d] { d(Id::Window::Main, Id::RecycleBinItem, Notify::Command, 0); });
            m_itemActions.insert(Id::RecycleBinItem, bin);
        }
        if (menuOfRow == Menu::Options) {
            // Options that take a value rather than a shortcut; the program sets their texts.
            menu->addSeparator();
            const DispatchFn& d = m_dispatch;
            for (int number : {Id::ClearClipboardItem, Id::ClipboardDelayItem, Id::IdleLockItem, Id::HistoryItem, 0,
                               Id::EncryptItem, Id::DecryptItem}) {
                if (number == 0) {
                    menu->addSeparator();
                    continue;
                }
                auto* action = menu->addAction(QString());
                action->setCheckable(number == Id::ClearClipboardItem);
                connect(action, &QAction::triggered, this,
                        [d, number] { d(Id::Window::Main, number, Notify::Command, 0); });
                m_itemActions.insert(number, action);
            }
        }
    }
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    bar->setPalette(palette);
    bar->setAutoFillBackground(true);
    auto image = [](int number) {
        auto* label = new QLabel;
        label->setFixedWidth(20);
        label->setPixmap(programImage(number).pixmap(16, 16));
        return label;
    };
    m_messageField = new QLabel;
    m_messageField->setFixedWidth(640);
    m_countField = new QLabel;
    m_countField->setFixedWidth(120);
    bar->addWidget(image(Id::Image::StatusLeft));
    bar->addWidget(m_messageField);
    bar->addWidget(image(Id::Image::StatusMiddle));
    bar->addWidget(m_countField);
}

void MainWindow::setMessage(const QString& text) {
    m_messageField->setText(text);
}
void MainWindow::setCount(const QString& text) {
    m_countField->setText(text);
}
QString MainWindow::message() const {
    return m_messageField->text();
}
QString MainWindow::count() const {
    return m_countField->text();
}

void MainWindow::setChecked(int slot, bool checked) {
    menuAction(slot)->setChecked(checked);
    popupAction(slot)->setChecked(checked);
}

QAction* MainWindow::actionOfNumber(int number) const {
    for (int slot = 0; slot < CommandCount; ++slot) {
        if (Id::MenuItemOfSlot[slot] == number) {
            return menuAction(slot);
        }
        if (Id::PopupItemOfSlot[slot] == number) {
            return popupAction(slot);
        }
    }
    return itemAction(number);
}

void MainWindow::setCommandLabel(int slot, const QString& label) {
    m_commandLabels.insert(slot, label);
    refreshMenuTexts();
}

void MainWindow::refreshMenuTexts() {
    for (int slot = 0; slot < CommandCount; ++slot) {
        QString text = menuItemText(slot, m_settings.shortcutCodes[static_cast<size_t>(slot)]);
        if (m_commandLabels.contains(slot)) {
            text = m_commandLabels.value(slot) + text.mid(text.indexOf(QLatin1Char('\t')));
        }
        menuAction(slot)->setText(text);
        popupAction(slot)->setText(text);
    }
}

void MainWindow::registerShortcuts() {
    qDeleteAll(m_shortcuts);
    m_shortcuts.clear();
    m_registeredKeys.clear();
    auto add = [this](QKeyCombination combination, int event) {
        auto* shortcut = new QShortcut(QKeySequence(combination), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        const DispatchFn& d = m_dispatch;
        connect(shortcut, &QShortcut::activated, this, [this, d, event] {
            // Return that chose an entry of a drop-down list was the list's, not the window's.
            if (event == Id::ReturnKey && m_popupKeys->listTook(Qt::Key_Return)) {
                return;
            }
            d(Id::Window::Main, event, Notify::Command, 0);
        });
        m_shortcuts.append(shortcut);
        m_registeredKeys.insert(combination.toCombined(), event);
    };
    for (int slot = 0; slot < CommandCount; ++slot) {
        const QKeyCombination combination = keyCombinationForValue(m_settings.shortcutCodes[static_cast<size_t>(slot)]);
        if (combination.key() != Qt::Key(0) && !m_registeredKeys.contains(combination.toCombined())) {
            add(combination, shortcutEventNumber(slot));
        }
    }
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        const QKeyCombination combination(key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier, key);
        if (!m_registeredKeys.contains(combination.toCombined())) {
            add(combination, Id::ReturnKey);
        }
    }
    if (const QKeyCombination find(Qt::ControlModifier, Qt::Key_F); !m_registeredKeys.contains(find.toCombined())) {
        add(find, Id::FindKey);
    }
}

void MainWindow::showFocusFrame(QTableView* list, bool focused) {
    // The list draws through palettes only (quick to repaint); its frame shows where the keys go.
    list->setFrameStyle(QFrame::Box | QFrame::Plain);
    list->setLineWidth(2);
    QPalette palette = list->palette();
    palette.setColor(QPalette::WindowText, focused ? QColor(0, 0, 128) : QColor(150, 150, 150));
    list->setPalette(palette);
}

void MainWindow::focusSearchText() {
    m_searchText->setFocus(Qt::ShortcutFocusReason);
    m_searchText->selectAll();
}

namespace {
// Whether keys sent to the widget edit text, and whether it has text selected.
bool isTextBox(const QWidget* widget, bool* hasSelection) {
    // An editable drop-down has the focus and hands its keys to its line edit.
    if (const auto* box = qobject_cast<const QComboBox*>(widget); box && box->lineEdit()) {
        widget = box->lineEdit();
    }
    if (const auto* line = qobject_cast<const QLineEdit*>(widget); line && !line->isReadOnly()) {
        *hasSelection = line->hasSelectedText();
        return true;
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(widget); text && !text->isReadOnly()) {
        *hasSelection = text->textCursor().hasSelection();
        return true;
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget); plain && !plain->isReadOnly()) {
        *hasSelection = plain->textCursor().hasSelection();
        return true;
    }
    return false;
}
} // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        showFocusFrame(m_list, event->type() == QEvent::FocusIn);
    }
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    // Only the first receiver of a key weighs it, not the parents it then passes up to.
    const QWidget* focus = QApplication::focusWidget();
    if (!widget || (focus ? widget != focus && widget->focusProxy() != focus : !widget->isWindow())) {
        return false;
    }
    if (watched == m_searchText && event->type() == QEvent::KeyPress && searchTextKey(key)) {
        return true;
    }
    const auto registered = m_registeredKeys.constFind(key->keyCombination().toCombined());
    if (registered == m_registeredKeys.cend()) {
        return false;
    }
    bool hasSelection = false;
    const bool textBox = isTextBox(widget, &hasSelection);
    if (widget->window() == this) {
        if (event->type() == QEvent::ShortcutOverride) {
            // A box keeps its editing keys (Ctrl+A, Ctrl+C on a selection...); every other key of
            // the program's wins on this window whichever gadget has the focus.
            if (textBox && textBoxKeepsKey(key->keyCombination(), hasSelection)) {
                event->accept();
            } else {
                event->ignore();
            }
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress || QApplication::activePopupWidget()) {
        return false;
    }
    // In the program's other windows a key of the main window never types into a box; in the data
    // form the exit key ends the program, asking first for the form's edits.
    const auto* other = qobject_cast<const SecondaryWindow*>(widget->window());
    if (other && other->number() == Id::Window::DataForm && *registered == shortcutEventNumber(Id::Slot::Exit)) {
        m_dispatch(Id::Window::Main, *registered, Notify::Command, 0);
        return true;
    }
    const Qt::KeyboardModifiers mods = key->modifiers();
    return other && textBox && mods.testFlag(Qt::AltModifier) && !mods.testFlag(Qt::ControlModifier);
}

bool MainWindow::searchTextKey(const QKeyEvent* key) {
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Escape:
        if (m_searchText->text().isEmpty()) {
            return false;
        }
        m_searchText->clear();
        return true;
    case Qt::Key_Down:
        // From the search text into the list, at its first row unless a row is already chosen.
        if (m_model->rowCount() == 0) {
            return false;
        }
        if (currentRow() < 0) {
            selectRow(0);
        }
        m_list->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return false;
    }
}

int MainWindow::currentRow() const {
    // The view makes a row current when it gets the focus, selected or not; only a row the user
    // selected is one to act on.
    const QItemSelectionModel* selection = m_list->selectionModel();
    const QModelIndex current = selection->currentIndex();
    return current.isValid() && selection->isRowSelected(current.row(), QModelIndex()) ? current.row() : -1;
}

QList<int> MainWindow::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            rows.append(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void MainWindow::selectRow(int row, bool notify) {
    const bool wasQuiet = m_quietSelection;
    m_quietSelection = !notify;
    if (row < 0 || row >= m_model->rowCount()) {
        // No row: neither selected nor current, so Return has nothing to edit.
        m_quietSelection = true;
        m_list->selectionModel()->clear();
    } else {
        m_list->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_list->scrollTo(m_model->index(row, 0));
    }
    m_quietSelection = wasQuiet;
}

void MainWindow::ensureRowVisible(int row) {
    if (row >= 0 && row < m_model->rowCount()) {
        m_list->scrollTo(m_model->index(row, 0));
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The program decides when the window really goes; the close box only asks to quit.
    event->ignore();
    m_dispatch(Id::Window::Main, Id::Window::Main, Notify::Closed, 0);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        m_dispatch(Id::Window::Main, Id::Window::Main, Notify::Minimized, 0);
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        m_dispatch(Id::Window::Main, Id::Window::Main, Notify::Activated, 0);
    }
}

const QList<GadgetTip>& MainWindow::toolTips() {
    // Gadgets first, then menu entries by item number.
    static const QList<GadgetTip> tips{
        {31, QStringLiteral("Double left click to edit a highlighted record.\r\n\r\nDouble right click to create a new "
                            "record.\r\n\r\nPress ALT + X to exit, click the exit button or pres the red 'x' in top "
                            "right of the window\r\n\r\nPasswords can be hidden or shown with ALT + P.")},
        {36, QStringLiteral("Select the product/sitename category to display.")},
        {38, QStringLiteral("Select the type of SQL search to perform.")},
        {37, QStringLiteral("Select the field in which you wish to search.")},
        {39, QStringLiteral("Start typing your search string and matches will be instant if found.")},
        {29, QStringLiteral("Copy the user name of the selected record to the clipboard, from where it is cleared "
                            "again after the delay chosen in the Options menu.")},
        {30, QStringLiteral("Copy the password of the selected record to the clipboard, marked so that clipboard "
                            "histories leave it out, and cleared again after the delay chosen in the Options menu.")},
        {271, QStringLiteral("Take copied user names, passwords and records off the clipboard again after a delay, "
                             "unless something else was copied since.")},
        {272, QStringLiteral("Choose how many seconds a copy stays on the clipboard.")},
        {273, QStringLiteral("Lock Quillbox into the notification area after this many minutes without a key "
                             "pressed or the mouse moved (0 never). It also locks when the screen locks or the "
                             "computer goes to sleep.")},
    };
    return tips;
}

} // namespace quillbox
