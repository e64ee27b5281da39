# ./lab release: every download of one commit, built from a clean export of it into
# build-release/, byte for byte the same wherever and whenever it is built, with SHA256SUMS.
# Sourced by ./lab, from the repository root (docs/releasing.md).

# Debian's cross toolchain and the arm64 libraries through multiarch (dpkg gains the arm64
# architecture when they are missing).
ARM64_PACKAGES=(crossbuild-essential-arm64 freeglut3-dev:arm64 libglu1-mesa-dev:arm64 libgl1-mesa-dev:arm64)
# lintian and hardening-check (devscripts) check the packages. The tests alone (./lab test
# installs them) draw the arm64 program under qemu-user with Debian's arm64 Mesa, build a
# release through disorderfs (FUSE), and let diffoscope say what differs.
RELEASE_CHECK_PACKAGES=(devscripts lintian)
RELEASE_TEST_PACKAGES=(qemu-user-static libgl1-mesa-dri:arm64 diffoscope disorderfs fuse3)

RELEASE=build-release
TREES+=("$RELEASE")  # locked after the others, as every tree is

MANIFEST=SOURCE-MANIFEST  # in the source archive: its commit, that commit's time, each file's SHA-256

RELEASE_USAGE="usage: ./lab release
  builds, from this checkout's commit (which must have no uncommitted changes), or from a
  release's source archive unpacked, into $RELEASE/ostrel-lab-<version>/: the Debian packages
  for amd64 and arm64, the Windows zip, the site and the source as .tar.gz, SHA256SUMS of
  those, and BUILDINFO (the commit and the packages that built them); prints that folder's path"

