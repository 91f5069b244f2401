#!/usr/bin/env bash
# Runs one tiny game directory through the real binary, headless, and checks
# the outcome its "expect" file describes:
#   status N            the exit status (default 0)
#   stderr TEXT         TEXT appears in what the run printed on stderr
#   no-stderr TEXT      TEXT does not appear there
#   args ARGS...        extra command-line arguments (before the directory);
#                       @OUT@ stands for a scratch directory for output files,
#                       @DIR@ for the game directory
#   screenshot W H      --screenshot is written and is a W x H PNG
set -u
sorv=$1
dir=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

want_status=0
args=()
checks=()
shot=""
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    status\ *) want_status=${line#status } ;;
    args\ *) read -r -a more <<< "${line#args }"; for a in "${more[@]}"; do a=${a//@OUT@/$out}; args+=("${a//@DIR@/$dir}"); done ;;
    screenshot\ *) shot=${line#screenshot }; args+=(--screenshot "$out/shot.png") ;;
    stderr\ *|no-stderr\ *) checks+=("$line") ;;
  esac
done < "$dir/expect"

# The game runs from a copy: the engine writes its settings and saves
# beside the game, and the source tree must stay as it is.
cp -r "$dir" "$out/game"
for i in "${!args[@]}"; do args[$i]=${args[$i]//$dir/$out/game}; done
timeout 60 "$sorv" --headless "${args[@]}" "$out/game" > "$out/stdout" 2> "$out/stderr"
status=$?
fail=0
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"; fail=1
fi
for c in "${checks[@]}"; do
  case "$c" in
    stderr\ *) grep -qF -- "${c#stderr }" "$out/stderr" || { echo "stderr lacks: ${c#stderr }"; fail=1; } ;;
    no-stderr\ *) grep -qF -- "${c#no-stderr }" "$out/stderr" && { echo "stderr has: ${c#no-stderr }"; fail=1; } ;;
  esac
done
if [ -n "$shot" ]; then
  read -r w h <<< "$shot"
  if [ ! -f "$out/shot.png" ]; then
    echo "no screenshot written"; fail=1
  else
    size=$(python3 - "$out/shot.png" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read(24)
print(*struct.unpack('>II', d[16:24]))
PY
)
    [ "$size" = "$w $h" ] || { echo "screenshot is $size, expected $w $h"; fail=1; }
  fi
fi
if [ $fail -ne 0 ]; then
  echo "--- stderr:"; cat "$out/stderr"
fi
exit $fail
