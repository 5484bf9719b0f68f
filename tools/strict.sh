# Sourced first by the project's shell scripts: stop at the first command that fails,
# and say in one line which command that was, so that no script ends in silence.
#   source "$(dirname "$0")/../strict.sh"          (a script in tools/ci/ or tools/dev/)
#   source "$(dirname "$0")/../../tools/strict.sh" (a script in bench/<folder>/)
set -Eeuo pipefail

strict_report() {  # exit status, line, command
    # Inside $(...) the failure is left to the line that holds it, which reports it once.
    [ "$BASH_SUBSHELL" -gt 0 ] || echo "${0##*/}: line $2: '$3' failed (exit status $1)" >&2
}
trap 'strict_report $? $LINENO "$BASH_COMMAND"' ERR
