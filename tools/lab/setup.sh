# ./lab's set-up: the packages each command needs, installed with apt when missing, and
# freeglut for Windows, built from Debian's source. Sourced by ./lab, from the repository root.

# Building and running the lab, and its picture when there is no display (Xvfb, xdpyinfo
# to see it up, ImageMagick for the PNG; lab-shot needs only Xlib).
PACKAGES=(g++ cmake make pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
          libx11-dev xvfb imagemagick x11-utils)
# The tests' own toolchain: GoogleTest, XTest and xdotool to drive the lab, clang for the
# sanitizer and fuzzing builds.
TEST_PACKAGES=(libgtest-dev libxtst-dev xdotool clang libclang-rt-14-dev)
# Making and checking the Debian package: dpkg-shlibdeps (for cpack's dependency list),
# lintian, and the checkers of the menu entry and the AppStream metadata.
PACKAGING=(dpkg-dev lintian desktop-file-utils appstream)

# The browser build and its tests: Debian's emscripten (and Node.js, only where no node is
# installed); the tests add Debian's Chromium and npm for playwright-core.
WEB_PACKAGES=(emscripten cmake make)
WEB_TEST_PACKAGES=(chromium)

# Windows: MinGW-w64, and Debian's source of freeglut (dpkg-dev unpacks it); Wine runs the
# zip's program in the tests.
WINDOWS_PACKAGES=(mingw-w64 cmake make dpkg-dev freeglut3-dev)
WINDOWS_TEST_PACKAGES=(wine wine64)

setup() { install_missing "${PACKAGES[@]}" "$@"; }  # setup [extra packages...]

# apt's messages in the C locale, so that a held lock reads the same in any language.
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    say "installing ${missing[*]}"
    local as=(env)  # sudo keeps the variables given on its own command line, not env's
    ((EUID == 0)) || as=(sudo)
    apt_waiting "${as[@]}" LC_ALL=C apt-get update -qq && apt_waiting "${as[@]}" LC_ALL=C \
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        { say "cannot install ${missing[*]}"; exit 1; }
}
# Another apt (an upgrade, another ./lab) may hold apt's or dpkg's lock: wait, saying so once.
APT_RETRY=5
apt_waiting() {  # apt_waiting COMMAND...; its output only when it fails for another reason
    local err said=
    until err=$("$@" 2>&1 >/dev/null); do
        [[ $err == *@(Could not get lock|Unable to acquire|Unable to lock)* ]] || { printf '%s\n' "$err" >&2; return 1; }
        [[ -n $said ]] || say "waiting for another apt to finish (it holds the lock)"
        said=1
        sleep "$APT_RETRY"
    done
}

setup_web() {
    local extra=()
    command -v node >/dev/null || extra+=(nodejs)
    install_missing "${WEB_PACKAGES[@]}" "${extra[@]}"
}

# The browser tests: playwright-core from the lock file, Debian's Chromium.
setup_browser() {
    local extra=()
    command -v npm >/dev/null || extra+=(npm)
    install_missing "${WEB_TEST_PACKAGES[@]}" "${extra[@]}"
    (cd tests/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null) || { say "npm ci failed"; return 1; }
}

# ---- freeglut for Windows, where the windows preset looks for it: built from Debian's own
# source of the freeglut the native build uses.
FREEGLUT=build-windows/freeglut

# apt-get source through an apt configuration of its own, whose one entry is the deb-src of
# the archive that gave the installed freeglut3-dev: the machine's is left as it was.
fetch_freeglut() {  # fetch_freeglut DIR
    local dir=$1 version uri dist conf
    version=$(dpkg-query -W -f='${Version}' freeglut3-dev)
    read -r uri dist _ < <(apt-cache madison freeglut3-dev |
        awk -F'|' -v v="$version" '{gsub(/ /, "", $2)} $2 == v {print $3; exit}') || true
    [[ $dist == */* ]] || { say "no archive in apt's sources offers freeglut $version"; return 1; }
    say "fetching Debian's source of freeglut $version with apt-get source (deb-src $uri ${dist%%/*} ${dist#*/})"
    mkdir -p "$dir/apt/lists" "$dir/apt/cache" "$dir/apt/parts"
    echo "deb-src $uri ${dist%%/*} ${dist#*/}" >"$dir/apt/sources.list"
    for conf in "Etc::SourceList sources.list" "Etc::SourceParts parts" "State::Lists lists" "Cache cache"; do
        echo "Dir::${conf% *} \"$ROOT/$dir/apt/${conf#* }\";"
    done >"$dir/apt/apt.conf"
    (cd "$dir" && export APT_CONFIG=apt/apt.conf && apt-get update && apt-get source "freeglut=$version") \
        >"$dir/fetch.log" 2>&1 || { say "cannot fetch freeglut's source (log: $dir/fetch.log)"; return 1; }
}

# Static, with the lab's own toolchain file; once per build folder. A failure sets LOG to
# the log of the step that failed.
build_freeglut() {  # build_freeglut LOG
    local -n failedLog=$1
    [[ ! -e $FREEGLUT/lib/cmake/FreeGLUT/FreeGLUTConfig.cmake ]] || return 0
    local work=build-windows/freeglut-source
    rm -rf "$work" "$FREEGLUT"
    mkdir -p "$work"
    fetch_freeglut "$work" || { failedLog=$work/fetch.log; [[ -e $failedLog ]] || failedLog="the line above"; return 1; }
    progress "building freeglut for Windows" compile_freeglut "$work" && return 0
    tail -n 40 "$work/build.log" >&2
    say "build of freeglut failed (whole log: $work/build.log)"
    failedLog=$work/build.log
    return 1
}
compile_freeglut() {  # compile_freeglut WORK
    local source=("$1"/freeglut-*/)
    { cmake -S "${source[0]}" -B "$1/build" --toolchain "$ROOT/cmake/mingw-w64-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$ROOT/$FREEGLUT" -DFREEGLUT_REPLACE_GLUT=ON \
          -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_DEMOS=OFF &&
      cmake --build "$1/build" --parallel "$(nproc)" && cmake --install "$1/build"; } >"$1/build.log" 2>&1
}
