#include "about/AboutText.h"

namespace quillbox {

QString aboutText() {
    return QStringLiteral(R"(<html><body>
<p align="center"><b><span style="font-size:13pt; color:#1c3f7a;">Quillbox v2.00</span></b><br/>
<i>A private keeper of sites, registrations and log-ins</i></p>

<p><b>Why it was made</b></p>
<p>Most of us carry dozens of accounts: banks, shops, mail, forums, software keys and the odd
router that only its owner remembers. Sticky notes get lost, spreadsheets get emailed around, and
web browsers forget everything the day they are reinstalled. Quillbox keeps all of it in one small
database file on your own disk, where nobody else looks, and finds any entry again in the time it
takes to type a few letters of its name.</p>

<p><b>What it does</b></p>
<ul>
<li><b>Fast storage and searching.</b> Every record lives in an SQLite database, so even tens of
thousands of entries open and search at once, and a copy of the file is kept for each day of the
week.</li>
<li><b>Search as you type.</b> The list narrows with every key you press; there is no search
button to hunt for.</li>
<li><b>Real SQL comparisons.</b> Sounds like, equal to, greater or less than, starts with and ends
with, each of which can be narrowed to a single field or run over all of them.</li>
<li><b>Owners and categories.</b> Keep the records of several people in one file and sort each
person's entries into categories of their own.</li>
<li><b>Thirteen fields of your own naming.</b> Site name, user name, password, home page and nine
free fields, every label renamed per record, plus free notes of any length.</li>
<li><b>Values remembered.</b> Every box offers the values you have typed before.</li>
<li><b>Clipboard, browser and printer.</b> Copy records as neat text, or just a user name or
password, taken off the clipboard again after the delay you choose; open a home page in your browser, or
print a tidy list of the selected records.</li>
<li><b>Import and export.</b> Bar-separated text, CSV, XML and browser bookmark files.</li>
<li><b>A password at every start,</b> and a lock that hides the program in the notification area
while you are away: by hand, after the minutes without input you choose, or when the screen
locks.</li>
<li><b>Your own shortcut keys</b> for all 24 main commands.</li>
</ul>

<p><b>A word of care</b></p>
<p>Quillbox keeps its database, settings and print files in the folders <i>Database</i>,
<i>System</i> and <i>Temporary</i> beside the place it is started from. Keep that folder private,
and keep a copy of the database somewhere safe: a lost disk takes its passwords with it.</p>

<p align="center"><i>Thank you for using Quillbox.</i></p>
</body></html>)");
}

} // namespace quillbox
