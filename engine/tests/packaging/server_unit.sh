#!/bin/sh
# The score server's systemd unit as systemd reads it (systemd-analyze verify, with no warning), made from its
# template with the program just built in place of the installed one.
#   server_unit.sh TEMPLATE PROGRAM WORK_DIR
command -v systemd-analyze >/dev/null || { echo "systemd-analyze missing: skipped"; exit 0; }
unit=$3/vq-score-server@8081.service
sed "s|@VQ_SERVER_PROGRAM@|$2|" "$1" > "$unit" || exit 1
grep -q "@[A-Z_]*@" "$unit" && { echo "FAIL: a placeholder is left in $unit"; exit 1; }
# verify warns of a key it does not know or a value it cannot read, and still ends with status 0.
out=$(systemd-analyze verify "$unit" 2>&1) || { echo "$out"; exit 1; }
[ -z "$out" ] || { echo "FAIL: systemd-analyze verify: $out"; exit 1; }
echo "the unit reads cleanly"
