# ./lab test: each tree configured and built through its preset, then its test preset run
# (ctest starts the X server and the steps that build what each test starts); the end names
# each tree's failures, read from ctest's JUnit report. Sourced by ./lab.

# ---- this file's state
FAILURES=()  # one line per tree that failed: WHERE: WHAT (log: FILE)
# The groups of the other trees, and the tree each is in.
declare -A GROUP_TREES=([browser]=build-web [fuzz]=build-fuzz [windows-tests]=build-windows)
TEST_USAGE="usage: ./lab test [GROUP...]
  without a GROUP: builds build/, build-asan/, build-fuzz/, build-web/, build-windows/ and
                   runs every test
  GROUP: a test of build/ by its name, as layers, gl-tests, e2e-tests, install-tests,
         lab-commands or a GoogleTest case (tga-tests.ShippedImages.DecodeToTheirSizesAndKinds);
         browser (the browser tests); fuzz; windows-tests
  GROUPs run without the sanitizers, with only what they start built"

cmd_test() {
    local name
    for name in "$@"; do
        [[ $name != @(-h|--help) ]] || { echo "$TEST_USAGE"; exit 0; }
        [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9_.-]*$ ]] || usage_error "$TEST_USAGE"
    done
    install_needs "${PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGING[@]}"
    (($# == 0)) || test_groups "$@"
    install_needs "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}" "${BROWSER_TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" \
        "${WINDOWS_TEST_PACKAGES[@]}"
    install_release_test_needs
    lock_trees "${TREES[@]}"
    local dir
    for dir in "${TREES[@]}"; do
        [[ -n ${PRESETS[$dir]:-} ]] || continue  # the release's folder has no tests of its own
        configure_tree "$dir" -DBUILD_TESTING=ON && build_tree "$dir" ||
            { FAILURES+=("$dir/: the build (log: $dir/build.log)"); continue; }
        say "tests in $dir/: $(tree_kind "$dir")"
        tests_in "$dir" || true
    done
    report_tests
}
# The release group builds two whole releases and runs the arm64 program under qemu-user;
# no test installs anything (cmake/release-tests.cmake forbids it), so what it needs is
# installed here, before ctest: the release's own needs with the arm64 architecture
# (tools/lab/release.sh), the tests' own, and qemu-user's handler for arm64 programs.
install_release_test_needs() {
    local p missing=0
    for p in "${PACKAGES[@]}" "${PACKAGING[@]}" "${WINDOWS_PACKAGES[@]}" "${WEB_PACKAGES[@]}" "${ARM64_PACKAGES[@]}" \
             "${RELEASE_CHECK_PACKAGES[@]}" "${RELEASE_TEST_PACKAGES[@]}"; do
        has_need "$p" || missing=1
    done
    ((missing)) && say "the release tests need the release's tools, arm64's libraries, qemu-user, diffoscope and disorderfs: installing them before the tests"
    install_release_needs
    install_needs "${RELEASE_TEST_PACKAGES[@]}"
    register_arm64_handler
}
# The kernel runs arm64 programs through qemu-user once its handler is registered, as
# qemu-user-static's binfmt file says; the tests name qemu-aarch64-static themselves, so a
# system that refuses the registration (a container) only says so.
register_arm64_handler() {
    local misc=/proc/sys/fs/binfmt_misc conf=/usr/lib/binfmt.d/qemu-aarch64.conf as=()
    [[ ! -e $misc/qemu-aarch64 && -r $conf ]] || return 0
    ((EUID == 0)) || as=(sudo)
    say "registering qemu-user-static's handler for arm64 programs with the kernel ($misc)"
    { [[ -e $misc/register ]] || "${as[@]}" mount -t binfmt_misc binfmt_misc "$misc"; } >/dev/null 2>&1 &&
        "${as[@]}" tee "$misc/register" <"$conf" >/dev/null 2>&1 ||
        say "cannot register it here: arm64 programs run only through qemu-aarch64-static by name, as the tests run them"
}
tree_kind() {  # tree_kind DIR: what its tests try, in a few words
    case $1 in
        build) echo "the program, its tools, package and commands" ;;
        build-asan) echo "the same under AddressSanitizer and UndefinedBehaviorSanitizer" ;;
        build-fuzz) echo "the TGA reader fuzzed" ;;
        build-web) echo "the lab compiled to WebAssembly, in Chromium" ;;
        build-windows) echo "the lab for Windows, under Wine" ;;
    esac
}

