#!/usr/bin/env bash
# Mutation check of the guards that protect the user: applies each one-line
# mutant below to a scratch copy of this working tree (uncommitted changes
# included), builds only the test targets it affects, runs the tests that
# should notice, and reports which mutant no test caught.
#
#   scripts/mutate.sh            every mutant
#   scripts/mutate.sh NAME...    only these
#   scripts/mutate.sh --list     the mutants and where their lines are
#   --keep                       leave the scratch copy (its path is printed)
#
# Exit 0: every applicable mutant was caught; 1: one survived; 2: the list is
# out of date (a line found twice, a mutant that does not build, no test run)
# or the unmutated tests fail. A mutant whose original line is not found is
# reported "not applicable" and does not fail the run.
# KORVEL_MUTATE_JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"

names=() froms=() tos=() targets=() tests=()
# mutant NAME "BUILD TARGETS" CTEST_REGEX ORIGINAL MUTATED
# ORIGINAL is exact text that must occur on exactly one line of the product
# sources (found by content, wherever the file has moved); MUTATED replaces it.
mutant() {
    names+=("$1") targets+=("$2") tests+=("$3") froms+=("$4") tos+=("$5")
}

# --- calibration memory: page writes refused unless asked for --------------
mutant cal-refusal-inverted link_tests '^Bridge' \
    'if (IsCalibrationPageWrite(command) && !options_.allowCalibrationWrites) {' \
    'if (IsCalibrationPageWrite(command) && options_.allowCalibrationWrites) {'
mutant cal-write-opcode link_tests '^Bridge' \
    'command[0] == kCommandLead && command[1] == kWriteCalPageCommand;' \
    'command[0] == kCommandLead && command[1] == kSetFrequencyCommand;'
mutant cal-buttons-enabled ui_tests '^StartupTest\.' \
    'if (options_.enableCalibration) {' \
    'if (!options_.enableCalibration) {'

# --- frame lengths: only whole instrument commands reach the instrument -----
mutant tune-longer link_tests '^Bridge' \
    'return length == kSetFrequencyLength;' \
    'return length >= kSetFrequencyLength;'
mutant read-longer link_tests '^Bridge' \
    'return length == kReadDetectorsLength;' \
    'return length >= kReadDetectorsLength;'
mutant page-write-shorter link_tests '^Bridge' \
    'return length == kWriteCalPageLength;' \
    'return length <= kWriteCalPageLength;'
mutant frame-cap-off-by-header link_tests '^Bridge' \
    '} else if (length > kLargestCommand) {' \
    '} else if (length > kLargestCommand + kHeader) {'

# --- listening only where this machine's user alone reaches it --------------
mutant loopback-as-unspecified link_tests '^Bridge' \
    'if (!address.is_loopback()) {' \
    'if (address.is_unspecified()) {'
mutant allow-remote-inverted link_tests '^Bridge' \
    'if (!c.allowRemote && !IsLocalOnly(c.listen, error)) {' \
    'if (c.allowRemote && !IsLocalOnly(c.listen, error)) {'
mutant remote-warning-dropped link_tests '^Bridge' \
    'if (options.allowRemote && !bridge::IsLocalOnly(options.listen, error)) {' \
    'if (false && !bridge::IsLocalOnly(options.listen, error)) {'

# --- the Unix socket's mode 0600 ---------------------------------------------
mutant socket-mode-group link_tests '^(Bridge|Stream)' \
    'std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,' \
    'std::filesystem::perms::owner_all | std::filesystem::perms::group_all,'
mutant socket-mode-added link_tests '^(Bridge|Stream)' \
    'std::filesystem::perm_options::replace, ec);' \
    'std::filesystem::perm_options::add, ec);'
mutant bridge-socket-not-owner-only link_tests '^(Bridge|Stream)' \
    'if (!net::Listen(endpoint, wire_->acceptor, error, true)) {' \
    'if (!net::Listen(endpoint, wire_->acceptor, error, false)) {'

# --- --output and exports: replaced whole or not at all ----------------------
mutant rename-after-failed-write 'engine_tests link_tests' '^(AtomicFile|SweepOutput)' \
    'if (error == 0 && rename(temp.c_str(), path.c_str()) != 0)' \
    'if (rename(temp.c_str(), path.c_str()) != 0)'
mutant temporary-left-behind 'engine_tests link_tests' '^(AtomicFile|SweepOutput)' \
    'unlink(temp.c_str());' \
    '(void)temp;'
mutant replaced-file-loses-its-mode 'engine_tests link_tests' '^(AtomicFile|SweepOutput)' \
    'fchmod(fd, old.st_mode & 07777);' \
    '(void)old;'

# --- --record refused onto the program's own input ---------------------------
mutant record-onto-input 'record_tests korvel-sweep' '^SweepRecordReplay\.TheRecordingNeverTakes' \
    'if (!other.path.empty() && SameFile(recordPath, other.path)) {' \
    'if (false && !other.path.empty() && SameFile(recordPath, other.path)) {'
mutant record-same-file-by-name-only 'record_tests korvel-sweep' '^SweepRecordReplay\.TheRecordingNeverTakes' \
    'const bool same = fs::equivalent(a, b, ec);' \
    'const bool same = false;'

keep=0 list=0 selected=()
for arg in "$@"; do
    case "$arg" in
        --keep) keep=1 ;;
        --list) list=1 ;;
        -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "mutate.sh: unknown option $arg" >&2; exit 64 ;;
        *) selected+=("$arg") ;;
    esac
done
for want in "${selected[@]}"; do
    printf '%s\n' "${names[@]}" | grep -qxF -- "$want" ||
        { echo "mutate.sh: no mutant named $want" >&2; exit 64; }
