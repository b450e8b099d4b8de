# shellcheck shell=bash
# Shared by scripts/run, scripts/test and .ci/run: packages, locale, build, environment
# and the private X display. Source it; it defines functions and a few variables only.

POREMISU_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
POREMISU_LIB="$POREMISU_ROOT/scripts/lib"
POREMISU_BUILD="$POREMISU_ROOT/build"

say() { printf 'poremisu: %s\n' "$*" >&2; }

# Those of the given packages that dpkg does not list as installed, one a line.
uninstalled_packages() {
    local package
    command -v dpkg-query >/dev/null 2>&1 || return 0
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' \
            || printf '%s\n' "$package"
    done
}

# The packages of packages.txt that dpkg does not list as installed.
missing_packages() {
    # shellcheck disable=SC2046 # one word per package
    uninstalled_packages $(grep -v '^#' "$POREMISU_LIB/packages.txt")
}

# Installs the given packages; stale package lists fail the install: update and retry once.
apt_install() {
    apt-get install -y -q --no-install-recommends "$@" \
        || { apt-get update -q && apt-get install -y -q --no-install-recommends "$@"; }
}

# Installs only what is missing, and only as root; others get the list to install.
install_missing_packages() {
    local missing
    missing=$(missing_packages | tr '\n' ' ')
    [ -n "${missing// /}" ] || return 0
    if [ "$(id -u)" != 0 ]; then
        say "missing packages (install them as root): $missing"
        return 0
    fi
    say "installing $missing"
    export DEBIAN_FRONTEND=noninteractive
    # A fresh machine has no package lists; stale lists fail the install: update and retry.
    if ! compgen -G '/var/lib/apt/lists/*_Packages' >/dev/null; then
        apt-get update -q || return 1
    fi
    # shellcheck disable=SC2086 # one word per package
    apt_install $missing
}

# Packages of another architecture: 32-bit Wine, which runs the 32-bit Windows program's tests.
# They are optional: where they cannot be had, those tests are reported as not run.
POREMISU_FOREIGN_PACKAGES="wine32:i386"

# Adds the i386 architecture and installs what of POREMISU_FOREIGN_PACKAGES is missing, as root;
# says why when it cannot. Fails when something is still missing.
install_foreign_packages() {
    local missing
    # shellcheck disable=SC2086 # one word per package
    missing=$(uninstalled_packages $POREMISU_FOREIGN_PACKAGES | tr '\n' ' ')
    [ -n "${missing// /}" ] || return 0
    if [ "$(id -u)" != 0 ]; then
        say "missing: $missing(as root: dpkg --add-architecture i386; apt-get update; apt-get install $missing)"
        return 1
    fi
    say "installing $missing"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386 || { say "dpkg refused the i386 architecture"; return 1; }
    fi
    # The lists of the new architecture come with the next update.
    # A mirror in the middle of a sync fails one list and serves the rest:
    # one more try, then the install goes on with what did arrive.
    if ! compgen -G '/var/lib/apt/lists/*binary-i386_Packages*' >/dev/null; then
        apt-get update -q || { sleep 10; apt-get update -q; } ||
            say "some package lists could not be fetched; going on with those that were"
        compgen -G '/var/lib/apt/lists/*binary-i386_Packages*' >/dev/null ||
            { say "the package lists for i386 could not be fetched"; return 1; }
    fi
    # shellcheck disable=SC2086 # one word per package
    apt_install $missing || { say "the registry refused: $missing"; return 1; }
}

# The program's text is in the locale's charset: make that UTF-8 when nothing chose one.
ensure_utf8_locale() {
    local name
    for name in LC_ALL LC_CTYPE; do
        case "${!name-}" in C|POSIX) unset "$name" ;; esac
    done
    case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
        ''|C|POSIX) export LANG=C.UTF-8 ;;
    esac
    # A locale that is not installed falls back to ASCII (locale complains on stderr);
    # another charset is not UTF-8.
    if [ -n "$(locale 2>&1 >/dev/null)" ] || [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
        unset LC_ALL LC_CTYPE
        export LANG=C.UTF-8
    fi
}

