#!/usr/bin/env bash
# Runs scripts/setup.sh against stand-ins for apt-get, dpkg, dpkg-query,
# curl, the Wine loader and qemu-i386-static, one case per branch the set-up
# can take on a new machine. No network, no root, a few seconds. Each case
# checks the exit code, which installs were asked for, and what was said.
set -uo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WORK=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL [$case_name]: $*"; failures=$((failures + 1)); }

# The stand-ins read and write the machine's state in $STATE:
#   missing     packages not installed, one a line (everything else is)
#   foreign     dpkg's foreign architectures
#   native      present: this machine executes 32-bit programs
#   qemu        the major version of the qemu-i386-static installed, if any
#   mirror      ok, midsync (one index stays short) or offline
#   calls       what was asked of apt-get, dpkg and curl, a line each
STUBS=$WORK/bin
mkdir -p "$STUBS"
cat >"$STUBS/dpkg-query" <<'SH'
#!/bin/bash
pkg=${!#}
grep -qx -- "$pkg" "$STATE/missing" && exit 1
printf 'install ok installed'
SH
cat >"$STUBS/dpkg" <<'SH'
#!/bin/bash
case "$1" in
  --print-foreign-architectures) cat "$STATE/foreign" ;;
  --add-architecture) echo "dpkg --add-architecture $2" >>"$STATE/calls"; echo "$2" >>"$STATE/foreign" ;;
esac
SH
cat >"$STUBS/apt-get" <<'SH'
#!/bin/bash
mirror=$(cat "$STATE/mirror")
url=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
case "$1" in
  update)
    echo "apt-get update" >>"$STATE/calls"
    case "$mirror" in
      midsync) echo "E: Failed to fetch $url  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 1.2.3.4 80]"
               echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
               exit 100 ;;
      offline) echo "W: Failed to fetch http://deb.debian.org/debian/dists/bookworm/InRelease  Temporary failure resolving 'deb.debian.org'"
               echo "W: Some index files failed to download. They have been ignored, or old ones used instead." ;;
    esac ;;
  install)
    shift; args=() pkgs=()
    while [ $# -gt 0 ]; do
      case "$1" in -t) args+=("$1" "$2"); shift ;; -*) ;; *) pkgs+=("$1") ;; esac
      shift
    done
    echo "apt-get install ${args[*]}${args:+ }${pkgs[*]}" >>"$STATE/calls"
    if [ "$mirror" = offline ]; then
      echo "E: Failed to fetch http://deb.debian.org/debian/pool/main/w/wine/wine_8.0.deb  Temporary failure resolving 'deb.debian.org'"
      exit 100
    fi
    for p in "${pkgs[@]}"; do
      grep -vx -- "$p" "$STATE/missing" >"$STATE/missing.new"; mv "$STATE/missing.new" "$STATE/missing"
      [ "$p" = qemu-user-static ] && echo 10 >"$STATE/qemu"
    done ;;
