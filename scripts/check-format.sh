#!/usr/bin/env bash
# Fails when a C++ file of the tree is not formatted by the tree's
# .clang-format, and prints the command that formats them.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
    echo "check-format: clang-format is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

unformatted=()
while IFS= read -r file; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files '*.cpp' '*.h')

if [ ${#unformatted[@]} -gt 0 ]; then
    echo "check-format: these files are not formatted by .clang-format:" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    echo "format them with:" >&2
    echo "  clang-format -i ${unformatted[*]}" >&2
    exit 1
fi
echo "check-format: every C++ file is formatted"