# The Japanese locale, which the end-to-end tests run the program under as a Japanese user would; made
# when missing and root may make it. Without it those tests run in the fallback locale.
ensure_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    [ "$(id -u)" = 0 ] && [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null || return 0
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null 2>&1 || say "could not make the ja_JP.UTF-8 locale"
}

# Configures build/ with Ninja; extra arguments go to cmake.
configure_build() {
    local cache="$POREMISU_BUILD/CMakeCache.txt"
    # A build/ made by another generator cannot be reconfigured with Ninja.
    if [ -f "$cache" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$cache"; then
        rm -rf "$cache" "$POREMISU_BUILD/CMakeFiles"
    fi
    mkdir -p "$POREMISU_BUILD"
    if ! cmake -S "$POREMISU_ROOT" -B "$POREMISU_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
        >"$POREMISU_BUILD/configure.log" 2>&1; then
        cat "$POREMISU_BUILD/configure.log" >&2
        say "cmake could not configure build/"
        return 1
    fi
}

# Builds the given targets (all when none), one job per processor.
build_targets() {
    local targets=() target
    for target in "$@"; do targets+=(--target "$target"); done
    cmake --build "$POREMISU_BUILD" -j "$(nproc)" "${targets[@]}"
}

# Exports the KEY=VALUE lines of an env file; a variable the caller already set wins.
load_env_file() {
    local line key
    while IFS= read -r line || [ -n "$line" ]; do
        case "$line" in ''|'#'*) continue ;; esac
        key=${line%%=*}
        # shellcheck disable=SC2163 # the line is KEY=VALUE
        [ -n "${!key+set}" ] || export "$line"
    done <"$1"
}

# The environment the program needs on a private display.
load_program_env() {
    [ "${1:-}" != headless ] || load_env_file "$POREMISU_LIB/headless.env"
}

# Ends one process by its id: TERM, a grace period in tenths of a second, then KILL.
stop_pid() {
    local pid=$1 tenths=${2:-50}
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    while [ "$tenths" -gt 0 ] && kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
        tenths=$((tenths - 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Starts a private Xvfb (and openbox on it) and points DISPLAY at it. Sets XVFB_PID,
# OPENBOX_PID and PRIVATE_DISPLAY_DIR; stop_private_display ends them.
start_private_display() {
    local tenths=100 number=''
    PRIVATE_DISPLAY_DIR=$(mktemp -d "${TMPDIR:-/tmp}/poremisu-display.XXXXXX")
    # Xvfb picks a free display number itself and writes it to descriptor 3.
    # Its output goes to files: a server that held the caller's pipes would keep them open.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$PRIVATE_DISPLAY_DIR/xvfb.log" 2>&1 \
        3>"$PRIVATE_DISPLAY_DIR/number" &
    XVFB_PID=$!
    while [ "$tenths" -gt 0 ]; do
        number=$(head -n 1 "$PRIVATE_DISPLAY_DIR/number" 2>/dev/null)
        case "$number" in [0-9]*) break ;; esac
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
        tenths=$((tenths - 1))
    done
    case "$number" in
        [0-9]*) ;;
        *) cat "$PRIVATE_DISPLAY_DIR/xvfb.log" >&2; say "Xvfb did not start"; return 1 ;;
    esac
    export DISPLAY=":$number"
    openbox --sm-disable </dev/null >"$PRIVATE_DISPLAY_DIR/openbox.log" 2>&1 &
    OPENBOX_PID=$!
}

stop_private_display() {
    stop_pid "${OPENBOX_PID:-}" 20
    stop_pid "${XVFB_PID:-}" 20
    OPENBOX_PID='' XVFB_PID=''
    [ -z "${PRIVATE_DISPLAY_DIR:-}" ] || rm -rf "$PRIVATE_DISPLAY_DIR"
}
