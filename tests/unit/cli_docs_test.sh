#!/usr/bin/env bash
# Usage: cli_docs_test.sh CLI_DOCS_FOLDER
# Tests that the bash completion written from brxpack's --help completes
# commands and each command's own options (the renamed --patch-level
# included, its hidden alias not offered), and that the man page renders
# without a groff warning.
set -uo pipefail
folder=$1
# shellcheck source=/dev/null
source "$folder/brxpack.bash"
failed=0
while IFS='|' read -r line expected; do
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _brxpack
  if [[ "${COMPREPLY[*]}" != "$expected" ]]; then
    echo "completing '$line': got '${COMPREPLY[*]}', expected '$expected'"
    failed=1
  fi
done <<'CASES'
brxpack bu|build
brxpack he|help
brxpack --ver|--version
brxpack build --be|--best
brxpack -q build --wer|--werror
brxpack simulate u.exe --patch|--patch-level
brxpack simulate u.exe --lev|
brxpack diff --js|--json
brxpack help sim|simulate
CASES
# groff comes with man-db; a machine without it has no use for the page.
if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$folder/brxpack.1" 2>&1)
else
  echo "no groff here: the man page's rendering is not checked"
  warnings=""
fi
if [[ -n $warnings ]]; then
  echo "brxpack.1: $warnings"
  failed=1
fi
grep -q '^\.SS simulate$' "$folder/brxpack.1" || { echo "brxpack.1 lacks simulate"; failed=1; }
exit $failed
