# ./lab's set-up: the packages each command needs, installed with apt when missing, and
# freeglut for Windows, built from Debian's source. Sourced by ./lab, from the repository root.

# ---- What ./lab needs. Each thing is looked for as itself (a program on PATH, a library's
# pkg-config module, a file, clang linking with its sanitizers), not as a package, so that a
# system with everything installed by any means goes straight to building. A row: the Debian
# package bringing it (the name the lists below use; each is in Debian 12 and 13), how it is
# found, and the package bringing it with dnf (Fedora), pacman (Arch) and zypper (openSUSE),
# "-" where none is known. Where something is missing, apt installs the Debian packages;
# without apt, one line names what is missing and those packages.
NEEDS='
# Debian package   found as    what                    dnf                   pacman              zypper
g++                program     g++                     gcc-c++               gcc                 gcc-c++
cmake              program     cmake                   cmake                 cmake               cmake
make               program     make                    make                  make                make
pkg-config         program     pkg-config              pkgconf-pkg-config    pkgconf             pkgconf-pkg-config
freeglut3-dev      pkg-config  glut                    freeglut-devel        freeglut            freeglut-devel
libglu1-mesa-dev   pkg-config  glu                     mesa-libGLU-devel     glu                 glu-devel
libgl1-mesa-dev    pkg-config  gl                      mesa-libGL-devel      libglvnd            Mesa-libGL-devel
libgl1-mesa-dri    file        /usr/lib/*/dri/swrast_dri.so|/usr/lib*/dri/swrast_dri.so mesa-dri-drivers mesa Mesa-dri
libx11-dev         pkg-config  x11                     libX11-devel          libx11              libX11-devel
xvfb               program     Xvfb                    xorg-x11-server-Xvfb  xorg-server-xvfb    xorg-x11-server-Xvfb
imagemagick        program     convert                 ImageMagick           imagemagick         ImageMagick
x11-utils          program     xdpyinfo                xdpyinfo              xorg-xdpyinfo       xdpyinfo
libgtest-dev       pkg-config  gtest                   gtest-devel           gtest               gtest
libxtst-dev        pkg-config  xtst                    libXtst-devel         libxtst             libXtst-devel
xdotool            program     xdotool                 xdotool               xdotool             xdotool
ninja-build        program     ninja                   ninja-build           ninja               ninja
clang              program     clang                   clang                 clang               clang
libclang-rt-dev    sanitizers  clang                   compiler-rt           compiler-rt         compiler-rt
dpkg-dev           program     dpkg-shlibdeps          dpkg-dev              dpkg                dpkg
lintian            program     lintian                 lintian               -                   -
desktop-file-utils program     desktop-file-validate   desktop-file-utils    desktop-file-utils  desktop-file-utils
appstream          program     appstreamcli            appstream             appstream           AppStream
emscripten         program     emcc                    -                     emscripten          emscripten
nodejs             program     node                    nodejs                nodejs              nodejs-default
npm                program     npm                     npm                   npm                 npm-default
chromium           program     chromium                chromium              chromium            chromium
gnuplot-nox        program     gnuplot                 gnuplot               gnuplot             gnuplot
g++-mingw-w64-x86-64-posix file /usr/bin/x86_64-w64-mingw32-g++-posix|/usr/bin/x86_64-w64-mingw32-g++ mingw64-gcc-c++ mingw-w64-gcc mingw64-cross-gcc-c++
googletest         file        /usr/src/googletest/CMakeLists.txt -                  -                   -
wine               program     wine                    wine                  wine                wine
wine64             file        /usr/lib/wine/wine64|/usr/bin/wine64 wine     wine                wine
crossbuild-essential-arm64 program aarch64-linux-gnu-g++ gcc-c++-aarch64-linux-gnu aarch64-linux-gnu-gcc -
freeglut3-dev:arm64 file       /usr/lib/aarch64-linux-gnu/libglut.so -               -                   -
libglu1-mesa-dev:arm64 file    /usr/lib/aarch64-linux-gnu/libGLU.so -                -                   -
libgl1-mesa-dev:arm64 file     /usr/lib/aarch64-linux-gnu/libGL.so -                 -                   -
libgl1-mesa-dri:arm64 file     /usr/lib/aarch64-linux-gnu/dri/swrast_dri.so -        -                   -
qemu-user-static   program     qemu-aarch64-static     qemu-user-static      qemu-user-static    qemu-linux-user
devscripts         program     hardening-check         -                     -                   -
diffoscope         program     diffoscope              diffoscope            diffoscope          diffoscope
'
declare -A NEED_CHECK=() NEED_ELSEWHERE=()
while read -r deb kind what dnf pacman zypper; do
    [[ -n $deb && $deb != '#'* ]] || continue
    NEED_CHECK[$deb]="$kind $what" NEED_ELSEWHERE[$deb]="$dnf $pacman $zypper"
