#!/usr/bin/env bash
# Holds the tree to its style: every shell script (a .sh file, or a file that starts with a shell's
# #! line) to shellcheck at warning level, every C++ file to .clang-format. Lists what fails and
# exits 1 when anything does. Looks at the files git tracks, and at new ones it does not ignore.
#
#   tools/check-style.sh      (./build.sh check-style installs shellcheck and clang-format first)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

mapfile -t files < <(git ls-files --cached --others --exclude-standard | LC_ALL=C sort -u)
shell=() cxx=()
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    case $f in
    *.cpp | *.h) cxx+=("$f") ;;
    *.sh) shell+=("$f") ;;
    *)
        if head -n 1 -- "$f" | grep -qE '^#!.*[/ ](ba|da)?sh( |$)'; then
            shell+=("$f")
        fi
        ;;
    esac
done

status=0
if ! shellcheck -S warning -- "${shell[@]}"; then
    echo "check-style: shellcheck finds the problems above" >&2
    status=1
fi
unformatted=()
for f in "${cxx[@]}"; do
    clang-format --dry-run -Werror -- "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'check-style: not as .clang-format has it (clang-format -i FILE): %s\n' "${unformatted[@]}" >&2
    status=1
fi
echo "check-style: ${#shell[@]} shell scripts, ${#cxx[@]} C++ files ($(clang-format --version | head -n 1))"
exit "$status"
