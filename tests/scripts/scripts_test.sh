#!/usr/bin/env bash
# scripts_test.sh SCRIPTS WORK: checks scripts/packages.sh and
# scripts/check_skips.sh. The package check runs with a PATH of stand-ins only,
# so it neither asks the real dpkg nor installs anything.
set -u
SCRIPTS=$1
WORK=$2
rm -rf "$WORK"
mkdir -p "$WORK/bin"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# ---- Stand-ins: installed packages in $WORK/installed, apt-get logs its calls ----
for tool in env tr cat sed awk grep sort comm wc mkdir rm; do
  ln -s "$(command -v $tool)" "$WORK/bin/$tool"
done
cat >"$WORK/bin/dpkg-query" <<'STUB'
#!/bin/bash
grep -qx "${@: -1}" "$STUB_DIR/installed" && printf 'install ok installed' || exit 1
STUB
cat >"$WORK/bin/id" <<'STUB'
#!/bin/bash
echo "$STUB_UID"
STUB
cat >"$WORK/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$STUB_DIR/apt.log"
[ "$STUB_APT" = fail ] && exit 100
for arg in "$@"; do case "$arg" in -*|install|update) ;; *) echo "$arg" >>"$STUB_DIR/installed" ;; esac; done
STUB
chmod +x "$WORK/bin/"*

# run_check UID APT INSTALLED: runs tessaro_ensure_packages run with the
# stand-ins; sets status, out (stdout and stderr) and apt (the calls made).
run_check() {
  printf '%s\n' $3 >"$WORK/installed"
  rm -f "$WORK/apt.log"
  if [ "$2" = none ]; then rm -f "$WORK/bin/apt-get.off"; mv "$WORK/bin/apt-get" "$WORK/bin/apt-get.off"; fi
  out=$(env -i PATH="$WORK/bin" STUB_DIR="$WORK" STUB_UID="$1" STUB_APT="$2" \
    "$BASH" -c "source '$SCRIPTS/packages.sh'; tessaro_ensure_packages run; echo done" </dev/null 2>&1)
  status=$?
  if [ "$2" = none ]; then mv "$WORK/bin/apt-get.off" "$WORK/bin/apt-get"; fi
  apt=$(cat "$WORK/apt.log" 2>/dev/null)
}

run_pkgs=$(env -i "$BASH" -c "source '$SCRIPTS/packages.sh'; tessaro_packages run" | tr '\n' ' ')
all=$run_pkgs
some=${run_pkgs#prosody }  # everything but prosody

#     uid  apt-get  installed  status  output must contain                     apt-get calls
cases=(
  "0    ok   all   0  done                                                     -"
  "0    ok   some  0  Installing_missing_packages:_prosody                     update_-qq|install_-y_-qq_--no-install-recommends_prosody"
  "0    fail some  2  sudo_sh_-c_'apt-get_update_&&_apt-get_install_-y_--no-install-recommends_prosody' -"
  "0    none some  2  Missing_packages:_prosody                                -"
  "1000 ok   some  2  sudo_sh_-c_'apt-get_update_&&_apt-get_install_-y_--no-install-recommends_prosody' -"
)
for row in "${cases[@]}"; do
  read -r uid aptmode installed want_status want_out want_apt <<<"$row"
  case "$installed" in all) list=$all ;; some) list=$some ;; esac
  run_check "$uid" "$aptmode" "$list"
  want_out=${want_out//_/ }
  label="uid $uid, apt-get $aptmode, $installed installed"
  [ "$status" = "$want_status" ] || fail "$label: exit $status, expected $want_status: $out"
  [[ "$out" == *"$want_out"* ]] || fail "$label: output lacks '$want_out': $out"
  if [ "$want_apt" = - ]; then
    [ "$aptmode" = fail ] || [ -z "$apt" ] || fail "$label: apt-get ran: $apt"
  else
    want_apt=$(echo "$want_apt" | tr '|_' '\n ' | sed 's/^/apt-get /')
    [ "$apt" = "$want_apt" ] || fail "$label: apt-get calls '$apt', expected '$want_apt'"
  fi
  [ "$status" = 0 ] || [[ "$out" != *done* ]] || fail "$label: went on after failing"
done

# ---- check_skips.sh: a listed skip passes, any other fails and is named ----
report() {
  {
    echo '<testsuite>'
    for t in "$@"; do
      echo "<testcase name=\"${t%%=*}\" classname=\"${t%%=*}\" time=\"0\" status=\"${t#*=}\">"
    done
    echo '</testsuite>'
  } >"$WORK/junit.xml"
}
printf '# comment\nListed.Skip   the reason\n' >"$WORK/expected.txt"
#        results                                     status  named in output
skip_cases=(
  "A.Runs=run|Listed.Skip=notrun                     0       -"
  "A.Runs=run|B.Skips=notrun|Listed.Skip=notrun      1       B.Skips"
  "A.Runs=run|C.Skipped=skipped                      1       C.Skipped"
  "A.Runs=run|D.Disabled=disabled                    1       D.Disabled"
  "A.Runs=run|B.Fails=fail                           0       -"
)
for row in "${skip_cases[@]}"; do
  read -r results want_status named <<<"$row"
  IFS='|' read -ra tests <<<"$results"
  report "${tests[@]}"
  out=$(bash "$SCRIPTS/check_skips.sh" "$WORK/junit.xml" "$WORK/expected.txt" 2>&1)
  status=$?
  [ "$status" = "$want_status" ] || fail "skips $results: exit $status, expected $want_status: $out"
  [ "$named" = - ] || [[ "$out" == *"  $named"* ]] || fail "skips $results: $named not named: $out"
done
: >"$WORK/empty.xml"
bash "$SCRIPTS/check_skips.sh" "$WORK/empty.xml" "$WORK/expected.txt" >/dev/null 2>&1 &&
  fail "an empty report passed"

echo "$failures failures"
[ "$failures" = 0 ]
