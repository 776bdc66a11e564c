#!/usr/bin/env bash
# End-to-end tests of brmkVTPStart.exe under Wine: a demo installation, its own Wine prefix,
# the COM servers registered there, a display from Xvfb; a dialog driver in the same Wine
# session reads the launcher's dialogs and answers them.
#   launcher_e2e.sh ARCH BUILD_DIR
# E2E_CASES, when set, is an extended regular expression: only the cases whose title matches run.
# Artifacts (screenshot, timings, driver records) go to BUILD_DIR/e2e/artifacts.
source "$(dirname "$0")/e2e_common.sh"

work=$build/e2e
inst=$work/install
tools=$work/tools
art=$work/artifacts
export WINEPREFIX=$work/prefix
mkdir -p "$art"
rm -f "$art"/*

fails=0
passes=0
pass() { passes=$((passes + 1)); printf 'ok   %s\n' "$*"; }
fail() { fails=$((fails + 1)); printf 'FAIL %s\n' "$*"; }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
not() { ! "$@"; }
eq() { # eq DESCRIPTION ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1"; printf '       got:      %q\n       expected: %q\n' "$2" "$3"; fi
}

# ---- display and Wine ----
xout=$("$root/cmake/xdisplay" 1024x768) || exit 1
read -r DISPLAY xvfb_pid <<<"$xout"
export DISPLAY
w() { "$root/cmake/wine-run" "$arch" "$@"; }
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }

"$root/fixtures/make-install.sh" "$build" "$inst" DE
# No language code at first: the launcher runs in its own English.
"$root/fixtures/setup-prefix.sh" "$arch" "$WINEPREFIX" "$inst" ""
# One Wine server for the whole run: every later program start is cheaper.
/usr/lib/wine/wineserver -p 2>/dev/null
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

cp "$inst/cfg/system.cfg" "$work/system.cfg.good"
temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -n1)
launcher=$inst/bin/brmkVTPStart.exe
started=$inst/bin/started.txt
opened=$tools/opened.txt
driver=$(winpath "$tools/dlgdriver.exe")

reset_install() {
  cp "$work/system.cfg.good" "$inst/cfg/system.cfg"
  printf 'Language=DE\r\n' > "$inst/bin/brmkVTPSettings.cfg"
  : > "$inst/bin/brmkVTPEngine.cfg"
  cp "$root/fixtures/demo/chkfail-EN.txt" "$root/fixtures/demo/chkfail-DE.txt" "$root/fixtures/demo/brmkVTPStart.DEU.lng" "$inst/lang/"
  rm -f "$started" "$opened"
  set_lang ""
}
# The user's language code in the registry ("" removes it); written only when it changes.
cur_lang=""
set_lang() {
  [ "$1" == "$cur_lang" ] && return
  local v='-'; [ -z "$1" ] || v="\"$1\""
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Norv Systems\\Vantra Pro\\CurrentVersion]\r\n"Language"=%s\r\n' "$v" > "$work/lang.reg"
  w regedit /S "$(winpath "$work/lang.reg")"
  cur_lang=$1
}
set_cfg() { # set_cfg KEY VALUE: replaces the line of KEY (or appends it)
  local f=$inst/cfg/system.cfg
  if grep -q "^$1=" "$f"; then
    KEY=$1 VAL=$2 perl -pi -e 's/^\Q$ENV{KEY}\E=.*$/$ENV{KEY}=$ENV{VAL}\r/' "$f"
  else
    printf '%s=%s\r\n' "$1" "$2" >> "$f"
  fi
}
del_cfg() { KEY=$1 perl -ni -e 'print unless /^\Q$ENV{KEY}\E=/' "$inst/cfg/system.cfg"; }

# Starts the launcher in the background (working folder: the work folder), debug lines to a file.
launch() {
  (cd "$work" && WINEDEBUG=+debugstr w "$launcher" "$@" > "$work/launcher.out" 2> "$work/launcher.err"
   echo $? > "$work/launcher.rc") &
  lpid=$!
}
finish() { # waits for the launcher (at most 120 s: Wine on a busy machine); then for what it started
  local i
  for i in $(seq 1200); do kill -0 "$lpid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$lpid" 2>/dev/null; then fail "launcher still running after 120 s"; kill "$lpid"; fi
  wait "$lpid" 2>/dev/null
  sleep 1
}
# Programs started through the shell may take a while to come up under a loaded Wine.
await_file() { local i; for i in $(seq 600); do [ -s "$1" ] && return 0; sleep 0.1; done; return 1; }
drive() { # drive CAPTION ACTION NAME: record and answer a dialog; record in $art/NAME.txt
  w "$driver" "$1" "$2" "$(winpath "$art/$3.txt")" 60000 >/dev/null 2>"$work/driver.err"
}
dialog_text() { sed -n '/^text=/,$p' "$art/$1.txt" | sed '1s/^text=//'; }
field() { sed -n "s/^$2=//p" "$art/$1.txt" | head -n1; }
debug_lines() { grep -a -o '"{Norv ODS} .* {END}"' "$work/launcher.err" | sed 's/^"//; s/"$//; s/\\\\/\\/g'; }
started_args() { sed -n 's/\r$//; s/^arg[0-9]*=//p' "$started" | paste -sd'|'; }
expect_started() { # expect_started "a|b|c" (empty: no arguments)
  check "$1: main program started" await_file "$started" || return
  eq "$1: arguments" "$(started_args)" "$2"
  eq "$1: argument count" "$(sed -n 's/\r$//; s/^argc=//p' "$started")" "$3"
}
expect_not_started() {
  check "$1: main program not started" test ! -e "$started"
}
expect_opened() { await_file "$opened"; eq "$1: failure file opened through the shell" "$(tr -d '\r' < "$opened" 2>/dev/null)" "\"$(winpath "$2")\""; }
expect_not_opened() { check "$1: no file opened" test ! -e "$opened"; }

CRLF=$'\r\n'
report_text() { # the report of a failed step
  printf '%s' "We are sorry, but your computer failed to meet the requirements to run Vantra Pro. The check failed on step:${CRLF}${CRLF}$1 ($2)${CRLF}${CRLF}- click \"OK\" to view see problem (and the possible solution). The file that is displayed contains for each \"Step\" an detailed description what you can do.${CRLF}${CRLF}- click \"Ignore\" to ignore this error and continue which is NOT RECOMMENDED!${CRLF}${CRLF}- click \"Abort\" to exit now."
}
ibin=$(winpath "$inst/bin")
msdos=$WINEPREFIX/drive_c/MSDOS.SYS
printf '[options]\r\nBootGUI=1\r\n\r\n;abc\r\n' > "$work/msdos.orig"
cp1252() { iconv -f UTF-8 -t CP1252; }
report_text_de() { # arguments in UTF-8
  printf '%s' "Es tut uns leid, aber Ihr Computer erfüllt nicht die Voraussetzungen für Vantra Pro. Die Prüfung schlug fehl bei Schritt:${CRLF}${CRLF}$1 ($2)${CRLF}${CRLF}- Klicken Sie auf \"OK\", um das Problem (und die mögliche Lösung) anzuzeigen. Die angezeigte Datei beschreibt für jeden \"Schritt\" ausführlich, was Sie tun können.${CRLF}${CRLF}- Klicken Sie auf \"Ignore\", um den Fehler zu übergehen und fortzufahren. Das wird NICHT EMPFOHLEN!${CRLF}${CRLF}- Klicken Sie auf \"Abort\", um jetzt zu beenden." | cp1252
}
# The message of a hardware fault in a module: "Access violation at address <hex> in module
# '<module>'. Write of address <zeros>" (8 or 16 digits, as the build's pointers).
fault_re() { printf "Access violation at address [0-9A-F]{8,16} in module '%s'\\. Write of address (00000000){1,2}" "$1"; }
set_win98() { # set_win98 on|off: Wine reports Windows 98 to the launcher
  if [ "$1" == on ]; then
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n"Version"="win98"\r\n' > "$work/win98.reg"
  else
    printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n' > "$work/win98.reg"
  fi
  w regedit /S "$(winpath "$work/win98.reg")"
}
# Runs the case when its title matches E2E_CASES (all cases when that is unset).
section() {
  [ -z "${E2E_CASES:-}" ] || grep -qE -- "$E2E_CASES" <<<"$1" || return 1
  echo "== $1"
}

# ---------------------------------------------------------------------------------------------
if section "all steps pass"; then
reset_install
mkdir -p "$temp/VantraProLang/keep.dir"
echo old > "$temp/VantraProLang/old.dll"
echo mine > "$temp/users-own-file.tmp"
printf '[options]\r\nBootGUI=1\r\n\r\n;abc\r\n' > "$msdos"
cp "$msdos" "$work/msdos.orig"
rm -f "$msdos.FIXED"
launch /a "b c"
finish
eq "launcher exit code" "$(cat "$work/launcher.rc")" 0
expect_started "all pass" "/a|b|c" 3
eq "all pass: working folder inherited" "$(sed -n 's/\r$//; s/^cwd=//p' "$started")" "$(winpath "$work")"
expect_not_opened "all pass"
debug_lines > "$art/debug-all-pass.txt"
eq "no language code: no debug output" "$(cat "$art/debug-all-pass.txt")" ""
eq "no language code: no translated module" "$(ls -A "$temp/VantraProLang" | grep -v '^keep.dir$')" ""
check "language folder emptied" test ! -e "$temp/VantraProLang/old.dll"
check "sub-folder of the language folder stays" test -d "$temp/VantraProLang/keep.dir"
check "user's temporary folder untouched" test -f "$temp/users-own-file.tmp"
check "C1 on the default version: MSDOS.SYS unchanged" cmp -s "$msdos" "$work/msdos.orig"
check "C1 on the default version: no backup" test ! -e "$msdos.FIXED"

fi

if section "started without arguments"; then
reset_install
launch
finish
expect_started "no arguments" "" 0
eq "no arguments: no parameter text" "$(sed -n 's/\r$//; s/^cmdline=//p' "$started")" "\"$ibin\\VantraPro.exe\""

fi

if section "wall time: launcher to main program against the main program alone"; then
# Each sample: host clock before the Wine start -> the main program's own clock at its start.
sample() { await_file "$started"; python3 -c 'import sys;print(int(sys.argv[2]) - int(sys.argv[1]))' "$1" "$(sed -n 's/\r$//; s/^time=//p' "$started")"; }
via=(); direct=()
for i in 1 2 3; do
  reset_install
  t0=$(date +%s%6N); launch; finish; via+=("$(sample "$t0")")
  rm -f "$started"
  t0=$(date +%s%6N); (cd "$work" && w "$inst/bin/VantraPro.exe"); sleep 0.2; direct+=("$(sample "$t0")")
done
# The same start with the German language: the translated module is built on every start (the
# temporary language folder is emptied first).
german=()
for i in 1 2 3; do
  reset_install
  set_lang DEU
  t0=$(date +%s%6N); launch; finish; german+=("$(sample "$t0")")
  check "timed German run $i: translated without error" not grep -q "VTP Loc - Error" "$work/launcher.err"
done
set_lang ""
python3 - "${via[@]}" "${direct[@]}" "${german[@]}" > "$art/walltime.txt" <<'PY'
import sys, statistics
v = [int(x) for x in sys.argv[1:4]]; d = [int(x) for x in sys.argv[4:7]]; g = [int(x) for x in sys.argv[7:10]]
mv, md, mg = statistics.median(v), statistics.median(d), statistics.median(g)
print(f"launcher -> main program start: median {mv/1000:.0f} ms {[x//1000 for x in v]}")
print(f"main program started directly:  median {md/1000:.0f} ms {[x//1000 for x in d]}")
print(f"ratio {mv/md:.2f}")
print(f"launcher in German (module built) -> main program: median {mg/1000:.0f} ms {[x//1000 for x in g]}")
print(f"ratio German / no language {mg/mv:.2f}")
PY
cat "$art/walltime.txt"

fi

if section "A2 (check value in another letter case): the report, OK opens the failure file"; then
reset_install
set_cfg Check "{5A1C93E2-7D44-4B0E-9F21-6C0B8E3D4A57}"
launch /a
w "$driver" Warning none "$(winpath "$art/a2-case.txt")" 60000 >/dev/null
import -window root "$art/failure-dialog.png" 2>/dev/null || true
drive Warning click:OK a2-case-ok
finish
eq "dialog caption" "$(field a2-case caption)" "Warning"
eq "dialog buttons in order" "$(field a2-case buttons)" "OK|&Abort|&Ignore"
eq "OK is the default button" "$(field a2-case default)" "OK"
eq "warning icon" "$(field a2-case icon)" "yes"
eq "report text" "$(dialog_text a2-case)" "$(report_text "A2 - Checking System.cfg availability" "Check Value inside SYSTEM.CFG is incorrect")"
xs=$(field a2-case appexstyle)
check "application window: no WS_EX_APPWINDOW ($xs)" test $((xs & 0x40000)) -eq 0
check "application window: WS_EX_TOOLWINDOW ($xs)" test $((xs & 0x80)) -ne 0
eq "application window hidden" "$(field a2-case appvisible)" 0
expect_opened "A2/OK, no language code yet" "$inst/lang/chkfail-EN.txt"
expect_not_started "A2/OK"
check "screenshot saved" test -s "$art/failure-dialog.png"

fi

if section "A2 (no Check line): Abort"; then
reset_install
del_cfg Check
launch
drive Warning click:\&Abort a2-missing
finish
eq "A2 missing: report" "$(dialog_text a2-missing)" "$(report_text "A2 - Checking System.cfg availability" "Check Value inside SYSTEM.CFG is incorrect")"
expect_not_started "A2/Abort"; expect_not_opened "A2/Abort"

fi

if section "B1 (library not found): the close box"; then
reset_install
set_cfg SysFile_DLL_RichEdit nosuchlib32.dll
launch
drive Warning close b1
finish
eq "B1: report" "$(dialog_text b1)" "$(report_text "B1 - Checking nosuchlib32.dll file availability" "DLL not found!")"
expect_not_started "B1/close box"; expect_not_opened "B1/close box"

fi

if section "D1 (package missing): Escape acts as OK"; then
reset_install
set_cfg SysFile_BPL_VCL1 'bin\missing.bpl'
launch
drive Warning escape d1
finish
d1path="$ibin\\missing.bpl"
check "D1: report names the path and the loader's message" \
  grep -qF "D1 - Checking $d1path file availability (Can't load package $d1path.${CRLF}" "$art/d1.txt"
expect_opened "D1/Escape" "$inst/lang/chkfail-EN.txt"
expect_not_started "D1/Escape"

fi

if section "D2 (no Initialize): Ignore starts the main program"; then
reset_install
set_cfg SysFile_BPL_VCL2 '..\faulty\vtpnoinit.bpl'
launch /x "y z"
drive Warning click:\&Ignore d2
finish
# The package path is the base path plus the configured text; the loader names the module's
# own (normalised) file name.
d2path="$(winpath "$inst")\\..\\faulty\\vtpnoinit.bpl"
eq "D2: report" "$(dialog_text d2)" "$(report_text "D2 - Checking $d2path file availability" "Invalid package file '$(winpath "$work")\\faulty\\vtpnoinit.bpl'")"
expect_started "D2/Ignore" "/x|y|z" 3
expect_not_opened "D2/Ignore"

fi

if section "D3 (unit present twice), D4 (initialisation fails), D5 (no Finalize)"; then
for case in "3 vtpdupunit Cannot load package 'vtpdupunit.'  It contains unit 'SysUtils,'which is also contained in package 'brmkVTPStart'" \
            "4 vtpfailinit Package vtpfailinit: its class registration failed (a required class is already registered)" \
            "5 vtpnofinal Invalid package handle"; do
  n=${case%% *}; rest=${case#* }; pkg=${rest%% *}; msg=${rest#* }
  reset_install
  set_cfg SysFile_BPL_VCL$n "..\\faulty\\$pkg.bpl"
  launch
  drive Warning click:\&Abort d$n
  finish
  eq "D$n: report" "$(dialog_text d$n)" "$(report_text "D$n - Checking $(winpath "$inst")\\..\\faulty\\$pkg.bpl file availability" "$msg")"
  expect_not_started "D$n/Abort"
done

fi

if section "D1 and D5 (the package faults in Initialize / Finalize): the report names the fault"; then
for case in "1 vtpfaultinit" "5 vtpfaultfinal"; do
  n=${case%% *}; pkg=${case#* }
  reset_install
  set_cfg SysFile_BPL_VCL$n "..\\faulty\\$pkg.bpl"
  launch
  drive Warning click:\&Abort d$n-fault
  finish
  check "D$n faulting package: report names the step and the fault" \
    grep -qE "^D$n - Checking .*\\\\faulty\\\\$pkg\.bpl file availability \($(fault_re "$pkg.bpl")\)"$'\r?$' "$art/d$n-fault.txt"
  grep -a "^D$n - " "$art/d$n-fault.txt" | sed 's/^/       /'
  eq "D$n faulting package: launcher ends normally" "$(cat "$work/launcher.rc")" 0
  expect_not_started "D$n fault/Abort"
done
fi

if section "F1 and F2 (the server faults in slot 42 / slot 7): the report names the fault"; then
reset_install
printf 'Language=DE\r\nFaultSlot42=1\r\n' > "$inst/bin/brmkVTPSettings.cfg"
launch
drive Warning click:OK f1-fault
finish
check "F1 faulting slot 42: report names the step and the fault" \
  grep -qE "^F1 - Checking Vantra Pro Settings Library availability \($(fault_re brmkVTPSettings.dll)\)"$'\r?$' "$art/f1-fault.txt"
grep -a "^F1 - " "$art/f1-fault.txt" | sed 's/^/       /'
expect_opened "F1 fault/OK, the server still reports DE" "$inst/lang/chkfail-DE.txt"
expect_not_started "F1 fault/OK"
reset_install
printf 'FaultSlot7=1\r\n' > "$inst/bin/brmkVTPEngine.cfg"
launch
drive Warning click:\&Ignore f2-fault
finish
check "F2 faulting slot 7: report names the step and the fault" \
  grep -qE "^F2 - Checking Vantra Pro Engine availability \($(fault_re brmkVTPEngine.dll)\)"$'\r?$' "$art/f2-fault.txt"
expect_started "F2 fault/Ignore" "" 0
fi

if section "slot 54 fails or faults inside the report: the error box, the settings object released before COM ends"; then
for how in "FailSlot54=The settings database is damaged" "FaultSlot54=1"; do
  reset_install
  rm -f "$work/release.log"
  # F2 fails after F1 has kept the settings object, which the report then asks for the language.
  printf 'FailSlot7=The engine is damaged\r\n' > "$inst/bin/brmkVTPEngine.cfg"
  printf 'Language=DE\r\n%s\r\nReleaseLog=%s\r\n' "$how" "$(winpath "$work/release.log")" > "$inst/bin/brmkVTPSettings.cfg"
  launch
  drive brmkVTPStart click:OK slot54
  finish
  case "$how" in
    Fail*) eq "${how%%=*}: the error box shows the server's description" "$(dialog_text slot54)" "The settings database is damaged" ;;
    *) check "${how%%=*}: the error box names the fault" grep -qE "^$(fault_re brmkVTPSettings.dll)"$'\r?$' <<<"$(dialog_text slot54)"
       dialog_text slot54 | sed 's/^/       /'; echo ;;
  esac
  eq "${how%%=*}: settings object released while COM was still initialised" \
     "$(tr -d '\r' < "$work/release.log" 2>/dev/null)" "brmkVTPSettings.GlobalOptions released, COM initialised"
  expect_not_started "${how%%=*}"
done
fi

if section "G1 (folder cannot be created)"; then
reset_install
: > "$temp/vtpblock"
set_cfg Lang-TempFolderName 'vtpblock\sub\'
launch
drive Warning click:\&Abort g1
finish
check "G1: report" grep -qE "G1 - Checking Temporary folder for language files \\(Unable to create directory [A-Z]:.*\\\\Temp\\\\vtpblock\\\\sub\\\\\\)" "$art/g1.txt"
expect_not_started "G1/Abort"

fi

if section "G1 with no folder name configured: the user's temporary folder is left alone"; then
reset_install
set_cfg Lang-TempFolderName ''
echo mine > "$temp/users-own-file.tmp"
launch
drive Warning click:\&Abort g1-empty
finish
check "G1 empty key: clear message" grep -qF "(No temporary language folder is configured: key \"Lang-TempFolderName\" is empty in $(winpath "$inst")\\cfg\\system.cfg)" "$art/g1-empty.txt"
check "G1 empty key: user's temporary folder untouched" test -f "$temp/users-own-file.tmp"

fi

if section "G1 with a plain file where the folder should be"; then
reset_install
rm -rf "$temp/vtpplain"; echo "not a folder" > "$temp/vtpplain"
set_cfg Lang-TempFolderName 'vtpplain\'
launch
drive Warning click:\&Abort g1-file
finish
check "G1 file in the way: report" grep -qE "^G1 - Checking Temporary folder for language files \\(Unable to create directory [A-Z]:.*\\\\Temp\\\\vtpplain\\\\\\)"$'\r?$' "$art/g1-file.txt"
check "G1 file in the way: the file stays" grep -qx "not a folder" "$temp/vtpplain"
expect_not_started "G1 file in the way/Abort"
rm -f "$temp/vtpplain"
fi

if section "G1 with a folder name that leads to the temporary folder or above it"; then
above=$(dirname "$temp")
for value in '.\' '..\' 'VantraProLang\..\..\'; do
  reset_install
  echo mine > "$temp/users-own-file.tmp"; echo mine > "$above/users-own-above.tmp"
  set_cfg Lang-TempFolderName "$value"
  launch
  drive Warning click:\&Abort g1-outside
  finish
  re=$(printf '%s' "$value" | sed 's/[.\\]/\\&/g')
  check "G1 '$value': clear message" grep -qE "^G1 - Checking Temporary folder for language files \\(The temporary language folder [A-Z]:[^ ]*\\\\Temp\\\\$re does not lie inside the temporary folder [A-Z]:[^ ]*\\\\Temp\\\\: key " "$art/g1-outside.txt"
  check "G1 '$value': names the key and the file" grep -qF ": key \"Lang-TempFolderName\" in $(winpath "$inst")\\cfg\\system.cfg)" "$art/g1-outside.txt"
  check "G1 '$value': user's temporary folder untouched" test -f "$temp/users-own-file.tmp"
  check "G1 '$value': the folder above untouched" test -f "$above/users-own-above.tmp"
  expect_not_started "G1 '$value'/Abort"
done
grep -a "^G1 - " "$art/g1-outside.txt" | sed 's/^/       /'
rm -f "$temp/users-own-file.tmp" "$above/users-own-above.tmp"
fi

# Opt-in (E2E_FSIZE=1): Wine's server crashes now and then when a client runs under a file-size
# limit, which would make the whole run flaky. The unit tests MsDosSys.* cover the fault itself.
if [ "${E2E_FSIZE:-0}" = 1 ] && section "C1 on 98 when MSDOS.SYS cannot be written whole: the old content stays"; then
reset_install
set_win98 on
# 2000 bytes; the repaired file would be 2090, over the launcher's file size limit of 2048.
{ printf '[options]\r\nBootGUI=1\r\n'; for i in $(seq 250); do printf 'x%07d\r\n' "$i"; done | head -c 1970; printf '\r\n;abc\r\n'; } > "$work/msdos.big"
check "C1 limit: test file of 2000 bytes" test "$(stat -c %s "$work/msdos.big")" -eq 2000
cp "$work/msdos.big" "$msdos"; rm -f "$msdos.FIXED"
# A Wine server started under the limit would fail: make sure one runs already.
/usr/lib/wine/wineserver -p 2>/dev/null
# The limit, and SIGXFSZ ignored so that an over-long write fails instead of killing the program.
(cd "$work" && python3 -c 'import os, resource, signal, sys
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
resource.setrlimit(resource.RLIMIT_FSIZE, (2048, 2048))
os.execvp(sys.argv[1], sys.argv[1:])' "$root/cmake/wine-run" "$arch" "$launcher" > /dev/null 2> "$work/launcher.err"
 echo $? > "$work/launcher.rc"; cp "$work/launcher.err" "$art/c1-limit.err") &
lpid=$!
finish
set_win98 off
check "C1 limit: MSDOS.SYS keeps its old content" cmp -s "$msdos" "$work/msdos.big"
check "C1 limit: the backup holds it too" cmp -s "$msdos.FIXED" "$work/msdos.big"
eq "C1 limit: launcher ends normally" "$(cat "$work/launcher.rc")" 0
expect_started "C1 limit" "" 0
cp "$work/msdos.orig" "$msdos"; rm -f "$msdos.FIXED"
fi

if section "C1 with Wine reporting Windows 98 for the launcher"; then
reset_install
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n"Version"="win98"\r\n' > "$work/win98.reg"
w regedit /S "$(winpath "$work/win98.reg")"
cp "$work/msdos.orig" "$msdos"; rm -f "$msdos.FIXED"
launch
finish
{ printf '[options]\r\nBootGUI=1\r\n\r\n'; for _ in $(seq 30); do printf ' \r\n'; done; printf ';abc\r\n'; } > "$work/msdos.expected"
check "C1 on 98: MSDOS.SYS repaired (30 blank lines before the first remark)" cmp -s "$msdos" "$work/msdos.expected"
check "C1 on 98: backup holds the old content" cmp -s "$msdos.FIXED" "$work/msdos.orig"
eq "C1 on 98: attributes read-only, hidden, system, archive" "$(w "$driver" --attr 'C:\MSDOS.SYS' | tr -d '\r')" "0x27"
expect_started "C1 on 98" "" 0
cp "$msdos" "$work/msdos.after1"
launch
finish
check "C1 on 98, second run: nothing changes" cmp -s "$msdos" "$work/msdos.after1"
printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n' > "$work/win98.reg"
w regedit /S "$(winpath "$work/win98.reg")"

fi

if section "Wine reporting Windows XP for the launcher: the checks pass, the main program starts"; then
# The shipped build imports nothing XP lacks (xp_imports); here the launcher runs as on XP.
xp=winxp; [ "$arch" == win64 ] && xp=winxp64
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n"Version"="%s"\r\n' "$xp" > "$work/winxp.reg"
w regedit /S "$(winpath "$work/winxp.reg")"
eq "XP: Wine set to report $xp" "$(w reg query 'HKCU\Software\Wine\AppDefaults\brmkVTPStart.exe' /v Version | tr -d '\r' | awk '$1 == "Version" { print $3 }')" "$xp"
for lang in "" DEU; do
  reset_install
  set_lang "$lang"
  cp "$work/msdos.orig" "$msdos"; rm -f "$msdos.FIXED"
  launch /a "b c"
  finish
  eq "XP${lang:+ in $lang}: launcher exit code" "$(cat "$work/launcher.rc")" 0
  expect_started "XP${lang:+ in $lang}" "/a|b|c" 3
  expect_not_opened "XP${lang:+ in $lang}"
  # XP is no 9x: the version detection leaves MSDOS.SYS alone.
  check "XP${lang:+ in $lang}: C1 leaves MSDOS.SYS unchanged" cmp -s "$msdos" "$work/msdos.orig"
  check "XP${lang:+ in $lang}: no MSDOS.SYS backup" test ! -e "$msdos.FIXED"
done
check "XP in DEU: translated without error" not grep -q "VTP Loc - Error" "$work/launcher.err"
eq "XP in DEU: the localizer's two debug lines" "$(debug_lines | grep -cE '^\{Norv ODS\} VTP Loc (starting|ended) for ')" 2
set_lang ""
printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\brmkVTPStart.exe]\r\n' > "$work/winxp.reg"
w regedit /S "$(winpath "$work/winxp.reg")"

fi

if section "E1 (script control unregistered), E2 (VBScript engine unregistered)"; then
reset_install
w regsvr32 /s /u msscript.ocx
launch
drive Warning click:\&Abort e1
finish
w regsvr32 /s msscript.ocx
check "E1: report with the COM layer's message" grep -qE "^E1 - Checking MS Script Control availability \\(.+\\)" "$art/e1.txt"
sed -n 's/^E1 - .*(\(.*\))\r*$/E1 message: \1/p' "$art/e1.txt"
reset_install
w regsvr32 /s /u vbscript.dll
launch
drive Warning click:\&Abort e2
finish
w regsvr32 /s vbscript.dll
check "E2: report with the COM layer's message" grep -qE "^E2 - Checking VBScript Script Language availability \\(.+\\)" "$art/e2.txt"
sed -n 's/^E2 - .*(\(.*\))\r*$/E2 message: \1/p' "$art/e2.txt"

fi

if section "F1 (settings server unregistered)"; then
reset_install
w regsvr32 /s /u "$ibin\\brmkVTPSettings.dll"
launch
drive Warning click:OK f1
finish
w regsvr32 /s "$ibin\\brmkVTPSettings.dll"
check "F1 unregistered: report" grep -qE "^F1 - Checking Vantra Pro Settings Library availability \\(.+\\)" "$art/f1.txt"
sed -n 's/^F1 - .*(\(.*\))\r*$/F1 message: \1/p' "$art/f1.txt"
expect_opened "F1 unregistered/OK (no settings object: English)" "$inst/lang/chkfail-EN.txt"

fi

if section "F1 failing with the server's own description; the server reports DE"; then
reset_install
printf 'Language=DE\r\nFailSlot42=The settings database is damaged\r\n' > "$inst/bin/brmkVTPSettings.cfg"
launch
drive Warning click:OK f1-desc
finish
eq "F1: the server's description" "$(dialog_text f1-desc)" "$(report_text "F1 - Checking Vantra Pro Settings Library availability" "The settings database is damaged")"
expect_opened "F1/OK, server reports DE" "$inst/lang/chkfail-DE.txt"

fi

if section "F2 (engine unregistered); an unknown language code falls back to English"; then
reset_install
printf 'Language=XX\r\n' > "$inst/bin/brmkVTPSettings.cfg"
w regsvr32 /s /u "$ibin\\brmkVTPEngine.dll"
launch
drive Warning click:OK f2
finish
w regsvr32 /s "$ibin\\brmkVTPEngine.dll"
check "F2 unregistered: report" grep -qE "^F2 - Checking Vantra Pro Engine availability \\(.+\\)" "$art/f2.txt"
expect_opened "F2/OK, unknown code" "$inst/lang/chkfail-EN.txt"

fi

if section "no failure file at all: the four-language box, no launch"; then
reset_install
rm -f "$inst/lang/"chkfail-*.txt
set_cfg Check wrong
launch
drive Vantra click:OK fallback
finish
t=$(dialog_text fallback)
check "fallback: English paragraph first" grep -qF "Vantra Pro can not be started since some components are missing. By default, the text file CHKFAIL.TXT" <<<"$t"
eq "fallback: four paragraphs name CHKFAIL.TXT" "$(grep -o CHKFAIL.TXT <<<"$t" | wc -l)" 4
check "fallback: German paragraph in Windows-1252" grep -qaF "$(printf 'w\xfcrde')" <<<"$t"
check "fallback: ends with the download address" grep -qE $'\r\n\r\n\r\n\r\nhttp://[^ ]+$' <<<"$t"
expect_not_started "fallback"; expect_not_opened "fallback"

fi

if section "main program missing: the shell's failure in an error box"; then
reset_install
set_cfg EXEFile_Exec 'bin\missing.exe'
launch /a
drive Vantra click:OK shell-fail
finish
check "shell failure: program, arguments and the system's text with its code" \
  grep -qE "^text=$(printf '%s' "$ibin" | sed 's/\\/\\\\/g')\\\\missing\.exe \(/a\): .*\(rc: [0-9]+\)$" "$art/shell-fail.txt"
sed -n 's/^text=/shell failure text: /p' "$art/shell-fail.txt"; echo

fi

if section "the launcher in German (language code DEU): module built, texts translated"; then
reset_install
set_lang DEU
echo stale > "$temp/VantraProLang/stale.dll"
launch /a
finish
expect_started "German, all pass" "/a" 1
debug_lines > "$art/debug-german.txt"
exe_name="$(winpath "$launcher")"
eq "German: exactly the two debug lines of the localizer" "$(cat "$art/debug-german.txt")" \
   "{Norv ODS} VTP Loc starting for $exe_name {END}"$'\n'"{Norv ODS} VTP Loc ended for $exe_name {END}"
# Wine lets G1 delete the loaded module (Windows refuses); it then goes when the process ends.
eq "German: nothing but the module left after the run" \
   "$(cd "$temp/VantraProLang" && find . -maxdepth 1 -type f ! -name brmkVTPStart.DEU | paste -sd' ')" ""

fi

if section "German: after G1 the translated module is the only file in the temporary language folder"; then
# The shell's error box for a missing main program holds the launcher after G1.
reset_install
set_lang DEU
set_cfg EXEFile_Exec 'bin\missing.exe'
launch
w "$driver" Vantra none "$(winpath "$art/german-after-g1.txt")" 60000 >/dev/null
eq "German: after G1 the module is the only file left there" \
   "$(cd "$temp/VantraProLang" && find . -maxdepth 1 -type f | sort | paste -sd' ')" "./brmkVTPStart.DEU"
cp "$temp/VantraProLang/brmkVTPStart.DEU" "$art/brmkVTPStart.DEU.module" 2>/dev/null
drive Vantra click:OK german-after-g1-ok
finish
check "German: the module is a PE library with the German settings record" /usr/bin/python3 -c '
import sys, pefile
pe = pefile.PE(sys.argv[1])
names = [str(e.name) for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 10 for e in t.directory.entries]
data = None
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    if t.id != 10: continue
    for e in t.directory.entries:
        if str(e.name) == "QLX_LIBSETTINGS_":
            d = e.directory.entries[0].data.struct
            data = pe.get_data(d.OffsetToData, d.Size)
ok = pe.is_dll() and data is not None and data[:4] == b"LDLL" and data[8:10] == b"\x07\x04"
ok = ok and "QLX_LOC_LANGS_" not in names and "QLX_EXESETTINGS_" not in names
sys.exit(0 if ok else 1)' "$art/brmkVTPStart.DEU.module"

fi

if section "German: the failure report shows the German texts"; then
reset_install
set_lang DEU
set_cfg Check wrong
launch
w "$driver" Warning none "$(winpath "$art/a2-german.txt")" 60000 >/dev/null
check "German: translated module in the temporary language folder while the report shows" \
  test -s "$temp/VantraProLang/brmkVTPStart.DEU"
drive Warning click:\&Abort a2-german-abort
finish
eq "German: report text" "$(dialog_text a2-german)" \
   "$(report_text_de "A2 - Prüfe Verfügbarkeit von System.cfg" "Check Value inside SYSTEM.CFG is incorrect")"
eq "German, failed at A2: two debug lines" "$(debug_lines | wc -l)" 2
expect_not_started "German A2/Abort"

fi

if section "German: a D step names the full path inside the translated description"; then
reset_install
set_lang DEU
set_cfg SysFile_BPL_VCL1 'bin\missing.bpl'
launch
drive Warning click:\&Abort d1-german
finish
check "German D1: translated description with the path" \
  grep -qaF "D1 - $(printf 'Prüfe' | cp1252) $ibin\\missing.bpl auf $(printf 'Verfügbarkeit' | cp1252) (Can't load package" "$art/d1-german.txt"

fi

if section "German language file missing: one error box naming LNG_SwitchExt, then English"; then
reset_install
set_lang DEU
rm -f "$inst/lang/brmkVTPStart.DEU.lng"
set_cfg Check wrong
launch
drive Vantra click:OK loc-missing
drive Warning click:\&Abort loc-missing-report
finish
t=$(dialog_text loc-missing)
check "missing file: the localizer's report" grep -qF "An error occurred while trying to apply the translation to this application, we are sorry." <<<"$t"
check "missing file: step LNG_SwitchExt" grep -qF "${CRLF}Step: LNG_SwitchExt${CRLF}" <<<"$t"
check "missing file: the localizer's message" grep -qE "^Error: Language \".+\" is not found"$'\r'"?$" <<<"$t"
check "missing file: language code and folders" grep -qF "${CRLF}Lang Code: DEU${CRLF}Lang Folder: $(winpath "$inst")\\lang\\${CRLF}" <<<"$t"
check "missing file: the module folder" grep -qE "${CRLF}DLL Folder: [A-Z]:.*\\\\VantraProLang\\\\${CRLF}" <<<"$t"
eq "missing file: then the report in English" "$(dialog_text loc-missing-report)" \
   "$(report_text "A2 - Checking System.cfg availability" "Check Value inside SYSTEM.CFG is incorrect")"
check "missing file: the error is in the debug output" grep -qF "{Norv ODS} VTP Loc - Error: An error occurred" "$work/launcher.err"
eq "missing file: the start and the end line" "$(debug_lines | grep -cE '^\{Norv ODS\} VTP Loc (starting|ended) for ')" 2
expect_not_started "missing file/Abort"

fi

if section "module folder cannot be made: LNG_TempDirSet"; then
reset_install
set_lang DEU
: > "$temp/vtpblock"
set_cfg Lang-TempFolderName 'vtpblock\sub\'
launch
drive Vantra click:OK loc-nofolder
drive Warning click:\&Abort loc-nofolder-report
finish
t=$(dialog_text loc-nofolder)
check "no module folder: step LNG_TempDirSet" grep -qF "${CRLF}Step: LNG_TempDirSet${CRLF}" <<<"$t"
check "no module folder: the path in the message" grep -qE "^Error: Specified path \".*vtpblock\\\\sub.*\" does not exist" <<<"$t"
check "no module folder: G1 then fails in English" grep -q "^G1 - Checking Temporary folder for language files (" "$art/loc-nofolder-report.txt"
set_lang ""

fi

if section "A1 (base folder missing)"; then
reset_install
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Norv Systems\\Vantra Pro\\CurrentVersion]\r\n"App Dir"="C:\\\\NoSuchFolder\\\\Vantra"\r\n' > "$work/a1.reg"
w regedit /S "$(winpath "$work/a1.reg")"
launch
drive "$(winpath "$launcher")" click:OK a1
finish
"$root/fixtures/setup-prefix.sh" "$arch" "$WINEPREFIX" "$inst" ""
check "A1: no failure file below a missing base: the four-language box (caption: the program's file name)" grep -qF "CHKFAIL.TXT" "$art/a1.txt"
expect_not_started "A1"

fi
echo
echo "e2e: $passes passed, $fails failed; artifacts in $art"
[ "$fails" -eq 0 ]
