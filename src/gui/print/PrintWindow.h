#pragma once

#include "app/BalloonTips.h"
#include "app/SecondaryWindow.h"

#include <QHash>
#include <QUrl>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace quillbox {

// Window 8: shows the print document and offers print, preview and exit. It reports its buttons,
// its Escape key and its close box through the dispatch function; the program does the rest.
class PrintWindow : public SecondaryWindow {
    Q_OBJECT
public:
    PrintWindow(DispatchFn dispatch, QWidget* owner);

    QTextBrowser* browser() const { return m_browser; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* previewButton() const { return m_preview; }
    QPushButton* exitButton() const { return m_exit; }
    QLineEdit* countField() const { return m_count; }
    // The window's tool tips, by gadget number.
    static const QList<GadgetTip>& toolTips();
    // The numbered gadgets, for tool tips.
    QHash<int, QWidget*> gadgets() const;

    void setCount(int printed);
    // Points the browser at the document; the window is ready to print once the document was read.
    void showDocument(const QUrl& url);
    bool isReady() const { return m_ready; }

private:
    QTextBrowser* m_browser = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_preview = nullptr;
    QPushButton* m_exit = nullptr;
    QLineEdit* m_count = nullptr;
    bool m_ready = false;
};

} // namespace quillbox
