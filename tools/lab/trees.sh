# ./lab's build folders: each one's preset, its lock, its configure and build (quiet unless
# slow or failing), and the X server the lab and the tests draw on. Sourced by ./lab.

# One ./lab at a time per build folder: each command locks the folders it uses until it
# ends, always in this order, so that two commands never wait for each other.
TREES=(build build-asan build-fuzz build-web build-windows)
declare -A PRESETS=([build]=default [build-asan]=asan [build-fuzz]=fuzz [build-web]=web [build-windows]=windows)
LOCK=.lab-lock
LOCKS=()  # the open lock files
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

# Runs COMMAND; while it runs, a line every 30 s saying what and for how long (ctest's own
# lines say which test). Quick steps say nothing. COMMAND runs without the lock files open:
# nothing it leaves running (a stray lab or browser) keeps them locked after ./lab ends.
TICK=30
progress() {  # progress WHAT COMMAND...
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

# Each build folder is configured and built through its preset in CMakePresets.json, as an
# IDE or a plain cmake --preset NAME would; the browser's through emcmake, whose JavaScript
# modules Debian keeps where only Debian's node looks. The output goes to DIR/build.log.
# A new tree leaves the tests out (and GoogleTest with them) unless the options ask for
# them; a tree configured before keeps its setting.
configure_tree() {  # configure_tree DIR [CMAKE-OPTION...]; DIR locked
    local dir=$1; shift
    local command=(cmake --preset "${PRESETS[$dir]}") testing=()
    [[ -e $dir/CMakeCache.txt || " $* " == *" -DBUILD_TESTING="* ]] || testing=(-DBUILD_TESTING=OFF)
    [[ $dir != build-web ]] || command=(env NODE_PATH=/usr/share/nodejs emcmake "${command[@]}")
    : >"$dir/build.log"
    logged "$dir" "configuring $dir/" "${command[@]}" "${testing[@]}" "$@"
}
build_tree() {  # build_tree DIR [TARGET...]: all of it without a TARGET
    local dir=$1; shift
    local targets=() environment=()
    (($#)) && targets=(--target "$@")
    [[ $dir != build-web ]] || environment=(NODE_PATH=/usr/share/nodejs)
    logged "$dir" "building $dir/" env "${environment[@]}" \
        cmake --build --preset "${PRESETS[$dir]}" --parallel "$(nproc)" "${targets[@]}"
}
logged() {  # logged DIR WHAT COMMAND...: into DIR/build.log; on failure, its end and where it is
    local dir=$1 what=$2; shift 2
    progress "$what" appended "$dir/build.log" "$@" && return 0
    tail -n 40 "$dir/build.log" >&2 2>/dev/null || true
    say "build of $dir failed (whole log: $dir/build.log)"
    return 1
}
appended() { local log=$1; shift; "$@" >>"$log" 2>&1; }  # appended LOG COMMAND...
build() {  # build DIR [TARGET...]: configured, then built; a failure ends ./lab
    configure_tree "$1" && build_tree "$@" || exit 1
}

# cpack in a build folder, its log beside it: prints the package's path.
cpack_in() {  # cpack_in DIR GENERATOR
    local log=$1/cpack.log
    (cd "$1" && cpack -G "$2") >"$log" 2>&1 || { cat "$log" >&2; say "cpack failed (log: $log)"; return 1; }
    sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$log"
}

# The X server picks a display no other is using and writes its number once it is up.
XVFB_PID=
start_xvfb() {
    local numbered n
    numbered=$(mktemp)
    TEMPS+=("$numbered")
    (without_locks Xvfb -displayfd 3 -screen 0 2048x1600x24 -nolisten tcp 3>"$numbered" >/dev/null 2>&1) &
    XVFB_PID=$!
    for _ in $(seq 300); do
        if read -r n <"$numbered" && [[ $n =~ ^[0-9]+$ ]]; then
            export DISPLAY=":$n"
            xdpyinfo >/dev/null 2>&1 && return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    say "cannot start Xvfb"
    exit 1
}
stop_xvfb() { [[ -z $XVFB_PID ]] || kill "$XVFB_PID" 2>/dev/null || true; }
