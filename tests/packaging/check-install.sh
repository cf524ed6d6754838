#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop and a shell find there.
set -euo pipefail
build=$1
source_dir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
id=net.vennholt.Quillbox
for f in bin/quillbox bin/quillbox-cli \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/quillbox-cli.1.gz share/man/man1/quillbox.1.gz \
    share/bash-completion/completions/quillbox-cli share/doc/quillbox/guide.html share/doc/quillbox/docs/mainwindow.png; do
    [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    # The PNG header holds width and height at bytes 16 to 23.
    [ "$(od -An -tu4 --endian=big -j16 -N8 "$png" | tr -s ' ')" = " $size $size" ] || { echo "wrong size: $png"; exit 1; }
done

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net --strict "$prefix/share/metainfo/$id.metainfo.xml" > /dev/null
# The launcher names a program and an icon that are installed.
grep -q '^Exec=.*exec quillbox"$' "$prefix/share/applications/$id.desktop"
grep -q "^Icon=$id$" "$prefix/share/applications/$id.desktop"

gzip -t "$prefix/share/man/man1/quillbox-cli.1.gz"
if command -v man > /dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/quillbox-cli.1.gz" 2>&1 > /dev/null)
    [ -z "$warnings" ] || { echo "$warnings"; exit 1; }
fi
# Every command the program knows is in the manual page and in the completion.
commands=$("$prefix/bin/quillbox-cli" --help | sed -n '/^Commands:/,/^$/p' | awk '/^  [a-z]/ {print $1}')
[ -n "$commands" ]
for c in $commands; do
    zcat "$prefix/share/man/man1/quillbox-cli.1.gz" | grep -q "^\.B $c\b" || { echo "man page lacks $c"; exit 1; }
done

# The completion, as bash runs it when Tab is pressed.
complete_words() {
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _quillbox_cli quillbox-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/quillbox-cli" "$@"
}
[ "$(complete_words quillbox-cli '')" = "$(echo $commands)" ] || { echo "commands: $(complete_words quillbox-cli '')"; exit 1; }
[ "$(complete_words quillbox-cli --folder /tmp se)" = "search" ]
[ "$(complete_words quillbox-cli search --type e)" = "ends eq" ]
[ "$(complete_words quillbox-cli edit 3 --set pass)" = "password=" ]
[ "$(complete_words quillbox-cli import --)" = "--folder --password-stdin --help --format --dry-run --owner --map --no-header --separator --encoding" ]
echo "installed layout ok"
