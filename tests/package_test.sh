#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian packages as a user gets them: built with cpack, checked with
# lintian, desktop-file-validate and appstreamcli, installed, used (the
# command line from a temporary folder, a consumer project built with
# find_package(Nebelkamm), the Python module), removed, and nothing of them
# left behind.
# Needs root (dpkg). Usage: tests/package_test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
bash tools/deps.sh lintian desktop-file-utils appstream dpkg-dev file

fail() { echo "FAIL: $*"; exit 1; }
quiet() { # runs a command, showing its output only when it fails
    local log
    log="$(mktemp)"
    "$@" >"$log" 2>&1 || { cat "$log"; rm -f "$log"; fail "$*"; }
    rm -f "$log"
}

rm -rf build-package/*.deb
if [ ! -f build-package/build.ninja ]; then
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DNEBELKAMM_BUILD_TESTS=OFF -DNEBELKAMM_BUILD_BENCH=OFF >/dev/null
fi
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
version="$(sed -n 's/^project(Nebelkamm VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
lib="build-package/libnebelkamm0_${version}_amd64.deb"
runtime="build-package/nebelkamm_${version}_amd64.deb"
dev="build-package/nebelkamm-dev_${version}_amd64.deb"
python="build-package/python3-nebelkamm_${version}_amd64.deb"
[ -f "$lib" ] && [ -f "$runtime" ] && [ -f "$dev" ] && [ -f "$python" ] ||
    fail "cpack made $(ls build-package/*.deb)"

# Contents: the libraries without a window in libnebelkamm0; the three
# programs, the controls' libraries, menu entry, icon, metainfo, manual
# pages in nebelkamm; headers, CMake files and the Designer plugin in -dev.
listing() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
for f in /usr/bin/nebelkamm /usr/bin/nebelkamm-cli /usr/bin/nebelkamm-gallery \
    /usr/share/applications/nebelkamm.desktop /usr/share/icons/hicolor/scalable/apps/nebelkamm.svg \
    /usr/share/metainfo/org.nebelkamm.Nebelkamm.metainfo.xml /usr/share/man/man1/nebelkamm.1.gz \
    /usr/share/man/man1/nebelkamm-cli.1.gz /usr/share/doc/nebelkamm/copyright; do
    listing "$runtime" | grep -qx "$f" || fail "$runtime lacks $f"
done
for name in model core platform io settings canvas controls; do
    case "$name" in canvas | controls) in="$runtime" ;; *) in="$lib" ;; esac
    listing "$in" | grep -q "/libnebelkamm_$name.so.0" || fail "$in lacks libnebelkamm_$name"
    listing "$dev" | grep -q "/libnebelkamm_$name.so$" || fail "$dev lacks the link for $name"
done
for f in /usr/include/nebelkamm/controls/Valedit.h /usr/include/nebelkamm/model/Version.h \
    /usr/lib/x86_64-linux-gnu/cmake/Nebelkamm/NebelkammConfig.cmake \
    /usr/lib/x86_64-linux-gnu/qt6/plugins/designer/libnebelkamm_designer.so; do
    listing "$dev" | grep -qx "$f" || fail "$dev lacks $f"
done

# The vector code runs on every x86-64: Highway's runtime, no -march.
dpkg-deb -f "$lib" Depends | grep -q "libhwy1" || fail "$lib does not depend on libhwy1"
dpkg-deb -f "$runtime" Depends | grep -q "libnebelkamm0 (= $version)" ||
    fail "$runtime does not depend on libnebelkamm0"

# A headless Dask worker: libnebelkamm0 and python3-nebelkamm pull in no Qt
# Widgets, whatever this machine has installed: their dependencies' closure.
closure() { # deb...: every package their Depends reach, by apt's index
    local direct
    direct="$(for deb in "$@"; do dpkg-deb -f "$deb" Depends; done | tr ',' '\n' |
        sed 's/[(|].*//; s/ //g' | grep -v '^libnebelkamm0$' | sort -u)"
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances $direct | grep -v '^ ' | sort -u
}
for deb in "$lib" "$python"; do
    dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets\|nebelkamm (" && fail "$deb depends on the window"
done
closure "$lib" "$python" | grep -q "^libqt6widgets6" &&
    fail "libnebelkamm0 and python3-nebelkamm pull in Qt Widgets: $(closure "$lib" "$python" | grep qt)"
closure "$lib" | grep -q "^libqt6core6" || fail "the closure misses libqt6core6: it is not looked at"

for f in /usr/lib/python3/dist-packages/nebelkamm/__init__.py \
    /usr/lib/python3/dist-packages/nebelkamm/dask.py /usr/share/doc/python3-nebelkamm/copyright; do
    listing "$python" | grep -qx "$f" || fail "$python lacks $f"
done
listing "$python" | grep -q '/usr/lib/python3/dist-packages/nebelkamm/_core\.cpython-.*\.so$' ||
    fail "$python lacks the extension"

# The checkers: lintian without errors, desktop entry and metainfo valid.
for deb in "$lib" "$runtime" "$dev" "$python"; do
    lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" ||
        fail "lintian reports errors for $deb"
done
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$runtime" "$scratch/root"
desktop-file-validate "$scratch/root/usr/share/applications/nebelkamm.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/org.nebelkamm.Nebelkamm.metainfo.xml" ||
    fail "appstreamcli validate"

# Installed and used: the module alone first, as a headless worker has it.
dpkg --purge python3-nebelkamm nebelkamm-dev nebelkamm libnebelkamm0 >/dev/null 2>&1 || true
quiet apt-get install -y -qq "$root/$lib" "$root/$python"
dpkg -s nebelkamm >/dev/null 2>&1 && fail "installing the module installed the window"
(cd "$scratch" && env -u PYTHONPATH /usr/bin/python3 -c '
import nebelkamm
print(nebelkamm.evaluate_csv(b"RelativeHumidity\n90\n").message[0] == "")' | grep -qx True) ||
    fail "the module without the programs"
quiet apt-get install -y -qq "$root/$runtime" "$root/$dev"
[ "$(/usr/bin/nebelkamm-cli --version | head -1)" = "nebelkamm-cli $version" ] || fail "--version"
/usr/bin/nebelkamm-cli --version | grep -q "^vector code: " || fail "--version names no vector code"
(cd "$scratch" && /usr/bin/nebelkamm-cli 90 37 1.02 2.4 40 7.8 41200 >out.txt) ||
    fail "a calculation with the installed command line"
grep -q "Theoretical water content at separator *7224.4  \[kg/h\]" "$scratch/out.txt" ||
    fail "the calculation printed $(cat "$scratch/out.txt")"
grep -q "PowerOnEngine=41200" "$scratch/Nebelkamm.ini" || fail "no settings file written"
quiet cmake -S tests/consumer -B "$scratch/consumer" -G Ninja
quiet cmake --build "$scratch/consumer"
QT_QPA_PLATFORM=offscreen "$scratch/consumer/consumer" | grep -qx \
    "nebelkamm $version: Theoretical water content at separator 7224.4 \[kg/h\]" ||
    fail "the consumer project"

# The Python module from outside the tree, by Debian's interpreter.
(cd "$scratch" && env -u PYTHONPATH /usr/bin/python3 -c '
import nebelkamm
out = nebelkamm.evaluate({"RelativeHumidity": [90, 150]}, inputs={"TempBeforeBlower": 37,
    "PressureBeforeBlower": 1.02, "PowerOnEngine": 41200})
print(round(out.WaterAtSeparator[0], 1), out.message[1])' >py.txt) || fail "import nebelkamm"
[ "$(cat "$scratch/py.txt")" = "7224.4 relative humidity above 100 %" ] ||
    fail "the Python module printed $(cat "$scratch/py.txt")"

# Removed without a trace.
files="$( (listing "$lib"; listing "$runtime"; listing "$dev"; listing "$python") | grep -v '/$' | sort -u)"
quiet dpkg --purge python3-nebelkamm nebelkamm-dev nebelkamm libnebelkamm0
left=""
for f in $files; do
    [ -e "$f" ] || [ -L "$f" ] && left="$left $f"
done
for d in /usr/include/nebelkamm /usr/lib/x86_64-linux-gnu/cmake/Nebelkamm /usr/share/doc/nebelkamm \
    /usr/share/doc/nebelkamm-dev /usr/share/doc/python3-nebelkamm /usr/share/doc/libnebelkamm0 \
    /usr/lib/python3/dist-packages/nebelkamm; do
    [ -e "$d" ] && left="$left $d"
done
[ -z "$left" ] || fail "left behind:$left"
echo "PASS: packages built, lint-free, the module installed without the window and used, all installed, used, removed without a trace"
