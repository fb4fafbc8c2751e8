#!/usr/bin/env bash
# Runs the real Silinst.exe under wine, on a private Xvfb display and a throw-away wine prefix,
# against the stand-in installer libraries, and checks exit codes, times and what the libraries
# saw (each logs its events to the file named by SILINST_TEST_LOG).
#
# Usage: wine_test.sh SILINST_EXE LIBRARY_DIR
# Exit 77 (skipped) when Silinst.exe, the libraries, wine or Xvfb are missing.
set -uo pipefail

exe=${1:-}
libraries=${2:-}

skip() {
    echo "SKIPPED: $*"
    exit 77
}
[ -n "$exe" ] || skip "x86_64-w64-mingw32-g++ was not found, so Silinst.exe was not built"
[ -f "$exe" ] || skip "$exe has not been built"
for name in dialog noexport silent; do
    [ -f "$libraries/${name}_installer.dll" ] || skip "$libraries/${name}_installer.dll has not been built"
done
command -v wine >/dev/null || skip "wine is not installed"
command -v wineserver >/dev/null || skip "wineserver is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"

work=$(mktemp -d "${TMPDIR:-/tmp}/silinst-wine.XXXXXX")
xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A Windows path for a Unix one, through wine's drive Z: (the root).
winpath() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Xvfb chooses a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    cat "$work/xvfb.log"
    echo "FAIL: Xvfb did not start"
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko: their installers would ask to download, on a display nobody watches.
export WINEDLLOVERRIDES="mscoree=;mshtml="

# A persistent server keeps each later start of wine at a second or so.
start=$(now_ms)
mkdir -p "$WINEPREFIX"
wineserver -p
if ! timeout 180 wineboot -i >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log"
    echo "FAIL: the wine prefix could not be made"
    exit 1
fi
# Xvfb has no window manager, and wine would wait two seconds for one to withdraw every window
# that is hidden or destroyed; unmanaged windows do without.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$work/reg.log" 2>&1 ||
    fail "the wine prefix could not be set to unmanaged windows: $(cat "$work/reg.log")"
echo "wine prefix made in $(($(now_ms) - start)) ms"

# The program is started the way an installation starts it; a path with blanks checks that the
# quoted argument reaches it whole.
mkdir -p "$work/Program Files/BDE setup"
cp "$exe" "$work/Silinst.exe"
for name in dialog noexport silent; do
    cp "$libraries/${name}_installer.dll" "$work/Program Files/BDE setup/$name installer.dll"
done
library() { winpath "$work/Program Files/BDE setup/$1 installer.dll"; }

# silinst NAME LIMIT_SECONDS ARGUMENTS...: runs Silinst.exe with its library log in $work/NAME.log
# and checks the exit code 0 and the time.
silinst() {
    local name=$1 limit=$2
    shift 2
    local log="$work/$name.log"
    local begin code elapsed
    begin=$(now_ms)
    SILINST_TEST_LOG=$(winpath "$log") timeout 120 wine "$work/Silinst.exe" "$@" \
        >"$work/$name.out" 2>&1
    code=$?
    elapsed=$(($(now_ms) - begin))
    printf '%-34s exit %3d in %6d ms\n' "$name" "$code" "$elapsed"
    [ "$code" -eq 0 ] || fail "$name: exit code $code, expected 0"
    [ "$elapsed" -le $((limit * 1000)) ] || fail "$name: took $elapsed ms, more than $limit s"
    touch "$log"
    if [ -s "$log" ]; then sed 's/^/    /' "$log"; fi
}

# expect_log NAME LINE...: the log holds exactly these lines, "thread start"/"thread end" aside.
expect_log() {
    local name=$1
    shift
    local expected actual
    expected=$(printf '%s\n' "$@")
    actual=$(grep -v '^thread ' "$work/$name.log" | sed 's/ at [0-9]* ms$//')
    [ "$actual" = "$expected" ] || fail "$name: the library saw
$actual
expected
$expected"
}

# Started by an installation with a wrong command line: ends at once and loads nothing.
silinst "no argument" 5
silinst "two arguments" 5 "$(library dialog)" "$(library dialog)"
[ -s "$work/two arguments.log" ] && fail "two arguments: the library was loaded"

silinst "library cannot be loaded" 5 "$(winpath "$work/missing.dll")"

# No registration entry: loaded and unloaded at once, and no clicker thread.
silinst "no registration entry" 5 "$(library noexport)"
expect_log "no registration entry" "load" "unload"
grep -q '^thread start' "$work/no registration entry.log" &&
    fail "no registration entry: a thread was started"

# The installer dialog and its warning, both pressed by their default buttons, within seconds.
silinst "dialog and warning pressed" 10 "$(library dialog)"
expect_log "dialog and warning pressed" "load" "register called" "com was initialised" \
    "dialog created" "dialog pressed OK" "warning created" "warning pressed OK" \
    "register returns" "unload"

# The registration returns while the clicker still looks for the dialog: the program ends at once,
# it does not wait for its clicker.
SILINST_TEST_RETURN_AT_ONCE=1 silinst "registration returns at once" 5 "$(library silent)"
expect_log "registration returns at once" "load" "register called" "com was initialised" \
    "register returns at once" "unload"

# The dialog never appears: the clicker gives up after its 1000 attempts of 15 ms and more, and
# the program ends with 0 once the registration returns.
silinst "dialog never appears" 60 "$(library silent)"
expect_log "dialog never appears" "load" "register called" "com was initialised" \
    "register waits for the clicker" "register returns" "unload"
clicker_ms=$(sed -n 's/^thread end after \([0-9]*\) ms$/\1/p' "$work/dialog never appears.log" | sort -n | tail -n1)
if [ -z "$clicker_ms" ]; then
    fail "dialog never appears: no clicker thread ended"
elif [ "$clicker_ms" -lt 15000 ] || [ "$clicker_ms" -gt 45000 ]; then
    fail "dialog never appears: the clicker ran $clicker_ms ms, expected 15 to 45 s"
else
    echo "the clicker gave up after $clicker_ms ms"
fi

echo "wine test done in $(($(now_ms) - start)) ms"
if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
