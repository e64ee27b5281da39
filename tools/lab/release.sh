# ./lab release: every download of one commit, built from a clean export of it into
# build-release/, byte for byte the same wherever and whenever it is built, with SHA256SUMS.
# Sourced by ./lab, from the repository root (docs/releasing.md).

# Debian's cross toolchain and the arm64 libraries through multiarch (dpkg gains the arm64
# architecture when they are missing).
ARM64_PACKAGES=(crossbuild-essential-arm64 freeglut3-dev:arm64 libglu1-mesa-dev:arm64 libgl1-mesa-dev:arm64)
# lintian and hardening-check (devscripts) check the packages; the tests draw the arm64
# program under qemu-user with Debian's arm64 Mesa, and diffoscope says what differs.
RELEASE_CHECK_PACKAGES=(devscripts lintian)
RELEASE_TEST_PACKAGES=(qemu-user-static libgl1-mesa-dri:arm64 diffoscope)

RELEASE=build-release
TREES+=("$RELEASE")  # locked after the others, as every tree is

RELEASE_USAGE="usage: ./lab release
  builds, from this checkout's commit (which must have no uncommitted changes), into
  $RELEASE/ostrel-lab-<version>/: the Debian packages for amd64 and arm64, the Windows zip,
  the site as a .tar.gz, BUILDINFO (the commit and the tools) and SHA256SUMS, and prints
  that folder's path"

# The files' order, times and modes are fixed where each archive is made (CPack takes the
# commit's time from SOURCE_DATE_EPOCH); the umask is fixed because CPack gives the members
# of a .deb the modes of the files it writes for them.
cmd_release() {
    (($# == 0)) || { [[ $1 == @(-h|--help) ]] && echo "$RELEASE_USAGE" && exit 0; usage_error "$RELEASE_USAGE"; }
    [[ -d .git || -f .git ]] && git rev-parse --verify -q HEAD >/dev/null ||
        { say "a release is built from a git checkout's commit: this is no git checkout"; exit 1; }
    # The arm64 package is cross-built, and the others are built, from amd64 alone.
    [[ $(dpkg --print-architecture 2>/dev/null) == amd64 ]] ||
        { say "a release is built on Debian for amd64 (docs/releasing.md); this is not one"; exit 1; }
    local changes
    changes=$(git status --porcelain --untracked-files=normal | wc -l)
    ((changes == 0)) || { say "the checkout has uncommitted changes ($changes in git status): a release is built from a commit alone: commit or stash them first"; exit 1; }
    install_release_needs
    lock_trees "$RELEASE"
    local commit epoch source=$RELEASE/source
    commit=$(git rev-parse HEAD)
    epoch=$(git log -1 --format=%ct HEAD)
    umask 022
    export SOURCE_DATE_EPOCH=$epoch
    rm -rf "$RELEASE/source" "$RELEASE"/ostrel-lab-*/
    mkdir -p "$source"
    : >"$RELEASE/build.log"
    git archive --format=tar HEAD | tar -x -C "$source"  # the Windows tree builds its freeglut there too
    say "building the release of $commit into $RELEASE/ (a minute or two; its log: $RELEASE/build.log)"
    release_build "the amd64 package" default -DBUILD_TESTING=OFF
    release_build "the arm64 package" arm64
    release_build "the Windows zip" windows -DBUILD_TESTING=OFF
    release_build "the site" web
    local version out
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$source/build/CMakeCache.txt")
    out=$RELEASE/ostrel-lab-$version
    mkdir "$out"
    release_logged "packing the downloads" release_pack "$source" "$out" "$version" || exit 1
    release_checks "$out" "$version"
    release_info "$commit" "$epoch" "$version" >"$out/BUILDINFO"
    (cd "$out" && LC_ALL=C sha256sum -- $(LC_ALL=C ls | grep -vx SHA256SUMS) >SHA256SUMS)
    echo "$ROOT/$out"
}

install_release_needs() {
    local p as=()
    ((EUID == 0)) || as=(sudo)
    for p in "${ARM64_PACKAGES[@]}" "${RELEASE_TEST_PACKAGES[@]}"; do
        [[ $p == *:arm64 ]] && ! has_need "$p" && command -v dpkg >/dev/null || continue
        dpkg --print-foreign-architectures | grep -qx arm64 && break
        say "adding arm64 to dpkg's architectures, for the arm64 libraries (multiarch)"
        "${as[@]}" dpkg --add-architecture arm64 || { say "cannot add the arm64 architecture"; exit 1; }
        break
    done
    install_needs "${PACKAGES[@]}" "${PACKAGING[@]}" "${WINDOWS_PACKAGES[@]}" "${WEB_PACKAGES[@]}" "${ARM64_PACKAGES[@]}" \
        "${RELEASE_CHECK_PACKAGES[@]}" "${RELEASE_TEST_PACKAGES[@]}"
}

# Every step's output goes to build-release/build.log, whose end is shown when one fails.
release_logged() {  # release_logged WHAT COMMAND...
    logged "$RELEASE" "$@"
}
release_build() {  # release_build WHAT PRESET [OPTION...]: configured and built in the export
    local what=$1 preset=$2; shift 2
    release_logged "building $what" env -C "$RELEASE/source" \
        sh -c 'cmake --preset "$0" "$@" && cmake --build --preset "$0" --parallel "$(nproc)"' "$preset" "$@" || exit 1
}
release_pack() {  # release_pack SOURCE OUT VERSION
    local source=$1 out=$2 version=$3 tree
    for tree in build build-arm64; do (cd "$source/$tree" && cpack -G DEB) || return 1; done
    (cd "$source/build-windows" && cpack -G ZIP) || return 1
    mv "$source"/build/ostrel-lab_*.deb "$source"/build-arm64/ostrel-lab_*.deb \
       "$source"/build-windows/ostrel-lab-*-windows-x64.zip "$out/" || return 1
    # The site as one folder, its files in name order with the commit's time, root's, gzip
    # without a name or time.
    local site=ostrel-lab-$version-web
    tar -C "$source/build-web" --transform "s|^site|$site|" --sort=name --mtime="@$SOURCE_DATE_EPOCH" \
        --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --format=gnu -cf - site |
        gzip -9n >"$out/$site.tar.gz"
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

# What a packager needs to build the same bytes again: the commit, its time, and the tools.
RELEASE_TOOLS=(cmake g++ binutils libc6-dev g++-aarch64-linux-gnu binutils-aarch64-linux-gnu
               g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 emscripten dpkg-dev
               freeglut3-dev libglu1-mesa-dev libgl-dev imagemagick)
release_info() {  # release_info COMMIT EPOCH VERSION
    echo "Ostrel Lab $3"
    echo "commit: $1"
    echo "SOURCE_DATE_EPOCH: $2 ($(date -u -d "@$2" '+%Y-%m-%d %H:%M:%S UTC'))"
    echo "built on: $(. /etc/os-release && echo "$PRETTY_NAME"), $(dpkg --print-architecture)"
    echo "with:"
    dpkg-query -W -f='  ${Package}:${Architecture} ${Version}\n' "${RELEASE_TOOLS[@]}" 2>/dev/null | LC_ALL=C sort
}
