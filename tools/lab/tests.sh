# ./lab test: each tree configured and built through its preset, then its test preset run
# (the steps a test depends on build what it starts); the end names each tree's failures,
# read from ctest's own list of them. Sourced by ./lab.

TEST_USAGE="usage: ./lab test [GROUP...]
  without a GROUP: builds build/, build-asan/, build-fuzz/, build-web/, build-windows/ and
                   runs every test
  GROUP: a test of build/ by its name (build/test-names.txt lists them), as layers,
         gl-tests, e2e-tests, install-tests, lab-commands or a GoogleTest case
         (tga-tests.ShippedImages.DecodeToTheirSizesAndKinds); browser (the browser tests);
         fuzz; windows-tests
  GROUPs run without the sanitizers, with only what they start built"

cmd_test() {
    local name
    for name in "$@"; do
        [[ $name != @(-h|--help) ]] || { echo "$TEST_USAGE"; exit 0; }
        [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9_.-]*$ ]] || usage_error "$TEST_USAGE"
    done
    setup "${TEST_PACKAGES[@]}" "${PACKAGING[@]}"
    (($# == 0)) || test_groups "$@"
    setup_web
    install_missing "${WINDOWS_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}"
    lock_trees "${TREES[@]}"
    say "building build/, build-asan/ (sanitizers) and build-fuzz/"
    local dir
    for dir in build build-asan build-fuzz; do
        configure_tree "$dir" -DBUILD_TESTING=ON && build_tree "$dir" || exit 1
    done
    start_xvfb
    say "tests in build/"
    ctest_in build || true
    say "tests in build-asan/, with AddressSanitizer and UndefinedBehaviorSanitizer"
    ctest_in build-asan || true
    say "browser tests in build-web/ (the lab compiled to WebAssembly, in Chromium)"
    browser_tests || true
    say "fuzzing the TGA decoder in build-fuzz/"
    ctest_in build-fuzz || true
    say "Windows tests in build-windows/ (the lab for Windows, under Wine)"
    windows_tests || true
    finish_tests
}

# The groups named, each in the tree that holds it: build/ for most, build-web/ for the
# browser's, build-fuzz/ for the fuzzer, build-windows/ for Windows'; the last two's
# tests compare with build/, whose programs their first steps build.
test_groups() {
    local name native=() browser= fuzzing= windows= trees=()
    for name in "$@"; do
        case $name in
            browser) browser=1 ;;
            fuzz) fuzzing=1 ;;
            windows-tests) windows=1 ;;
            *) native+=("$name") ;;
        esac
    done
    [[ -z $browser ]] || setup_web
    [[ -z $windows ]] || install_missing "${WINDOWS_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}"
    ((${#native[@]})) || [[ -n $browser$windows ]] && trees+=(build)
    [[ -z $fuzzing ]] || trees+=(build-fuzz)
    [[ -z $browser ]] || trees+=(build-web)
    [[ -z $windows ]] || trees+=(build-windows)
    lock_trees "${trees[@]}"
    if ((${#native[@]})); then
        configure_tree build -DBUILD_TESTING=ON || exit 1
        known_names "${native[@]}"
    fi
    [[ -z $fuzzing ]] || configure_tree build-fuzz || exit 1
    start_xvfb
    ((${#native[@]} == 0)) || ctest_in build --no-tests=error -R "$(selection "${native[@]}")" || true
    [[ -z $browser ]] || browser_tests || true
    [[ -z $fuzzing ]] || ctest_in build-fuzz || true
    [[ -z $windows ]] || windows_tests || true
    finish_tests
}

# A name no test of build/ has, whole or up to a dot, stops ./lab with the groups it knows.
TEST_NAMES=build/test-names.txt  # written by CMake
known_names() {  # known_names NAME...
    local name unknown=()
    for name in "$@"; do
        awk -v n="$name" '$0 == n || index($0, n ".") == 1 { found = 1 } END { exit !found }' "$TEST_NAMES" ||
            unknown+=("$name")
    done
    ((${#unknown[@]} == 0)) && return 0
    say "no test group ${unknown[*]} in build/; the groups: browser fuzz windows-tests" \
        "$(awk -F. '!seen[$1]++ { print $1 }' "$TEST_NAMES" | paste -sd ' ')"
    exit 2
}
# ctest's -R for the names: each whole, a program's name taking its GoogleTest cases.
selection() { printf '^(%s)(\\..+)?$' "$(printf '%s\n' "$@" | sed 's/[.]/\\./g' | paste -sd '|')"; }

# What failed, one line per tree for the end of ./lab test: WHERE: WHAT (log: FILE).
FAILURES=()
failed() { FAILURES+=("$1: $2 (log: $3)"); }

# ctest names each test in its log as it starts it; what it prints comes as each test ends.
# The terminal keeps all of it; the end names the failures and ctest's own whole log.
ctest_in() {  # ctest_in DIR [SELECTION...]: DIR's test preset
    local dir=$1; shift
    local list=$dir/Testing/Temporary/LastTestsFailed.log names verbose=()
    [[ -z ${OSTREL_UPDATE_REFERENCES:-} ]] || verbose=(--verbose)  # so that gl-tests says what it rewrote
    rm -f "$list"
    progress "tests in $dir/" ctest --preset "${PRESETS[$dir]}" "${verbose[@]}" "$@" && return 0
    names=$(sed 's/^[0-9]*://' "$list" 2>/dev/null | paste -sd ' ')
    failed "$dir/" "${names:-ctest itself}" "$dir/Testing/Temporary/LastTest.log"
    return 1
}

# The browser tests write TAP beside the site, where each failed case is a "not ok" line (a
# group's, whose own failure is only its cases', is left out): the end names those cases.
BROWSER_LOG=build-web/browser-tests.tap
browser_tests() {  # build-web/ and build/ locked
    setup_browser || { failed browser "npm ci" "the lines above"; return 1; }
    configure_tree build-web && build_tree build-web ||
        { failed browser "the browser build" build-web/build.log; return 1; }
    rm -f "$BROWSER_LOG"
    ctest_in build-web && return 0
    local names
    names=$(awk '/^ *not ok [0-9]+ - / { sub(/^ *not ok [0-9]+ - /, ""); name[++n] = $0 }
                 /failureType: .subtestsFailed./ { n-- }
                 END { for (i = 1; i <= n; i++) printf "%s%s", (i > 1 ? "; " : ""), name[i] }' "$BROWSER_LOG" 2>/dev/null)
    [[ -z $names ]] || FAILURES[-1]="browser: $names (log: $BROWSER_LOG)"
    return 1
}

# The Windows tree's test runs its zip, and the reader's tests built for Windows, under Wine; a
# step that fails before names its own log.
windows_tests() {  # build-windows/ and build/ locked
    local log
    build_freeglut log && configure_tree build-windows -DBUILD_TESTING=ON && build_tree build-windows ||
        { failed build-windows/ "the Windows build" "${log:-build-windows/build.log}"; return 1; }
    ctest_in build-windows
}

finish_tests() {
    local line
    for line in "${FAILURES[@]}"; do say "failed in $line"; done
    ((${#FAILURES[@]})) || { echo "lab: all tests passed"; exit 0; }
    echo "lab: TESTS FAILED"
    exit 1
}
