#!/usr/bin/env bash
# Checks that every C++ source is formatted with the project's .clang-format and that
# clang-tidy, with the project's .clang-tidy, finds nothing. Needs a configured build/ for
# its compile_commands.json (scripts/run-tests.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format clang-tidy
mapfile -t sources < <(git ls-files -co --exclude-standard '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files formatted"
[ -f build/compile_commands.json ] ||
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# clang-tidy reads the code that ships: the programs and their libraries. The tests and the
# benchmarks are held to the compiler's warnings and run under the sanitizers, and leaving
# them out spares CI the time clang-tidy spends in GoogleTest's headers. The fuzz
# targets are built by clang alone and have no entry in this build's database.
mapfile -t units < <(printf '%s\n' "${sources[@]}" | grep '\.cpp$' | grep -v -E '^(fuzz|tests|bench)/')
report=$(mktemp)
trap 'rm -f "$report"' EXIT
printf '%s\n' "${units[@]}" |
    xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet --warnings-as-errors='*' \
        >"$report" 2>/dev/null || true
if grep -E "(warning|error):" "$report"; then
    echo "clang-tidy: findings above"
    exit 1
fi
echo "clang-tidy: ${#units[@]} files clean"
