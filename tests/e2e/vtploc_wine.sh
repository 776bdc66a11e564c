#!/usr/bin/env bash
# The tool's tests of the translators' loop (PO export and import among them), run by the host
# build's test program against this build's vtploc.exe under Wine: the same tests, the same
# expected outputs. File names reach vtploc.exe as Windows paths (Z:\...).
#   vtploc_wine.sh ARCH BUILD_DIR HOST_BUILD_DIR
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
host=$(cd "$3" 2>/dev/null && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac
tests=$host/tools/vtploc/vtploc_tests
if [ ! -x "$tests" ]; then
  echo "FAIL no host test program at $tests: build the host preset first (./run build host)"
  exit 1
fi
art=$build/e2e-vtploc-wine
rm -rf "$art"
mkdir -p "$art"
export WINEPREFIX=$art/prefix
trap '/usr/lib/wine/wineserver -k 2>/dev/null' EXIT
wrapper=$art/vtploc
cat >"$wrapper" <<WRAP
#!/usr/bin/env bash
args=()
for a in "\$@"; do
  case "\$a" in
    /*) args+=("Z:\$(printf '%s' "\$a" | sed 's|/|\\\\|g')") ;;
    *) args+=("\$a") ;;
  esac
done
exec "$root/cmake/wine-run" $arch "$build/tools/vtploc/vtploc.exe" "\${args[@]}"
WRAP
chmod +x "$wrapper"
VTPLOC_UNDER_TEST=$wrapper "$tests" --gtest_filter='Catalog.*' --gtest_color=no