# The files' order, times and modes are fixed where each archive is made (CPack takes the
# commit's time from SOURCE_DATE_EPOCH); the umask is fixed because CPack gives the members
# of a .deb the modes of the files it writes for them.
cmd_release() {
    (($# == 0)) || { [[ $1 == @(-h|--help) ]] && echo "$RELEASE_USAGE" && exit 0; usage_error "$RELEASE_USAGE"; }
    # The arm64 package is cross-built, and the others are built, from amd64 alone.
    [[ $(dpkg --print-architecture 2>/dev/null) == amd64 ]] ||
        { say "a release is built on Debian for amd64 (docs/releasing.md); this is not one"; exit 1; }
    local commit epoch changes
    if [[ -d .git || -f .git ]] && git rev-parse --verify -q HEAD >/dev/null; then
        changes=$(git status --porcelain --untracked-files=normal | wc -l)
        ((changes == 0)) || { say "the checkout has uncommitted changes ($changes in git status): a release is built from a commit alone: commit or stash them first"; exit 1; }
        commit=$(git rev-parse HEAD)
        epoch=$(git log -1 --format=%ct HEAD)
    elif [[ -f $MANIFEST ]]; then
        # A source archive names its commit in its manifest, and each file it holds.
        commit=$(sed -n 's/^commit: \([0-9a-f]\{40\}\)$/\1/p' "$MANIFEST")
        epoch=$(sed -n 's/^time: \([0-9]\{1,12\}\)$/\1/p' "$MANIFEST")
        [[ -n $commit && -n $epoch ]] || { say "$MANIFEST names no commit and time: it is not a release's source archive's"; exit 1; }
        changes=$(manifest_sums | LC_ALL=C sha256sum --quiet -c - 2>/dev/null | wc -l) || true
        ((changes == 0)) || { say "the source differs from its archive ($changes of the files $MANIFEST lists changed or missing): a release is built from the archive's files alone"; exit 1; }
    else
        say "a release is built from a git checkout's commit or from a release's source archive: this is neither"; exit 1
    fi
    install_release_needs
    local version
    version=$(sed -n 's/^project(OstrelLab VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    [[ -n $version ]] || { say "no version in CMakeLists.txt's project()"; exit 1; }
    export SOURCE_DATE_EPOCH=$epoch
    release_tools  # before anything is built: every tool there, and its package
    lock_trees "$RELEASE"
    local source=$RELEASE/source out=$RELEASE/ostrel-lab-$version
    umask 022
    rm -rf "$source" "$RELEASE/home" "$RELEASE"/ostrel-lab-*/
    mkdir -p "$source" "$RELEASE/home" "$out"
    : >"$RELEASE/build.log"
    release_export "$source" "$commit" "$epoch" || { say "cannot export the source into $source"; exit 1; }
    # The source as it is built, before the build fills its folder (the Windows tree builds its freeglut there too).
    release_env "$RELEASE" tar --transform "s|^source|ostrel-lab-$version|" --sort=name --mtime="@$epoch" \
        --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --format=gnu -cf - source |
        release_env . gzip -9n >"$out/ostrel-lab-$version-source.tar.gz"
    say "building the release of $commit into $RELEASE/ (a minute or two; its log: $RELEASE/build.log)"
    release_build "the amd64 package" default -DBUILD_TESTING=OFF
    release_build "the arm64 package" arm64
    release_build "the Windows zip" windows -DBUILD_TESTING=OFF
    release_build "the site" web
    release_logged "packing the downloads" release_pack "$source" "$out" "$version" || exit 1
    release_checks "$out" "$version"
    (cd "$out" && LC_ALL=C sha256sum -- $(LC_ALL=C ls) >SHA256SUMS)
    release_info "$commit" "$epoch" "$version" "$source" >"$out/BUILDINFO"
    echo "$ROOT/$out"
}

# The manifest's lines of sums, as sha256sum -c reads them.
manifest_sums() { grep -E '^[0-9a-f]{64}  ' "$MANIFEST"; }

# The source exactly as the commit holds it, whatever git's config says (.gitattributes fixes
# line ends; tar.umask the modes), or the archive's files as its manifest lists them; then
# the manifest, which a release from the archive finds the commit and its files by.
release_export() {  # release_export SOURCE COMMIT EPOCH
    local source=$1
    if [[ -f $MANIFEST ]] && ! [[ -d .git || -f .git ]]; then
        manifest_sums | sed 's/^[0-9a-f]\{64\}  //' | tar --verbatim-files-from -T - -cf - | tar -x -C "$source" || return 1
    else
        git -c core.autocrlf=false -c tar.umask=0022 archive --format=tar HEAD | tar -x --no-same-owner -C "$source" || return 1
    fi
    chmod -R u=rwX,go=rX "$source" || return 1
    { echo "# The source of Ostrel Lab at one commit, made by ./lab release. Without .git, ./lab release"
      echo "# builds from the files below, each checked against its SHA-256, and takes the commit and its time from here."
      echo "commit: $2"
      echo "time: $3"
      (cd "$source" && find . -type f ! -path "./$MANIFEST" -printf '%P\0' | LC_ALL=C sort -z | xargs -0 sha256sum --)
    } >"$source/$MANIFEST" || return 1
    find "$source" -exec touch -h -d "@$3" {} +
}

# The release's own environment: the caller's PATH alone of theirs, a home of its own (no
# ~/.config/dpkg/buildflags.conf, ~/.cmake or git config of the caller's), one locale and
# zone; so no CXXFLAGS, CC, CMAKE_BUILD_TYPE, DEB_*, DPKG_*, EMCC_*, MAKEFLAGS or other
# variable of the caller's reaches the bytes.
release_env() {  # release_env DIR COMMAND...
    local dir=$1; shift
    env -i -C "$dir" PATH="$PATH" HOME="$ROOT/$RELEASE/home" LC_ALL=C.UTF-8 TZ=UTC0 SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" "$@"
}

install_release_needs() {
    local p as=() needs=("${PACKAGES[@]}" "${PACKAGING[@]}" "${WINDOWS_PACKAGES[@]}" "${WEB_PACKAGES[@]}" "${ARM64_PACKAGES[@]}"
        "${RELEASE_CHECK_PACKAGES[@]}") missing=()
    # An ordinary user who cannot install builds with what is there, or is told in one line what to install.
    if ((EUID != 0)) && ! sudo -n true 2>/dev/null; then
        for p in "${needs[@]}"; do [[ " ${missing[*]} " == *" $p "* ]] || has_need "$p" || missing+=("$p"); done
        ((${#missing[@]} == 0)) && return 0
        say "missing $(for p in "${missing[@]}"; do need_name "$p"; done | paste -sd, | sed 's/,/, /g'); install as root with: sudo dpkg --add-architecture arm64 && sudo apt-get update && sudo apt-get install ${missing[*]}"
        exit 1
    fi
    ((EUID == 0)) || as=(sudo)
    for p in "${ARM64_PACKAGES[@]}"; do
        [[ $p == *:arm64 ]] && ! has_need "$p" && command -v dpkg >/dev/null || continue
        dpkg --print-foreign-architectures | grep -qx arm64 && break
        say "adding arm64 to dpkg's architectures, for the arm64 libraries (multiarch)"
        "${as[@]}" dpkg --add-architecture arm64 || { say "cannot add the arm64 architecture"; exit 1; }
        break
    done
    install_needs "${needs[@]}"
}

# Every step's output goes to build-release/build.log, whose end is shown when one fails.
release_logged() {  # release_logged WHAT COMMAND...
    logged "$RELEASE" "$@"
}
release_build() {  # release_build WHAT PRESET [OPTION...]: configured and built in the export
    local what=$1 preset=$2; shift 2
    release_logged "building $what" release_env "$RELEASE/source" \
        sh -c 'cmake --preset "$0" "$@" && cmake --build --preset "$0" --parallel "$(nproc)"' "$preset" "$@" || exit 1
}
release_pack() {  # release_pack SOURCE OUT VERSION
    local source=$1 out=$2 version=$3 tree
    for tree in build build-arm64; do release_env "$source/$tree" cpack -G DEB || return 1; done
    release_env "$source/build-windows" cpack -G ZIP || return 1
    mv "$source"/build/ostrel-lab_*.deb "$source"/build-arm64/ostrel-lab_*.deb \
       "$source"/build-windows/ostrel-lab-*-windows-x64.zip "$out/" || return 1
    # The site as one folder, its files in name order with the commit's time, root's, gzip
    # without a name or time.
    local site=ostrel-lab-$version-web
    release_env "$source/build-web" tar --transform "s|^site|$site|" --sort=name --mtime="@$SOURCE_DATE_EPOCH" \
        --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --format=gnu -cf - site |
        release_env . gzip -9n >"$out/$site.tar.gz"
}

# Both packages are clean for lintian, and each program shipped is hardened as Debian's own,
# seen in the lab's objects and in the program itself (tools/release/check-hardening, whose
# report, with what no program built here can carry, goes to the log).
release_checks() {  # release_checks OUT VERSION
    local deb arch tree shipped=$RELEASE/shipped
    for deb in "$1"/ostrel-lab_"$2"_*.deb; do
        lintian --fail-on error,warning "$deb" >>"$RELEASE/build.log" 2>&1 ||
            { say "lintian finds fault with $deb (log: $RELEASE/build.log)"; exit 1; }
    done
    rm -rf "$shipped" && mkdir -p "$shipped/windows"
    for arch in amd64 arm64; do
        tree=build-arm64 && [[ $arch == arm64 ]] || tree=build
        dpkg-deb --fsys-tarfile "$1/ostrel-lab_$2_$arch.deb" | tar -xO ./usr/bin/ostrel-lab >"$shipped/$arch"
        release_hardened "$shipped/$arch" "$RELEASE/source/$tree"
    done
    (cd "$shipped/windows" && cmake -E tar xf "$ROOT/$1/ostrel-lab-$2-windows-x64.zip")
    release_hardened "$shipped"/windows/*/ostrel-lab.exe "$RELEASE/source/build-windows" \
        "$RELEASE"/source/build-windows/freeglut/lib/lib*.a
    rm -rf "$shipped"
}
release_hardened() {  # release_hardened PROGRAM TREE [LIBRARY...]
    tools/release/check-hardening "$1" "$2/lab-objects.txt" "${@:3}" >>"$RELEASE/build.log" 2>&1 ||
        { say "a protection is missing from the release's ${2##*/}/ program (tools/release/check-hardening; its report: $RELEASE/build.log)"; exit 1; }
}

# ---- BUILDINFO: the packages that put bytes into the downloads, found from what the build
# runs and reads (dpkg -S of each file, after its links), as Debian's .buildinfo names its
# build dependencies.
RELEASE_FILES=()  # what release_tools found: the programs, their libraries, the compilers' parts
# The programs the release runs, by the names the build finds them by (the tools' own
# parts, libraries and headers are found from these).
RELEASE_PROGRAMS=(cmake cpack make c++ strip aarch64-linux-gnu-g++ aarch64-linux-gnu-strip
    x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres x86_64-w64-mingw32-strip
    emcc em-config python3 gzip tar dpkg-deb dpkg-shlibdeps perl apt-get)
release_tools() {
    local program path missing=() compiler part
    # The posix thread model's libstdc++ has std::mutex and links winpthreads in: the .exe is
    # built with that compiler alone, never with the win32 one that may share its plain name.
    release_env . sh -c 'command -v x86_64-w64-mingw32-g++-posix' >/dev/null ||
        { say "missing MinGW-w64's posix-threads g++ (x86_64-w64-mingw32-g++-posix); only it builds the release's .exe, not the win32 one: install it with: sudo apt-get install g++-mingw-w64-x86-64-posix"; exit 1; }
    [[ -d .git || -f .git ]] && RELEASE_PROGRAMS+=(git)
    for program in "${RELEASE_PROGRAMS[@]}"; do
        path=$(release_env . sh -c 'command -v "$0"' "$program") || { missing+=("$program"); continue; }
        RELEASE_FILES+=("$path")
    done
    path=$(release_env . sh -c 'command -v magick || command -v convert') && RELEASE_FILES+=("$path") || missing+=(convert)
    ((${#missing[@]} == 0)) || { say "missing $(printf '%s, ' "${missing[@]}" | sed 's/, $//'), which the release runs: install what brings them (./lab release installs them itself as root or with sudo)"; exit 1; }
    # What each compiler runs and links in whatever the sources, asked of the compiler itself.
    for compiler in c++ aarch64-linux-gnu-g++ x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix; do
        for part in cc1 cc1plus collect2 as ld; do
            path=$(release_env . "$compiler" -print-prog-name="$part")
            [[ $path == /* ]] || path=$(command -v "$path") || continue
            [[ ! -e $path ]] || RELEASE_FILES+=("$path")
        done
        for part in libstdc++.so libstdc++.a libc.so crt1.o crti.o crtbeginS.o libgcc.a libgcc_s.so libgcc_eh.a \
                    crt2.o libmingw32.a libmingwex.a libmsvcrt.a libwinpthread.a libssp.a libkernel32.a; do
            path=$(release_env . "$compiler" -print-file-name="$part")
            [[ $path != /* ]] || RELEASE_FILES+=("$path")
        done
    done
    # emscripten's compiler, linker and optimiser, and the node that runs its JavaScript, as its configuration names them.
    local llvm suffix
    llvm=$(release_env . em-config LLVM_ROOT 2>/dev/null) && suffix=$(release_env . em-config LLVM_ADD_VERSION 2>/dev/null) || suffix=
    for program in clang wasm-ld llvm-ar llvm-nm; do
        [[ ! -e $llvm/$program${suffix:+-$suffix} ]] || RELEASE_FILES+=("$llvm/$program${suffix:+-$suffix}")
    done
    path=$(release_env . em-config BINARYEN_ROOT 2>/dev/null) && [[ -e $path/bin/wasm-opt ]] && RELEASE_FILES+=("$path/bin/wasm-opt")
    path=$(release_env . em-config NODE_JS 2>/dev/null | tr -d "[]'") && [[ -e $path ]] && RELEASE_FILES+=("$path")
    local libraries=() file
    for file in "${RELEASE_FILES[@]}"; do
        file=$(realpath "$file")
        [[ $(head -c4 "$file" 2>/dev/null | od -An -c | tr -d ' ') == 177ELF ]] || continue
        mapfile -t -O "${#libraries[@]}" libraries < <(ldd "$file" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 }')
    done
    RELEASE_FILES+=("${libraries[@]}")
}

release_info() {  # release_info COMMIT EPOCH VERSION SOURCE
    local source=$4 files=("${RELEASE_FILES[@]}") tree line path owned=() foreign=() freeglut
    echo "Ostrel Lab $3"
    echo "commit: $1"
    echo "SOURCE_DATE_EPOCH: $2 ($(date -u -d "@$2" '+%Y-%m-%d %H:%M:%S UTC'))"
    echo "built on: $(. /etc/os-release && echo "$PRETTY_NAME"), $(dpkg --print-architecture)"
    # Each tree's headers (the compilers' dependency files) and the libraries its links name.
    for tree in "$source"/build*/; do
        mapfile -t -O "${#files[@]}" files < <(find "$tree/CMakeFiles" -name '*.o.d' -exec cat {} + 2>/dev/null |
            tr ' \\' '\n\n' | sed -n 's/:$//; /^\//p' | LC_ALL=C sort -u)
        mapfile -t -O "${#files[@]}" files < <(find "$tree/CMakeFiles" -name link.txt -exec cat {} + 2>/dev/null |
            tr ' ' '\n' | sed -n '/^\/.*[.]\(so\|a\|o\)$/p' | LC_ALL=C sort -u)
    done
    freeglut=$(sed -n '1s/^\([^ ]*\) (\([^)]*\)).*/\1=\2/p' "$source"/build-windows/freeglut-source/freeglut-*/debian/changelog 2>/dev/null) || true
    [[ -z $freeglut ]] || echo "freeglut for Windows: built from Debian's source package $freeglut"
    # One dpkg-query for them all; dpkg knows a file by the path its package ships, before or
    # after /usr was merged, so a path it knows not is asked again without /usr.
    local real=() unknown=() owners=() known
    mapfile -t real < <(printf '%s\n' "${files[@]}" | grep -vF "$ROOT/" | xargs -d '\n' realpath -qe -- | grep -vF "$ROOT/" | LC_ALL=C sort -u)
    mapfile -t owners < <(dpkg-query -S "${real[@]}" 2>/dev/null | grep -v '^diversion')
    known=$(printf '%s\n' "${owners[@]}" | sed 's/^.*: //')
    for path in "${real[@]}"; do
        grep -qxF -- "$path" <<<"$known" || unknown+=("$path")
    done
    if ((${#unknown[@]})); then
        mapfile -t -O "${#owners[@]}" owners < <(printf '%s\n' "${unknown[@]}" | sed -n 's|^/usr/|/|p' |
            xargs -d '\n' -r dpkg-query -S 2>/dev/null | grep -v '^diversion')
        known=$(printf '%s\n' "${owners[@]}" | sed 's/^.*: //')
        for path in "${unknown[@]}"; do
            grep -qxF -- "$path" <<<"$known" || grep -qxF -- "${path#/usr}" <<<"$known" || foreign+=("$path")
        done
    fi
    mapfile -t owned < <(printf '%s\n' "${owners[@]}" | sed 's/: .*//; s/, /\n/g' | LC_ALL=C sort -u)
    echo "Installed-Build-Depends: the packages whose files the build ran, read or linked in, and their versions:"
    dpkg-query -W -f=' ${binary:Package} (= ${Version})\n' "${owned[@]}" | LC_ALL=C sort -u || true
    ((${#foreign[@]} == 0)) && return 0
    echo "Not from a Debian package:"
    for path in "${foreign[@]}"; do
        line=
        [[ ! -x $path || -d $path ]] || line=$("$path" --version 2>/dev/null | head -n1) || true
        echo " $path${line:+ ($line)}"
    done
}
