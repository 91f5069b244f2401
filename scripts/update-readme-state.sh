#!/usr/bin/env bash
# Regenerates the command-family table in README.md's "State of the engine"
# from what the binary itself reports (`sorv --commands`), so the README
# cannot drift from the code.
#   scripts/update-readme-state.sh [--check] [SORV_BINARY]
# With --check nothing is written: the exit status is 1 when README.md's
# table differs from the binary's (the test suite runs this).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
sorv=${1:-$here/build/sorv}
readme=$here/README.md
begin='<!-- state:begin -->'
end='<!-- state:end -->'

table=$("$sorv" --commands | awk -F'\t' '
  { if (!($2 in total)) order[n++] = $2; total[$2]++; if ($3 == "implemented") built[$2]++ }
  END {
    print "| family | state | words built |"
    print "|---|---|---|"
    for (i = 0; i < n; i++) {
      f = order[i]; b = built[f] + 0; t = total[f]
      state = b == t ? "built" : b == 0 ? "missing" : "partly built"
      printf "| %s | %s | %d of %d |\n", f, state, b, t
    }
  }')

current=$(awk -v b="$begin" -v e="$end" '$0 == b {on = 1; next} $0 == e {on = 0} on' "$readme")
if [ "$check" = 1 ]; then
  if [ "$current" != "$table" ]; then
    echo "README.md's state table differs from \`sorv --commands\`; run scripts/update-readme-state.sh" >&2
    diff <(echo "$current") <(echo "$table") >&2 || true
    exit 1
  fi
  exit 0
fi
grep -qxF "$begin" "$readme" || { echo "README.md has no $begin line" >&2; exit 1; }
tmp=$(mktemp "$readme.XXXXXX")
T="$table" awk -v b="$begin" -v e="$end" '
  $0 == b { print; print ENVIRON["T"]; skip = 1; next }
  $0 == e { skip = 0 }
  !skip' "$readme" > "$tmp"
mv "$tmp" "$readme"
echo "README.md: state table updated"