# The groups named, each in the tree that holds it; ctest adds the steps they need. A name
# no test of build/ has, whole or up to a dot, stops ./lab before any test runs.
test_groups() {
    local name native=() trees=() dir
    for name in "$@"; do
        if [[ -n ${GROUP_TREES[$name]:-} ]]; then trees+=("${GROUP_TREES[$name]}")
        else native+=("$name"); fi
    done
    [[ " ${trees[*]} " != *" build-web "* ]] ||
        install_needs "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}" "${BROWSER_TEST_PACKAGES[@]}"
    [[ " ${trees[*]} " != *" build-windows "* ]] || install_needs "${WINDOWS_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}"
    [[ " ${native[*]} " != *" release"[\ .]* ]] || install_release_test_needs
    # build/ too for the others: their tests compare with its programs
    lock_trees build "${trees[@]}"
    if ((${#native[@]})); then
        configure_tree build -DBUILD_TESTING=ON || exit 1
        refuse_unknown_names "${native[@]}"
        tests_in build -R "$(selection "${native[@]}")" || true
    fi
    for dir in "${TREES[@]}"; do
        [[ " ${trees[*]} " == *" $dir "* ]] || continue
        configure_tree "$dir" -DBUILD_TESTING=ON || { FAILURES+=("$dir/: the configure (log: $dir/build.log)"); continue; }
        tests_in "$dir" || true
    done
    report_tests
}
refuse_unknown_names() {  # refuse_unknown_names NAME...
    local name unknown=()
    for name in "$@"; do
        ctest --preset default -N -R "$(selection "$name")" | grep -q '^Total Tests: [1-9]' || unknown+=("$name")
    done
    ((${#unknown[@]} == 0)) && return 0
    say "no test group ${unknown[*]} in build/; the groups: $(printf '%s\n' "${!GROUP_TREES[@]}" | sort | paste -sd ' ')" \
        "$(ctest --preset default --print-labels | sed -n 's/^  //p' | paste -sd ' ')"
    exit 2
}
# ctest's -R for the names: each whole, a program's name taking its GoogleTest cases.
selection() { printf '^(%s)(\\..+)?$' "$(printf '%s\n' "$@" | sed 's/[.]/\\./g' | paste -sd '|')"; }

# DIR's test preset. ctest names each test as it starts it; what a test prints comes as it
# ends. The terminal keeps all of it; the end names the failures and ctest's whole log.
tests_in() {  # tests_in DIR [CTEST-OPTION...]
    local dir=$1; shift
    local junit=$ROOT/$dir/Testing/junit.xml verbose=() failed
    [[ -z ${OSTREL_UPDATE_REFERENCES:-} ]] || verbose=(--verbose)  # so that gl-tests says what it rewrote
    rm -f "$junit"
    with_progress "tests in $dir/" ctest --preset "${PRESETS[$dir]}" --output-junit "$junit" "${verbose[@]}" "$@" &&
        return 0
    failed=$(failures_in "$junit")
    FAILURES+=("$dir/: ${failed:-ctest itself} (log: $dir/Testing/Temporary/LastTest.log)")
    return 1
}
# The tests that failed, and those that did not run for a failed step, from ctest's report.
failures_in() {  # failures_in JUNIT
    [[ -e $1 ]] || return 0
    awk 'match($0, /<testcase name="[^"]*"/) {
             name = substr($0, RSTART + 16, RLENGTH - 17)
             if ($0 ~ /status="fail"/) failed = failed (failed ? ", " : "") name
             if ($0 ~ /status="notrun"/) notrun = notrun (notrun ? ", " : "") name
         }
         END { printf "%s%s", failed, notrun ? (failed ? "; " : "") "not run: " notrun : "" }' "$1"
}

report_tests() {
    local line
    for line in "${FAILURES[@]}"; do say "failed in $line"; done
    ((${#FAILURES[@]})) || { echo "lab: all tests passed"; exit 0; }
    echo "lab: TESTS FAILED"
    exit 1
}
