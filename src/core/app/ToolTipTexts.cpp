#include "app/ToolTipTexts.h"

namespace quillbox {

const QList<ToolTipEntry>& toolTipTable() {
    static const QList<ToolTipEntry> table{
        {1, 31,
         QStringLiteral("Double left click to edit a highlighted record.\r\n\r\nDouble right click to create a new "
                        "record.\r\n\r\nPress ALT + X to exit, click the exit button or pres the red 'x' in top "
                        "right of the window\r\n\r\nPasswords can be hidden or shown with ALT + P.")},
        {1, 36, QStringLiteral("Select the product/sitename category to display.")},
        {1, 38, QStringLiteral("Select the type of SQL search to perform.")},
        {1, 37, QStringLiteral("Select the field in which you wish to search.")},
        {1, 39, QStringLiteral("Start typing your search string and matches will be instant if found.")},
        // Menu entries of the main window, by item number.
        {1, 29,
         QStringLiteral("Copy the user name of the selected record to the clipboard, from where it is cleared "
                        "again after the delay chosen in the Options menu.")},
        {1, 30,
         QStringLiteral("Copy the password of the selected record to the clipboard, marked so that clipboard "
                        "histories leave it out, and cleared again after the delay chosen in the Options menu.")},
        {1, 271,
         QStringLiteral("Take copied user names, passwords and records off the clipboard again after a delay, "
                        "unless something else was copied since.")},
        {1, 272, QStringLiteral("Choose how many seconds a copy stays on the clipboard.")},
        {1, 273,
         QStringLiteral("Lock Quillbox into the notification area after this many minutes without a key "
                        "pressed or the mouse moved (0 never). It also locks when the screen locks or the "
                        "computer goes to sleep.")},
        {9, 165, QStringLiteral("Select the product/sitename category to save.")},
        {9, 167, QStringLiteral("The owner of this data record.")},
        {9, 163, QStringLiteral("Extra notes and login details.")},
        {9, 170, QStringLiteral("Save the site details to the database.")},
        {9, 173, QStringLiteral("Show help for data form functions.")},
        {9, 177, QStringLiteral("Exit the site data input form.")},
        {8, 140, QStringLiteral("Click this button to print the selected sites immediately.")},
        {8, 141, QStringLiteral("Click this button to see how the sites should look when printed.")},
        {8, 144, QStringLiteral("Click this button to exit this form immediately")},
    };
    return table;
}

} // namespace quillbox
