#!/usr/bin/env bash
# What a core dump of the locked window program holds: it starts Quillbox on an encrypted database
# of 200 records under a virtual X server, uses it as a user would (lists every password, copies
# one, locks and unlocks, opens a record and types a new password into it without saving), locks
# it, dumps its memory with gcore and counts the program password and the records' passwords in
# the dump, as UTF-8 and as UTF-16. Every count should be 0.
# Needs Xvfb, xdotool and gdb (apt-get install xvfb xdotool gdb); run from the source folder after
# a build: bench/locked-core-dump.sh [build folder]
set -euo pipefail
build=$(realpath "${1:-build}")
for tool in Xvfb xdotool gcore python3; do
    command -v $tool > /dev/null || { echo "$tool is missing"; exit 1; }
done
work=$(mktemp -d)
display=:97
Xvfb $display -screen 0 1280x900x24 > /dev/null 2>&1 &
xvfb=$!
program=""
trap 'kill $program $xvfb 2> /dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
password=Quill-test-01
cd "$work"

# A first start chooses the password; the command line imports the records and encrypts them.
"$build/src/quillbox" > /dev/null 2>&1 &
program=$!
sleep 2
xdotool type --delay 15 "$password"; xdotool key Return; sleep 0.3
xdotool type --delay 15 "$password"; xdotool key Return; sleep 3
xdotool key alt+x; sleep 1.5
{
    echo "name,url,username,password,note"
    for i in $(seq 0 199); do printf 'Site %d,https://site%d.example,user%d,Pw-%04d-Zebra!,note %d\n' $i $i $i $i $i; done
} > records.csv
echo "$password" | "$build/src/quillbox-cli" --password-stdin import records.csv --owner Ann > /dev/null
echo "$password" | "$build/src/quillbox-cli" --password-stdin encrypt > /dev/null
rm records.csv

"$build/src/quillbox" > /dev/null 2>&1 &
program=$!
sleep 2
xdotool type --delay 15 "$password"; xdotool key Return; sleep 3
xdotool key alt+p; sleep 0.5                              # every password shown in the list
xdotool mousemove 300 237 click 1; xdotool key ctrl+shift+c; sleep 0.3 # one copied
xdotool key alt+l; sleep 1                                # locked; with no tray the unlock window opens
xdotool type --delay 15 "$password"; xdotool key Return; sleep 2
xdotool mousemove 300 256 click 1; xdotool key ctrl+e; sleep 1.5   # a record in the data form
xdotool mousemove 700 183 click 1; xdotool key ctrl+a      # its password selected and typed over
xdotool type --delay 10 "Edited-secret-99"; sleep 0.3
xdotool mousemove 262 720 click 1; sleep 0.3              # back to the main window
gcore -o unlocked "$program" > /dev/null 2>&1             # the same dump while unlocked, to compare
xdotool key alt+l; sleep 1.5                              # locked, the form's edit kept sealed
gcore -o locked "$program" > /dev/null 2>&1

for state in unlocked locked; do
python3 - $state.$program "$password" << 'EOF'
import re, sys
data = open(sys.argv[1], 'rb').read()
def utf16(pattern):
    return b''.join(re.escape(bytes([c])) + b'\x00' if chr(c) not in 'N' else rb'[0-9]\x00' for c in pattern)
print(f"core dump of the {sys.argv[1].split('.')[0]} program: {len(data) // (1 << 20)} MiB")
for name, text in (("program password", sys.argv[2]), ("typed, not saved", "Edited-secret-99")):
    print(f"{name:>18}: {data.count(text.encode())} in UTF-8, {data.count(text.encode('utf-16-le'))} in UTF-16")
stored = [rb'Pw-\d{4}-Zebra!', utf16(b'Pw-NNNN-Zebra!')]
print(f"{'stored passwords':>18}: {len(re.findall(stored[0], data))} in UTF-8, "
      f"{len(re.findall(stored[1], data))} in UTF-16 (of 200 records)")
EOF
done