done <<<"$NEEDS"
OTHER_INSTALLS=("dnf install" "pacman -S" "zypper install")  # in NEED_ELSEWHERE's order

# Building and running the lab, and its picture when there is no display (Xvfb, xdpyinfo
# to see it up, ImageMagick for the PNG; lab-shot needs only Xlib).
PACKAGES=(g++ cmake make pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
          libx11-dev xvfb imagemagick x11-utils)
# The tests' own toolchain: GoogleTest, XTest and xdotool to drive the lab, clang for the
# sanitizer and fuzzing builds, Ninja for the check that ./lab builds with any generator.
TEST_PACKAGES=(libgtest-dev libxtst-dev xdotool clang libclang-rt-dev ninja-build)
# Making and checking the Debian package: dpkg-shlibdeps (for cpack's dependency list),
# lintian, and the checkers of the menu entry and the AppStream metadata.
PACKAGING=(dpkg-dev lintian desktop-file-utils appstream)

# The browser build and its tests: Debian's emscripten and Node.js (any node serves); the
# tests add Debian's Chromium and npm for playwright-core.
WEB_PACKAGES=(emscripten cmake make nodejs)
WEB_TEST_PACKAGES=(chromium npm)

# Windows: MinGW-w64, and Debian's source of freeglut (dpkg-dev unpacks it); Wine runs the
# zip's program in the tests. Only the 64-bit toolchain: the metapackage mingw-w64 brings the
# 32-bit ones too, some 750 MB unused. ImageMagick makes the program's icon; the tests
# cross-build GoogleTest from its sources.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix cmake make dpkg-dev freeglut3-dev imagemagick)
WINDOWS_TEST_PACKAGES=(wine wine64 googletest)

setup() { install_missing "${PACKAGES[@]}" "$@"; }  # setup [extra packages...]

has_need() {  # has_need PACKAGE: what the package brings is there
    local kind what pattern patterns
    read -r kind what <<<"${NEED_CHECK[$1]:-}"
    case $kind in
        program) command -v "$what" >/dev/null ;;
        pkg-config) command -v pkg-config >/dev/null && pkg-config --exists "$what" ;;
        file) IFS='|' read -ra patterns <<<"$what"
              for pattern in "${patterns[@]}"; do compgen -G "$pattern" >/dev/null && return 0; done
              return 1 ;;
        sanitizers) sanitizers_link "$what" ;;
        *) say "no row for $1 in lab's NEEDS: how is it found?"; exit 1 ;;
    esac
}
# The runtimes' files change names and folders from one clang to the next: linking finds them.
sanitizers_link() {  # sanitizers_link CLANG
    command -v "$1" >/dev/null || return 1
    local dir status=0
    dir=$(mktemp -d)
    echo 'int LLVMFuzzerTestOneInput(const char *data, unsigned long size) { return 0; }' >"$dir/fuzz.c"
    "$1" -fsanitize=fuzzer,address,undefined "$dir/fuzz.c" -o "$dir/fuzz" >/dev/null 2>&1 || status=1
    rm -rf "$dir"
    return "$status"
}
need_name() {  # need_name PACKAGE: what is looked for, as the user would name it
    local kind what
    read -r kind what <<<"${NEED_CHECK[$1]}"
    case $kind in
        pkg-config) echo "$what (pkg-config)" ;;
        file) what=${what%%|*}; echo "${what##*/}" ;;
        sanitizers) echo "$what's sanitizer runtimes" ;;
        *) echo "$what" ;;
    esac
}

