# ./lab's build folders: each one's preset, its lock, its configure and build (quiet unless
# slow or failing), cpack, and the X server the lab draws on without a display. Sourced by ./lab.

# ---- this file's state
TREES=(build build-asan build-fuzz build-web build-windows)  # also the order locks are taken in
declare -A PRESETS=([build]=default [build-asan]=asan [build-fuzz]=fuzz [build-web]=web [build-windows]=windows)
LOCK=.lab-lock
LOCKS=()          # the open lock files
TICK=30           # seconds between the lines saying a slow step is still going
DISPLAY_FILE=     # the X server of ./lab's own, when it started one

# One ./lab at a time per build folder: each command locks the folders it uses until it
# ends, always in TREES' order, so that two commands never wait for each other.
lock_trees() {  # lock_trees DIR...
    local dir fd err
    for dir in "${TREES[@]}"; do
        [[ " $* " == *" $dir "* ]] || continue
        err=$(mkdir -p "$dir" 2>&1) || { say "cannot make the build folder $dir/: ${err##*: }"; exit 1; }
        err=$( { : >>"$dir/$LOCK"; } 2>&1) || { say "cannot write in the build folder $dir/: ${err##*: }"; exit 1; }
        exec {fd}>>"$dir/$LOCK"
        flock -n "$fd" || { say "waiting for another ./lab using $dir/"; flock "$fd"; }
        LOCKS+=("$fd")
    done
}
unlock_trees() { local fd; for fd in "${LOCKS[@]}"; do exec {fd}>&-; done; LOCKS=(); }
# What outlives ./lab's own work (the X server, the lab, the web server) holds no lock.
without_locks() { unlock_trees; exec "$@"; }

# Runs COMMAND; while it runs, a line every TICK s saying what and for how long (ctest's own
# lines say which test). Quick steps say nothing. COMMAND runs without the lock files open:
# nothing it leaves running (a stray lab or browser) keeps them locked after ./lab ends.
with_progress() {  # with_progress WHAT COMMAND...
    local what=$1; shift
    ( unlock_trees  # nor does the ticker, whose sleep may outlive it by a second
      local start=$SECONDS last=$SECONDS
      while sleep 1 && kill -0 $$ 2>/dev/null; do
          ((SECONDS - last >= TICK)) || continue
          last=$SECONDS
          say "$what, $((SECONDS - start)) s so far"
      done ) &
    local ticker=$! status=0
    (unlock_trees; "$@") || status=$?
    kill "$ticker" 2>/dev/null || true
    wait "$ticker" 2>/dev/null || true
    return "$status"
}

# Each build folder is made from its preset in CMakePresets.json, as an IDE or a plain
# cmake --preset NAME would; one made before keeps its cache (a build type set there, its
# generator), given only the options asked for. A new tree leaves the tests out (and
# GoogleTest with them) unless the options ask for them. The output goes to DIR/build.log.
configure_tree() {  # configure_tree DIR [CMAKE-OPTION...]; DIR locked
    local dir=$1; shift
    refuse_multi_config "$dir"
    : >"$dir/build.log"
    if [[ -e $dir/CMakeCache.txt ]]; then
        (($# == 0)) || logged "$dir" "configuring $dir/" cmake -B "$dir" "$@"
        return
    fi
    local testing=()
    [[ " $* " == *" -DBUILD_TESTING="* ]] || testing=(-DBUILD_TESTING=OFF)
    logged "$dir" "configuring $dir/" cmake --preset "${PRESETS[$dir]}" "${testing[@]}" "$@"
}
# ./lab runs what it builds from the tree itself, where a multi-configuration generator
# puts nothing: such a tree is refused before it is made.
refuse_multi_config() {  # refuse_multi_config DIR
    local generator=${CMAKE_GENERATOR:-}
    [[ ! -e $1/CMakeCache.txt ]] || generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$1/CMakeCache.txt")
    [[ $generator != @(*Multi-Config*|Visual Studio*|Xcode) ]] ||
        { say "the generator \"$generator\" builds several configurations in one tree; ./lab needs one with a single configuration, as Ninja or Unix Makefiles (unset CMAKE_GENERATOR, or remove $1/)"; exit 1; }
}
build_tree() {  # build_tree DIR [TARGET...]: all of it without a TARGET
    local dir=$1; shift
    local targets=()
    (($#)) && targets=(--target "$@")
    logged "$dir" "building $dir/" cmake --build --preset "${PRESETS[$dir]}" --parallel "$(nproc)" "${targets[@]}"
}
logged() {  # logged DIR WHAT COMMAND...: into DIR/build.log; on failure, its end and where it is
    local dir=$1 what=$2; shift 2
    with_progress "$what" appended "$dir/build.log" "$@" && return 0
    tail -n 40 "$dir/build.log" >&2 2>/dev/null || true
    say "build of $dir failed (whole log: $dir/build.log)"
    return 1
}
appended() { local log=$1; shift; "$@" >>"$log" 2>&1; }  # appended LOG COMMAND...
configure_and_build() {  # configure_and_build DIR [TARGET...]: a failure ends ./lab
    configure_tree "$1" && build_tree "$@" || exit 1
}

# cpack in a build folder, its log beside it: prints the package's path.
cpack_in() {  # cpack_in DIR GENERATOR
    local log=$1/cpack.log
    (cd "$1" && cpack -G "$2") >"$log" 2>&1 || { cat "$log" >&2; say "cpack failed (log: $log)"; return 1; }
    sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$log"
}

# The X server the tests use too (tools/x/display), on a display no other is using; it ends
# with ./lab, and holds no lock.
start_display() {
    DISPLAY_FILE=$(mktemp)
    TEMPS+=("$DISPLAY_FILE")
    (unlock_trees; DISPLAY_OWNER=$$ "$ROOT/tools/x/display" start "$DISPLAY_FILE" >/dev/null) || { say "cannot start Xvfb"; exit 1; }
    local n
    read -r n _ <"$DISPLAY_FILE"
    export DISPLAY=":$n"
}
stop_display() { [[ -z $DISPLAY_FILE ]] || "$ROOT/tools/x/display" stop "$DISPLAY_FILE"; }
