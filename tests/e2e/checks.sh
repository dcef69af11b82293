# shellcheck shell=bash
# The checks of the shell tests and their tally. A test passes only when it ran at least one check
# and none failed, so a run that stops before its first check fails too.
#
#   source "$here/checks.sh"; check WHAT EXPECTED ACTUAL; ...; e2e_finish

E2E_PASSED=0
E2E_FAILED=0

# check WHAT EXPECTED ACTUAL (E2E_VERBOSE=1 lists the checks that pass too)
check() {
    if [ "$2" = "$3" ]; then
        E2E_PASSED=$((E2E_PASSED + 1))
        [ -z "${E2E_VERBOSE:-}" ] || printf 'ok %s\n' "$1"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "${2//$'\n'/ | }" "${3//$'\n'/ | }"
    fi
}

# fail WHAT DETAIL: a step that could not be done at all.
fail() {
    E2E_FAILED=$((E2E_FAILED + 1))
    printf 'FAIL %s\n  %s\n' "$1" "${2:-}"
}

# e2e_run FUNCTION ARG...: runs one part of a test. A part that gives up (returns non-zero) without
# having reported a failure of its own, say because its server or program did not start, counts
# as a failure.
e2e_run() {
    local failed_before=$E2E_FAILED status=0
    "$@" || status=$?
    if [ "$status" -ne 0 ] && [ "$E2E_FAILED" -eq "$failed_before" ]; then
        fail "$*" "stopped early (status $status) at a step above"
    fi
    return 0
}

e2e_finish() {
    echo "$(basename "$0"): $E2E_PASSED passed, $E2E_FAILED failed"
    if [ "$E2E_PASSED" -eq 0 ] && [ "$E2E_FAILED" -eq 0 ]; then
        echo "FAIL no check ran"
        return 1
    fi
    [ "$E2E_FAILED" -eq 0 ]
}
