#!/usr/bin/env bash
# The Debian package installs what it ships: the user unit where systemd
# looks under the package's prefix, starting the binary the package puts in
# /usr/bin (systemd-analyze verify), a copyright file, a changelog, a
# manual page for each program, stripped binaries, and lintian finds
# nothing (when lintian is installed).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_session
cd "$BUILD" || fail "no build directory"
cpack -G DEB -B "$PELORIN/pkg" >"$PELORIN/cpack.log" 2>&1 || fail "cpack failed: $(tail -5 "$PELORIN/cpack.log")"
deb=$(ls "$PELORIN"/pkg/orvex_*.deb) || fail "no package made"
root=$PELORIN/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb cannot unpack $deb"

unit=$root/usr/lib/systemd/user/orvex-keyd.service
[[ -f $unit ]] || fail "no user unit under /usr/lib/systemd/user: $(dpkg-deb -c "$deb" | grep service)"
grep -qx 'ExecStart=/usr/bin/orvex-keyd $ORVEX_KEYD_OPTIONS' "$unit" || fail "the unit starts $(grep ExecStart "$unit")"
# Verified as installed: the command it names, inside the package.
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" >"$PELORIN/orvex-keyd.service"
systemd-analyze verify "$PELORIN/orvex-keyd.service" 2>"$PELORIN/verify" ||
  fail "systemd-analyze verify: $(cat "$PELORIN/verify")"

for program in orvex orvex-send orvex-keyd orvex-keylog; do
  [[ -x $root/usr/bin/$program ]] || fail "$program is not in /usr/bin"
  [[ -s $root/usr/share/man/man1/$program.1.gz ]] || fail "no manual page for $program"
  file "$root/usr/bin/$program" | grep -q "not stripped" && fail "$program is not stripped"
done
[[ -s $root/usr/share/doc/orvex/copyright && -s $root/usr/share/doc/orvex/changelog.gz ]] ||
  fail "no copyright or changelog in /usr/share/doc/orvex"
[[ -z $(find "$root" -path "*/usr/local*") ]] || fail "files under /usr/local"

if command -v lintian >/dev/null; then
  found=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EW]: ')
  [[ -z $found ]] || fail "lintian: $found"
fi
echo "package: ok"
