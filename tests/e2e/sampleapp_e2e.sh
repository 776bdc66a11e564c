#!/usr/bin/env bash
# End-to-end test of the sample application on screen: driven by keyboard through its Language
# menu under Wine (fixtures/sampleapp/drive.sh), its windows read by the window driver after
# each switch. Screenshots and the texts read stay in BUILD_DIR/e2e-sampleapp as artifacts.
#   sampleapp_e2e.sh ARCH BUILD_DIR
source "$(dirname "$0")/e2e_common.sh"
art=$build/e2e-sampleapp
rm -rf "$art"
mkdir -p "$art"
xout=$("$root/cmake/xdisplay" 1024x768) || exit 1
read -r DISPLAY xvfb_pid <<<"$xout"
export DISPLAY
export WINEPREFIX=$art/prefix
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

fails=0
check() { # check DESCRIPTION FILE LINE
  if grep -qxF -- "$3" "$2" 2>/dev/null; then printf 'ok   %s\n' "$1"; else
    fails=$((fails + 1)); printf 'FAIL %s: no line %q in %s\n' "$1" "$3" "$2"; fi
}
"$root/fixtures/sampleapp/drive.sh" "$arch" "$build" "$art" || { echo "FAIL the driver could not read every step"; fails=$((fails + 1)); }
check "starts in English" "$art/sampleapp-en.txt" "TMAINFORM.text=Sample application"
check "English list" "$art/sampleapp-en.txt" "TMAINFORM/LISTBOX[0].items[0]=Recent files"
check "German by the menu" "$art/sampleapp-de.txt" "TMAINFORM.text=Beispielanwendung"
check "German button" "$art/sampleapp-de.txt" "TMAINFORM/BUTTON[1].text=Öffnen"
check "German list" "$art/sampleapp-de.txt" "TMAINFORM/LISTBOX[0].items[1]=Eine zuletzt geöffnete Datei öffnen"
check "German combo" "$art/sampleapp-de.txt" "TMAINFORM/COMBOBOX[0].items[1]=Nach Größe"
check "French by the menu" "$art/sampleapp-fr.txt" "TMAINFORM.text=Application d'exemple"
check "French frame" "$art/sampleapp-fr.txt" "TMAINFORM/TADDRESSFRAME[0]/STATIC[0].text=Rue"
check "pseudo language by the menu" "$art/sampleapp-qps.txt" "TMAINFORM.text=[Såmþlé åþþlîçåtîöñ·······]"
check "pseudo list" "$art/sampleapp-qps.txt" "TMAINFORM/LISTBOX[0].items[0]=[Réçéñt fîlés·····]"
check "back to English" "$art/sampleapp-en-again.txt" "TMAINFORM.text=Sample application"
if cmp -s "$art/sampleapp-en.txt" "$art/sampleapp-en-again.txt"; then echo "ok   English again as at the start"; else
  fails=$((fails + 1)); echo "FAIL English again differs from the start"; diff "$art/sampleapp-en.txt" "$art/sampleapp-en-again.txt" | head; fi
for p in en de fr qps en-again; do
  [ -s "$art/sampleapp-$p.png" ] && echo "ok   screenshot sampleapp-$p.png" || { fails=$((fails + 1)); echo "FAIL no screenshot $p"; }
done
echo "artifacts: $art"
[ "$fails" -eq 0 ]