esac
exit 0
SH
cat >"$STUBS/curl" <<'SH'
#!/bin/bash
echo "curl ${!#}" >>"$STATE/calls"
printf 'Package: stand-in\n' | xz -c
SH
cat >"$STUBS/qemu-i386-static" <<'SH'
#!/bin/bash
[ -s "$STATE/qemu" ] || exit 127
echo "qemu-i386 version $(cat "$STATE/qemu").0.0 (Debian)"
SH
cat >"$STUBS/wine" <<'SH'
#!/bin/bash
[ -e "$STATE/native" ] || exit 126
echo wine-8.0
SH
chmod +x "$STUBS"/*

# One case: a fresh state, then setup.sh with the given profile.
#   run_case name profile mirror native qemu-version missing-packages...
run_case() {
  case_name=$1
  local profile=$2 mirror=$3 native=$4 qemu=$5
  shift 5
  export STATE=$WORK/$case_name
  mkdir -p "$STATE/lists" "$STATE/apt/sources.list.d"
  : >"$STATE/calls"; : >"$STATE/missing"; echo i386 >"$STATE/foreign"
  printf '%s\n' "$@" >>"$STATE/missing"
  echo "$mirror" >"$STATE/mirror"
  [ "$native" = native ] && touch "$STATE/native"
  [ "$qemu" = 0 ] || echo "$qemu" >"$STATE/qemu"
  PATH=$STUBS:/usr/bin:/bin SETUP_SUDO="" SETUP_WINE_LOADER=$STUBS/wine \
    SETUP_APT_LISTS=$STATE/lists SETUP_APT_SOURCES=$STATE/apt SETUP_RETRY_PAUSE=0 \
    SETUP_APT_LOG=$STATE/apt.log \
    bash "$REPO/scripts/setup.sh" "$profile" >"$STATE/out" 2>"$STATE/err"
  status=$?
  calls=$(cat "$STATE/calls")
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit $status, expected $1; said: $(cat "$STATE/out" "$STATE/err")"; }
expect_calls() {  # the exact calls, a line each
  local want
  want=$(printf '%s\n' "$@")
  [ "$calls" = "$want" ] || fail "calls were:
$calls
expected:
$want"
}
expect_said() { grep -qF -- "$1" "$STATE/out" "$STATE/err" || fail "never said '$1'"; }

run_case installed test ok native 10
expect_status 0
expect_calls ""
[ ! -s "$STATE/out" ] && [ ! -s "$STATE/err" ] || fail "not quiet: $(cat "$STATE/out" "$STATE/err")"

run_case missing test ok native 10 wine32:i386 socat
expect_status 0
expect_calls "apt-get update" "apt-get install wine32:i386 socat"
expect_said "setup: installing wine32:i386 socat"

# The demonstration's set-up leaves the test tools alone.
run_case run_profile run ok native 0 wine32:i386 socat clang
expect_status 0
expect_calls "apt-get update" "apt-get install wine32:i386"

run_case no_i386_architecture test ok native 10
: >"$STATE/foreign"
PATH=$STUBS:/usr/bin:/bin SETUP_SUDO="" SETUP_WINE_LOADER=$STUBS/wine SETUP_APT_LISTS=$STATE/lists \
  SETUP_APT_SOURCES=$STATE/apt SETUP_RETRY_PAUSE=0 SETUP_APT_LOG=$STATE/apt.log \
  bash "$REPO/scripts/setup.sh" >/dev/null 2>&1 || fail "exit $?"
[ "$(cat "$STATE/calls")" = "dpkg --add-architecture i386" ] || fail "calls: $(cat "$STATE/calls")"

# Machines that run 32-bit programs still get qemu for the emulated scenario,
# but only for the tests.
run_case native_without_qemu test ok native 0
expect_status 0
expect_calls "apt-get update" "apt-get install -t bookworm-backports qemu-user-static"
grep -q 'Suites: bookworm-backports' "$STATE/apt/sources.list.d/bookworm-backports.sources" ||
  fail "the backports suite was not added"
run_case native_run_without_qemu run ok native 0
expect_status 0
expect_calls ""

run_case emulated_without_qemu run ok emulated 0
expect_status 0
expect_calls "apt-get update" "apt-get install -t bookworm-backports qemu-user-static"

# Debian 12's own qemu (7.2) takes a minute to start each process.
run_case emulated_old_qemu test ok emulated 7
expect_status 0
expect_calls "apt-get update" "apt-get install -t bookworm-backports qemu-user-static"
run_case emulated_qemu_8 test ok emulated 8
expect_status 0
expect_calls ""

# The mirror caught mid-sync: three tries, then its unverified copy of the
# one index, then the installation goes on.
run_case midsync test midsync native 10 socat
expect_status 0
index=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
expect_calls "apt-get update" "apt-get update" "apt-get update" "curl $index" "apt-get install socat"
[ "$(cat "$STATE/lists/deb.debian.org_debian-security_dists_bookworm-security_main_binary-i386_Packages" 2>/dev/null)" = "Package: stand-in" ] ||
  fail "the index was not taken"
expect_said "WARNING: taking the mirror's unverified copy of $index"

# No network: one line that names what could not be installed, at once
# (one look at the mirror, no retries).
run_case offline test offline emulated 0 wine32:i386 socat
expect_status 1
expect_calls "apt-get update" "apt-get install wine32:i386 socat"
[ "$(wc -l <"$STATE/err")" -eq 1 ] || fail "more than one line: $(cat "$STATE/err")"
expect_said "setup: could not install wine32:i386, socat: the package mirror cannot be reached (no network?)"
grep -q 'Temporary failure resolving' "$STATE/err" && fail "apt's raw error reached the terminal"

# Offline with every package there but qemu, which this machine needs.
run_case offline_qemu test offline emulated 0
expect_status 1
expect_said "setup: could not install qemu-user-static: the package mirror cannot be reached (no network?)"
# ... and where it is only wanted, the set-up goes on and says what follows.
run_case offline_qemu_wanted test offline native 0
expect_status 0
expect_said "ALLOW_NO_QEMU=1"

echo "setup cases: $failures failed"
[ "$failures" -eq 0 ]
