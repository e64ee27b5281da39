# ./lab's set-up: what each command needs, found as itself and installed with apt when
# missing. Sourced by ./lab, from the repository root.

# ---- this file's state
# What ./lab needs. Each thing is looked for as itself, the way the build and the tests find
# it, not as a package, so that a system with everything installed by any means goes
# straight to building:
#   program      a program on PATH (the tests find theirs on PATH too)
#   header       a header and its library, as the compiler finds them (CMake asks it the same)
#   file         a file, any of the patterns split by |
#   sanitizers   clang linking a fuzzer with the sanitizers, whose runtimes' names change
#   imagemagick  a convert or magick on PATH whose -version says ImageMagick
# A row: the Debian package bringing it (the name the lists below use; each is in Debian 12
# and 13), how it is found, and the package bringing it with dnf (Fedora), pacman (Arch) and
# zypper (openSUSE), "-" where none is packaged (NEED_INSTEAD then says what to do).
NEEDS='
# Debian package   found as    what                    dnf                   pacman              zypper
g++                program     g++                     gcc-c++               gcc                 gcc-c++
cmake              program     cmake                   cmake                 cmake               cmake
make               program     make                    make                  make                make
freeglut3-dev      header      GL/glut.h:glut          freeglut-devel        freeglut            freeglut-devel
libglu1-mesa-dev   header      GL/glu.h:GLU            mesa-libGLU-devel     glu                 glu-devel
libgl1-mesa-dev    header      GL/gl.h:GL              mesa-libGL-devel      libglvnd            Mesa-libGL-devel
libgl1-mesa-dri    file        /usr/lib/*/dri/swrast_dri.so|/usr/lib*/dri/swrast_dri.so mesa-dri-drivers mesa Mesa-dri
libx11-dev         header      X11/Xlib.h:X11          libX11-devel          libx11              libX11-devel
xvfb               program     Xvfb                    xorg-x11-server-Xvfb  xorg-server-xvfb    xorg-x11-server-Xvfb
imagemagick        imagemagick ImageMagick             ImageMagick           imagemagick         ImageMagick
x11-utils          program     xdpyinfo                xdpyinfo              xorg-xdpyinfo       xdpyinfo
libxres-dev        file        /usr/include/X11/extensions/XRes.h libXres-devel   libxres             libXRes-devel
libgtest-dev       header      gtest/gtest.h:gtest     gtest-devel           gtest               gtest
libxtst-dev        header      X11/extensions/XTest.h:Xtst libXtst-devel     libxtst             libXtst-devel
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
firefox-esr        program     firefox-esr             firefox               firefox             MozillaFirefox
libwebkit2gtk-4.1-0 file       /usr/lib/*/webkit2gtk-4.1/MiniBrowser|/usr/libexec/webkit2gtk-4.1/MiniBrowser webkit2gtk4.1 webkit2gtk-4.1 libwebkit2gtk-4_1-0
nginx              file        /usr/sbin/nginx|/usr/bin/nginx nginx          nginx               nginx
apache2            file        /etc/apache2/mods-available/mime.load -       -                   -
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
disorderfs         program     disorderfs              -                     disorderfs          -
fuse3              program     fusermount3             fuse3                 fuse3               fuse3
'
declare -A NEED_CHECK=() NEED_ELSEWHERE=()
while read -r deb kind what dnf pacman zypper; do
    [[ -n $deb && $deb != '#'* ]] || continue
    NEED_CHECK[$deb]="$kind $what" NEED_ELSEWHERE[$deb]="$dnf $pacman $zypper"
done <<<"$NEEDS"
OTHER_INSTALLS=("dnf install" "pacman -S" "zypper install")  # in NEED_ELSEWHERE's order
# What is looked for, as a user would name it, where the row's own word is a file or header.
declare -A NEED_NAMES=([freeglut3-dev]=freeglut [libglu1-mesa-dev]=GLU [libgl1-mesa-dev]=OpenGL
    [libgl1-mesa-dri]="Mesa's software renderer" [libx11-dev]=Xlib [libxres-dev]="Xlib's X-Resource" [libgtest-dev]=GoogleTest [libxtst-dev]=XTest
    [libclang-rt-dev]="clang's sanitizer runtimes" [g++-mingw-w64-x86-64-posix]="MinGW-w64's g++"
    [googletest]="GoogleTest's source" [wine64]="64-bit Wine" [crossbuild-essential-arm64]="the arm64 cross compiler"
    [freeglut3-dev:arm64]="arm64 freeglut" [libglu1-mesa-dev:arm64]="arm64 GLU" [libgl1-mesa-dev:arm64]="arm64 OpenGL"
    [libgl1-mesa-dri:arm64]="arm64 Mesa" [devscripts]="hardening-check (devscripts)"
    [libwebkit2gtk-4.1-0]="WebKitGTK's MiniBrowser")
# Where a system packages it not: what to do instead.
declare -A NEED_INSTEAD=(
    [googletest]="unpack GoogleTest's source release into /usr/src/googletest (the Windows tests build it)"
    [lintian]="lintian, Debian's package checker, is Perl: install it from its source, or run ./lab test on Debian"
    [apache2]="the browser tests run Debian's Apache with Debian's module files (/etc/apache2/mods-available): run them on Debian"
    [emscripten]="install emscripten with its own emsdk and put its emcc on PATH")
onDebian="a release is built on Debian for amd64 (docs/releasing.md)"
for p in crossbuild-essential-arm64 freeglut3-dev:arm64 libglu1-mesa-dev:arm64 libgl1-mesa-dev:arm64 \
         libgl1-mesa-dri:arm64 devscripts disorderfs; do NEED_INSTEAD[$p]=$onDebian; done
unset onDebian p
IMAGEMAGICK=  # the ImageMagick program found: convert or magick, with its folder

# Building and running the lab, and its picture when there is no display (Xvfb, xdpyinfo
# to see it up, ImageMagick for the PNG; lab-shot needs Xlib and its X-Resource, to know
# which process owns a window).
PACKAGES=(g++ cmake make freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
          libx11-dev libxres-dev xvfb imagemagick x11-utils)
# The tests' own toolchain: GoogleTest, XTest and xdotool to drive the lab, clang for the
# sanitizer and fuzzing builds, Ninja for the check that ./lab builds with any generator.
TEST_PACKAGES=(libgtest-dev libxtst-dev xdotool clang libclang-rt-dev ninja-build)
# Making and checking the Debian package: dpkg-shlibdeps (for cpack's dependency list),
# lintian, and the checkers of the menu entry and the AppStream metadata.
PACKAGING=(dpkg-dev lintian desktop-file-utils appstream)
# The browser build and its tests: Debian's emscripten and Node.js (any node serves); the
# tests add Debian's Chromium and npm for playwright-core (the benchmark too). The tests
# alone add Firefox ESR and WebKitGTK (its MiniBrowser), and Debian's nginx and Apache to
# serve the site as hosts do (started by the tests on ports of their own, with their own
# configuration: a service the packages start is neither needed nor touched).
WEB_PACKAGES=(emscripten cmake make nodejs)
WEB_TEST_PACKAGES=(chromium npm)
BROWSER_TEST_PACKAGES=(firefox-esr libwebkit2gtk-4.1-0 nginx apache2)
# Windows: MinGW-w64, and Debian's source of freeglut (dpkg-dev unpacks it); Wine runs the
# zip's program in the tests. Only the 64-bit toolchain: the metapackage mingw-w64 brings the
# 32-bit ones too, some 750 MB unused. ImageMagick makes the program's icon; the tests
# cross-build GoogleTest from its sources.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix cmake make dpkg-dev freeglut3-dev imagemagick)
WINDOWS_TEST_PACKAGES=(wine wine64 googletest)
APT_RETRY=5  # seconds between looks at a held apt lock

has_need() {  # has_need PACKAGE: what the package brings is there
    local kind what pattern patterns
    read -r kind what <<<"${NEED_CHECK[$1]:-}"
    case $kind in
        program) command -v "$what" >/dev/null ;;
        header) compiles_with "${what%%:*}" "${what#*:}" ;;
        file) IFS='|' read -ra patterns <<<"$what"
              for pattern in "${patterns[@]}"; do compgen -G "$pattern" >/dev/null && return 0; done
              return 1 ;;
        sanitizers) sanitizers_link "$what" ;;
        imagemagick) find_imagemagick ;;
        *) say "no row for $1 in the NEEDS of tools/lab/setup.sh: how is it found?"; exit 1 ;;
    esac
}
# A program including HEADER links with LIBRARY: what CMake's find modules look for, found
# where the compiler finds them. Without a compiler, the header in the usual folders.
compiles_with() {  # compiles_with HEADER LIBRARY
    if ! command -v c++ >/dev/null; then
        [[ -e /usr/include/$1 || -e /usr/local/include/$1 ]]
        return
    fi
    printf '#include <%s>\nint main() { return 0; }\n' "$1" |
        c++ -x c++ - -o /dev/null "-l$2" >/dev/null 2>&1
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
# Another program may be called convert (Windows' disk converter, a stand-in): the first
# magick or convert on PATH that says it is ImageMagick is the one ./lab uses.
find_imagemagick() {
    local program programs
    mapfile -t programs < <(type -ap magick convert)  # a folder's name may hold spaces
    for program in "${programs[@]}"; do
        [[ $("$program" -version 2>/dev/null) == *"Version: ImageMagick "* ]] || continue
        IMAGEMAGICK=$program
        return 0
    done
    return 1
}
need_name() {  # need_name PACKAGE: what is looked for, as the user would name it
    local kind what
    read -r kind what <<<"${NEED_CHECK[$1]}"
    echo "${NEED_NAMES[$1]:-$what}"
}

# Without apt, what is missing and the packages that bring it elsewhere, in one line; where
# a system packages a need not, what to do instead.
missing_line() {  # missing_line PACKAGE...
    local p i name names=() installs=() packages unpackaged elsewhere instead=()
    for p in "$@"; do names+=("$(need_name "$p")"); done
    for i in "${!OTHER_INSTALLS[@]}"; do
        packages=()
        for p in "$@"; do
            read -ra elsewhere <<<"${NEED_ELSEWHERE[$p]}"
            name=${elsewhere[i]}
            [[ $name != - ]] || continue
            [[ " ${packages[*]} " == *" $name "* ]] || packages+=("$name")
        done
        ((${#packages[@]} == 0)) || installs+=("${OTHER_INSTALLS[i]} ${packages[*]}")
    done
    for p in "$@"; do
        unpackaged=()
        read -ra elsewhere <<<"${NEED_ELSEWHERE[$p]}"
        for i in "${!OTHER_INSTALLS[@]}"; do
            [[ ${elsewhere[i]} != - ]] || unpackaged+=("${OTHER_INSTALLS[i]%% *}")
        done
        ((${#unpackaged[@]} == 0)) || instead+=("$(need_name "$p") is not packaged for $(printf '%s\n' "${unpackaged[@]}" |
            paste -sd/): ${NEED_INSTEAD[$p]}")
    done
    printf 'missing %s; without apt-get, install them yourself: %s' "$(printf '%s, ' "${names[@]}" | sed 's/, $//')" \
        "$(printf '%s; ' "${installs[@]}" "${instead[@]}" | sed 's/; $//')"
}

# Those whose things are missing, installed with apt, its messages in the C locale so that a
# held lock reads the same in any language.
install_needs() {  # install_needs PACKAGE...
    local p missing=() still=()
    for p in "$@"; do
        [[ " ${missing[*]} " == *" $p "* ]] || has_need "$p" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    [[ -z ${OSTREL_LAB_NO_INSTALL:-} ]] ||
        { say "missing $(for p in "${missing[@]}"; do need_name "$p"; done | paste -sd '|' | sed 's/|/, /g'): the tests install nothing; ./lab test installs it before them"; exit 1; }
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
apt_waiting() {  # apt_waiting COMMAND...; its output only when it fails for another reason
    local err said=
    until err=$("$@" 2>&1 >/dev/null); do
        [[ $err == *@(Could not get lock|Unable to acquire|Unable to lock)* ]] || { printf '%s\n' "$err" >&2; return 1; }
        [[ -n $said ]] || say "waiting for another apt to finish (it holds the lock)"
        said=1
        sleep "$APT_RETRY"
    done
}
