#!/usr/bin/env bash
# scripts/install-udev-rule.sh with --dry-run and DESTDIR against the real
# executable: what it prints, what it writes, and that a refused VID or PID
# writes nothing.
# Usage: udev_rule_script.sh <morvax-tool> <source-dir>
set -euo pipefail
export MORVAX_TOOL="$1"
script="$2/scripts/install-udev-rule.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

printf '[VID/PID]\nVID=2F5A\nPID=0107\n' >"$work/good.ini"
printf '[VID/PID]\nVID=2f5a\nPID=0x0107\n' >"$work/bad.ini"
# The rules themselves are the tool's (tested in tst_udevrule): the script
# must write exactly what the tool prints.
rules="$("$MORVAX_TOOL" udev-rule --config "$work/good.ini")"
dest="$work/root/etc/udev/rules.d/70-morvax-tool.rules"

# --dry-run: the rule and the plan, nothing written.
out="$(DESTDIR="$work/root" "$script" --dry-run "$work/good.ini")"
grep -qxF "would write $dest:" <<<"$out" || fail "dry run does not name the file: $out"
[[ "$out" == *"$rules"* ]] || fail "dry run does not print the rules"
grep -qxF "would not reload udev: DESTDIR is set" <<<"$out" || fail "dry run does not say udev stays as it is"
[ ! -e "$work/root" ] || fail "dry run wrote something"

# DESTDIR: the file, world-readable, with the three rules; udev left alone.
out="$(DESTDIR="$work/root" "$script" "$work/good.ini")"
[ -f "$dest" ] || fail "no rules file at $dest"
[ "$(stat -c %a "$dest")" = 644 ] || fail "rules file mode is $(stat -c %a "$dest")"
[ "$(cat "$dest")" = "$rules" ] || fail "the file is not what the tool printed"
grep -qxF "wrote $dest" <<<"$out" || fail "does not say what it wrote: $out"
grep -qF "udev not reloaded: DESTDIR is set" <<<"$out" || fail "does not say udev was left alone: $out"
[ -z "$(find "$work/root" -name '.70-morvax-tool.rules.*')" ] || fail "a temporary file was left behind"

# A refused ID: status 2, the reason, nothing written.
rm -rf "$work/root"
status=0
err="$(DESTDIR="$work/root" "$script" "$work/bad.ini" 2>&1 >/dev/null)" || status=$?
[ "$status" = 2 ] || fail "refused ID gave status $status"
grep -qF 'PID "0x0107" is not four hexadecimal digits' <<<"$err" || fail "no reason given: $err"
[ ! -e "$work/root" ] || fail "a refused ID wrote something"

# A wrong option: status 2.
status=0
"$script" --frobnicate >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "unknown option gave status $status"
echo "install-udev-rule.sh: dry run, DESTDIR and refusals as expected"