# Without apt, what is missing and the packages that bring it elsewhere, in one line.
missing_line() {  # missing_line PACKAGE...
    local p i name names=() installs=() packages unknown elsewhere
    for p in "$@"; do names+=("$(need_name "$p")"); done
    for i in "${!OTHER_INSTALLS[@]}"; do
        packages=() unknown=()
        for p in "$@"; do
            read -ra elsewhere <<<"${NEED_ELSEWHERE[$p]}"
            name=${elsewhere[i]}
            if [[ $name == - ]]; then unknown+=("$(need_name "$p")")
            elif [[ " ${packages[*]} " != *" $name "* ]]; then packages+=("$name")
            fi
        done
        installs+=("${OTHER_INSTALLS[i]}${packages[*]:+ ${packages[*]}}${unknown[*]:+ (no package known for ${unknown[*]})}")
    done
    printf 'missing %s; without apt-get, install them yourself: %s' "$(printf '%s, ' "${names[@]}" | sed 's/, $//')" \
        "$(printf '%s; ' "${installs[@]}" | sed 's/; $//')"
}

# apt's messages in the C locale, so that a held lock reads the same in any language.
install_missing() {  # install_missing PACKAGE...: those whose things are missing
    local p missing=() still=()
    for p in "$@"; do
        [[ " ${missing[*]} " == *" $p "* ]] || has_need "$p" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    command -v apt-get >/dev/null || { say "$(missing_line "${missing[@]}")"; exit 1; }
    say "installing ${missing[*]}"
    local as=(env)  # sudo keeps the variables given on its own command line, not env's
    ((EUID == 0)) || as=(sudo)
    apt_waiting "${as[@]}" LC_ALL=C apt-get update -qq && apt_waiting "${as[@]}" LC_ALL=C \
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        { say "cannot install ${missing[*]}"; exit 1; }
    # A package of the same name that brings something else (another release's) is no success.
    for p in "${missing[@]}"; do has_need "$p" || still+=("$(need_name "$p")"); done
    ((${#still[@]} == 0)) || { say "installed ${missing[*]}, but still missing: ${still[*]}"; exit 1; }
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

setup_web() { install_missing "${WEB_PACKAGES[@]}"; }

# The browser tests: playwright-core from the lock file, Debian's Chromium.
setup_browser() {
    install_missing "${WEB_TEST_PACKAGES[@]}"
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
    (cd "$dir" && export APT_CONFIG=apt/apt.conf && apt-get update && { apt-get source "freeglut=$version" ||
        fetch_upstream_freeglut "$version" "$uri"; }) 3>&2 >"$dir/fetch.log" 2>&1 ||
        { say "cannot fetch freeglut's source (log: $dir/fetch.log)"; return 1; }
}
# The archive has answered 404 for a .dsc its own index lists: then the upstream tarball of the
# same version from the same pool (Debian's one patch is about the shared library, not built
# here), checked against the index's SHA-256. Runs in fetch_freeglut's folder and apt set-up.
fetch_upstream_freeglut() {  # fetch_upstream_freeglut VERSION URI
    local pool file sha
    read -r pool file sha < <(apt-cache showsrc freeglut | awk -v v="$1" 'BEGIN { RS = "" }
        index("\n" $0 "\n", "\nVersion: " v "\n") {
            n = split($0, line, "\n")
            for (i = 1; i <= n; i++) {
                if (line[i] ~ /^Directory: /) pool = substr(line[i], 12)
                # the line of Checksums-Sha256 (mawk knows no {64})
                if (split(line[i], f, " ") == 3 && length(f[1]) == 64 && f[3] ~ /[.]orig[.]tar[.]/) { sha = f[1]; file = f[3] }
            }
            print pool, file, sha; exit
        }') && [[ -n $sha ]] || { echo "no upstream tarball of freeglut $1 in the source index"; return 1; }
    say "Debian's source of freeglut $1 cannot be fetched: building its upstream tarball instead ($2/$pool/$file)" 2>&3
    /usr/lib/apt/apt-helper download-file "$2/$pool/$file" "$file" "SHA256:$sha" && tar -xf "$file"
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
