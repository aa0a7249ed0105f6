#!/bin/sh
# Installer of the Fenwix classroom terminal. It asks nothing: it unpacks the program that is
# appended to this script into the install folder and starts it.
#
#   FENWIX_INSTALL_DIR=<folder>   where to install (default $HOME/.local/share/Fenwix,
#                                 /opt/Fenwix when there is no home folder)
#   FENWIX_INSTALL_NO_START=1     install only, do not start the terminal
#   FENWIX_SUPERVISED=1           a supervisor (the kiosk's user unit) starts the terminal
#                                 again by itself; the installer leaves that to it
#
# The old files are replaced only once the whole payload has unpacked cleanly, so a damaged or
# truncated download leaves the installed terminal as it was (and starts it again). Files that
# already exist under ini/ are the machine's own settings and are kept.
set -u
umask 022

program='@FENWIX_START_PROGRAM@'
self=$0
if [ -n "${FENWIX_INSTALL_DIR:-}" ]; then
    target=$FENWIX_INSTALL_DIR
elif [ -n "${HOME:-}" ]; then
    target=$HOME/.local/share/Fenwix
else
    target=/opt/Fenwix
fi
target=${target%/}
log=$target/install.log

say() {
    printf '%s\n' "$*"
    printf '%s %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$*" >>"$log" 2>/dev/null || true
}

start_terminal() {
    if [ "${FENWIX_INSTALL_NO_START:-0}" = 1 ]; then
        return 0
    fi
    if [ "${FENWIX_SUPERVISED:-0}" = 1 ]; then
        say "the supervisor starts $program"
        return 0
    fi
    if [ ! -x "$target/$program" ]; then
        say "no $program in $target, nothing started"
        return 0
    fi
    say "starting $target/$program"
    # The terminal loads its pictures and sounds relative to its working folder. It gets a
    # session of its own so that it does not end with whatever started this installer.
    if command -v setsid >/dev/null 2>&1; then
        (cd "$target" && exec setsid "./$program" </dev/null >/dev/null 2>&1 &)
    else
        (cd "$target" && exec nohup "./$program" </dev/null >/dev/null 2>&1 &)
    fi
}

fail() {
    say "installation failed: $*"
    [ -n "${work:-}" ] && rm -rf "$work"
    start_terminal
    exit 1
}

mkdir -p "$target" || { printf 'cannot create %s\n' "$target" >&2; exit 1; }
# While this folder exists the kiosk launcher waits before it starts the terminal again.
mkdir -p "$target/.installing"
trap 'rmdir "$target/.installing" 2>/dev/null' EXIT
say "installing into $target"

payload_line=$(awk '/^__FENWIX_PAYLOAD__$/ { print NR + 1; exit }' "$self")
[ -n "$payload_line" ] || fail "no payload in $self"

work=$(mktemp -d "$target/.install.XXXXXX") || fail "cannot create a work folder"
tail -n +"$payload_line" "$self" | tar -xzf - -C "$work" --no-same-owner ||
    fail "the payload is damaged or incomplete"

# The files about to be replaced are kept in .previous/ with a trial marker: the kiosk launcher
# puts them back when the new version never reaches the backend. The settings in ini/ stay.
previous=$target/.previous
rm -rf "$previous.new"
(cd "$work" && find . ! -type d) | while IFS= read -r file; do
    case $file in
    ./ini/*) continue ;;
    esac
    [ -f "$target/$file" ] || continue
    mkdir -p "$(dirname "$previous.new/$file")" && cp -p "$target/$file" "$previous.new/$file" ||
        exit 1
done || {
    say "the previous version could not be kept"
    rm -rf "$previous.new"
}

# Folders first, then every file is renamed into place: a rename also replaces a program that
# is still running, where writing into it would fail.
(cd "$work" && find . -type d) | while IFS= read -r dir; do
    mkdir -p "$target/$dir" || exit 1
done || fail "cannot create the folders"
(cd "$work" && find . ! -type d) | while IFS= read -r file; do
    case $file in
    ./ini/*) [ -e "$target/$file" ] && continue ;;
    esac
    mv -f "$work/$file" "$target/$file" || exit 1
done || fail "cannot move the files into place"
rm -rf "$work"
work=
if [ -d "$previous.new" ]; then
    rm -rf "$previous"
    mv "$previous.new" "$previous" && printf 'starts=0\n' >"$target/.update-trial"
fi

say "installed"
start_terminal
exit 0
