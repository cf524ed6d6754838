#pragma once

#include "app/BalloonTips.h"
#include "app/Dispatch.h"
#include "settings/ProgramSettings.h"

#include <QHash>
#include <QKeyCombination>
#include <QMainWindow>

#include <array>

class QAction;
class QKeyEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QShortcut;
class QTableView;

namespace quillbox {

class PopupKeys;

class RecordModel;

// Window 1. Builds its gadgets and menus and reports every event through the dispatch function;
// what the events do is the program's business, not the window's.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const ProgramSettings& settings, DispatchFn dispatch, QWidget* parent = nullptr);

    // The window's tool tips, by gadget number.
    static const QList<GadgetTip>& toolTips();
    RecordModel* model() const { return m_model; }
    QTableView* recordList() const { return m_list; }
    QComboBox* ownerBox() const { return m_ownerBox; }
    QComboBox* categoryBox() const { return m_categoryBox; }
    QComboBox* fieldBox() const { return m_fieldBox; }
    QComboBox* searchTypeBox() const { return m_searchTypeBox; }
    QLineEdit* searchText() const { return m_searchText; }
    QMenu* popupMenu() const { return m_popup; }

    // Status bar fields 1 (message) and 3 (record count).
    void setMessage(const QString& text);
    void setCount(const QString& text);
    QString message() const;
    // Ctrl+F: the search text gets the focus, its text selected for typing over.
    void focusSearchText();
    QString count() const;

    // Menu bar and pop-up item for a command slot.
    QAction* menuAction(int slot) const { return m_menuActions[static_cast<size_t>(slot)]; }
    // A command whose menu text says what it would do now (Undo): the label in place of the
    // command's own text, its shortcut still beside it.
    void setCommandLabel(int slot, const QString& label);
    QAction* popupAction(int slot) const { return m_popupActions[static_cast<size_t>(slot)]; }
    void setChecked(int slot, bool checked);
    // An Options menu entry that is not a command (Id::ClearClipboardItem and the like), or null.
    QAction* itemAction(int number) const { return m_itemActions.value(number); }
    // The menu-bar or pop-up action of a number, or null.
    QAction* actionOfNumber(int number) const;
    void refreshMenuTexts();
    void registerShortcuts();

    // Index of the current row, or -1.
    int currentRow() const;
    QList<int> selectedRows() const;
    void selectRow(int row, bool notify = true);
    void ensureRowVisible(int row);

    // The window's place and size as the settings keep them ("x,y,width,height"), and back: a place
    // on no screen, or none, gives the designed size centred; every size is fitted to the screen.
    QString geometryText() const;
    void restoreGeometryText(const QString& text);
    QSize designedSize() const;
    // The list's columns shown, by number ("0,1,2,3"), as the settings keep them.
    QString shownColumns() const;
    void setShownColumns(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static void showFocusFrame(QTableView* list, bool focused);
    void buildGadgets();
    void buildMenus();
    void buildStatusBar();
    QAction* makeAction(int slot, int number, QObject* owner);
    void layoutGadgets();
    void chooseColumns(const QPoint& where);
    // Escape and Down in the search text; true when the key was taken.
    bool searchTextKey(const QKeyEvent* key);

    const ProgramSettings& m_settings;
    DispatchFn m_dispatch;
    RecordModel* m_model = nullptr;
    QTableView* m_list = nullptr;
    QWidget* m_listPanel = nullptr;
    QWidget* m_searchPanel = nullptr;
    QSize m_designedSize;
    int m_bottomMargin = 5;
    QComboBox* m_ownerBox = nullptr;
    QComboBox* m_categoryBox = nullptr;
    QComboBox* m_fieldBox = nullptr;
    QComboBox* m_searchTypeBox = nullptr;
    QLineEdit* m_searchText = nullptr;
    QLabel* m_messageField = nullptr;
    QLabel* m_countField = nullptr;
    QMenu* m_popup = nullptr;
    std::array<QAction*, CommandCount> m_menuActions{};
    std::array<QAction*, CommandCount> m_popupActions{};
    QHash<int, QAction*> m_itemActions;
    QHash<int, QString> m_commandLabels;
    QList<QShortcut*> m_shortcuts;
    QHash<int, int> m_registeredKeys; // combination -> event number
    bool m_quietSelection = false;
    PopupKeys* m_popupKeys = nullptr;
};

} // namespace quillbox