done

# Where each mutant's line is: "file" or a reason it cannot be applied.
locate() {
    local hits
    hits=$(git -C "$repo" grep -n -F --untracked -e "$1" -- '*.cpp' '*.h' \
        ':!tests/' ':!fuzz/' ':!bench/' || true)
    if [ -z "$hits" ]; then
        echo "not applicable: line not found"
    elif [ "$(wc -l <<<"$hits")" -gt 1 ]; then
        echo "ambiguous: $(wc -l <<<"$hits") lines, $(cut -d: -f1,2 <<<"$hits" | head -n 3 | paste -sd' ') ..."
    else
        cut -d: -f1 <<<"$hits"
    fi
}

run=() where=()
for i in "${!names[@]}"; do
    if [ ${#selected[@]} -gt 0 ] && ! printf '%s\n' "${selected[@]}" | grep -qxF -- "${names[i]}"; then
        continue
    fi
    run+=("$i")
    where[i]=$(locate "${froms[i]}")
done
if [ "$list" = 1 ]; then
    for i in "${run[@]}"; do
        printf '%-30s %s\n    - %s\n    + %s\n' "${names[i]}" "${where[i]}" "${froms[i]}" "${tos[i]}"
    done
    exit 0
fi

command -v ccache >/dev/null || scripts/setup.sh mutate
scripts/setup.sh base

survived=0 broken=0
applicable=() build_targets=() regexes=()
for i in "${run[@]}"; do
    case "${where[i]}" in
        "not applicable"*) ;;
        ambiguous*) broken=1 ;;
        *) applicable+=("$i"); build_targets+=(${targets[i]}); regexes+=("${tests[i]}") ;;
    esac
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvel-mutate.XXXXXX")
if [ "$keep" = 1 ]; then
    echo "mutate.sh: scratch copy in $scratch"
else
    trap 'rm -rf "$scratch"' EXIT
fi
src="$scratch/src" bld="$scratch/build" log="$scratch/log"
jobs="${KORVEL_MUTATE_JOBS:-2}"
# The copy's paths count as relative for ccache, so later runs in another
# scratch folder reuse the compiled objects.
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
# Test files and sockets made under a known umask: the socket-mode tests tell
# 0600 from what a missing chmod would leave.
umask 022
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"

build() {
    nice cmake --build "$bld" -j "$jobs" --target "$@" >>"$log" 2>&1
}
# Runs the tests matching $1; prints the names of those that failed.
failing() {
    local out
    out=$(ctest --test-dir "$bld" -R "$1" -E NOT_BUILT --timeout 120 2>&1 || true)
    if grep -q "No tests were found" <<<"$out"; then
        echo "(no tests match $1)"
        return
    fi
    sed -n '/The following tests FAILED:/,$p' <<<"$out" |
        sed -nE 's/^[[:space:]]+[0-9]+ - ([^ ]+) \(.*/\1/p'
}

if [ ${#applicable[@]} -gt 0 ]; then
    mapfile -t unique < <(printf '%s\n' "${build_targets[@]}" | sort -u)
    echo "mutate.sh: copying the working tree and building ${unique[*]} (log: $log)"
    mkdir -p "$src"
    # Tracked files as they are now (deleted ones left out) and new ones.
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ ! -e "$f" ] || printf '%s\0' "$f"; done |
        tar --null -T - -cf - | tar -C "$src" -xf -
    cmake -S "$src" -B "$bld" -DKORVEL_BUILD_BENCH=OFF \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >>"$log" 2>&1
    if ! build "${unique[@]}"; then
        tail -n 20 "$log" >&2
        echo "mutate.sh: the unmutated copy does not build" >&2
        exit 2
    fi
    baseline=$(failing "$(IFS='|'; echo "${regexes[*]}")")
    if [ -n "$baseline" ]; then
        echo "mutate.sh: without any mutant these fail already: $baseline" >&2
        exit 2
    fi
fi

results=()
for i in "${run[@]}"; do
    name=${names[i]} file=${where[i]}
    case "$file" in
        "not applicable"* | ambiguous*) results+=("$(printf '%-30s %s' "$name" "$file")"); continue ;;
    esac
    original=$(cat "$src/$file"; printf x)
    original=${original%x}
    printf '%s' "${original/"${froms[i]}"/"${tos[i]}"}" >"$src/$file"
    if ! build ${targets[i]}; then
        verdict="does not build: $(grep 'error' "$log" | tail -n 1)"
        broken=1
    else
        caught=$(failing "${tests[i]}")
        if [ -z "$caught" ]; then
            verdict="SURVIVED"
            survived=1
        elif [[ "$caught" == "(no tests"* ]]; then
            verdict="$caught"
            broken=1
        else
            verdict="caught by $(paste -sd' ' <<<"$caught")"
        fi
    fi
    # A fresh write (a newer time stamp), so the next build recompiles it.
    printf '%s' "$original" >"$src/$file"
    results+=("$(printf '%-30s %s' "$name" "$verdict")")
    echo "${results[-1]}"
done

echo
echo "mutate.sh: ${#run[@]} mutants"
printf '  %s\n' "${results[@]}"
if printf '%s\n' "${results[@]}" | grep -q "not applicable"; then
    echo "mutate.sh: a guard whose line has changed needs its row updated, or it goes unchecked"
fi
if [ "$survived" = 1 ]; then
    echo "mutate.sh: a mutant survived: no test guards its line" >&2
    exit 1
fi
[ "$broken" = 0 ] || echo "mutate.sh: the list needs updating (see above)" >&2
exit $((broken * 2))
