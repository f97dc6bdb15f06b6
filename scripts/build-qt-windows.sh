#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source package, with the
# MinGW-w64 cross compilers, once per machine:
#   scripts/build-qt-windows.sh            build if needed, print the install prefix last
#   scripts/build-qt-windows.sh --prefix   print where the prefix is (or would be), build nothing
# The result lives outside the work tree, keyed by the Qt and compiler versions, so a
# fresh clone or a deleted build tree reuses it: SERBOX_QT_WINDOWS_CACHE, by default
# ~/.cache/serbox/qt-windows. An interrupted run picks up where it stopped.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cache=${SERBOX_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/serbox/qt-windows}
step() { printf 'qt-windows: %s\n' "$*" >&2; }
die() { printf 'qt-windows: error: %s\n' "$*" >&2; exit 1; }

# Host tools (moc, rcc, uic) come from Debian's Qt, so the sources must be the same
# version as the installed qt6-base-dev.
qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null) ||
    die "qt6-base-dev is not installed (make setup installs it)"
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || die "$cxx is missing (make setup installs g++-mingw-w64-x86-64-posix)"
gcc_version=$($cxx -dumpfullversion)
# The modules and features built; part of the key, so a change builds anew.
features=(-DFEATURE_sql=OFF -DFEATURE_network=ON -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF -DFEATURE_dtls=OFF -DFEATURE_sctp=OFF
    -DFEATURE_libproxy=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_png=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF)
key="qtbase-${qt_version//[:+~]/_}-mingw${gcc_version}-$(printf '%s\n' "${features[@]}" | sha1sum | cut -c1-8)"
dir=$cache/$key
prefix=$dir/prefix

if [ "${1:-}" = --prefix ]; then
    echo "$prefix"
    exit 0
fi
if [ -e "$prefix/.complete" ]; then
    step "Qt $qt_version for Windows is built: $prefix"
    echo "$prefix"
    exit 0
fi
mkdir -p "$dir"
exec 9>"$dir.lock"
flock -n 9 || { step "another build of $key is running; waiting for it"; flock 9; }
[ -e "$prefix/.complete" ] && { echo "$prefix"; exit 0; }

# 1. The source package, through apt with a private list of deb-src entries copied
# from this machine's own Debian entries (the system's apt setup is left alone).
src=$dir/src/qtbase
if [ ! -e "$dir/src/.unpacked" ]; then
    step "1/4 fetching Debian's qt6-base $qt_version source package"
    apt=$dir/apt
    rm -rf "$apt" "$dir/src"
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$dir/src"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        # Only the entries that serve Debian's packages of the machine's own release.
        awk 'BEGIN { RS=""; ORS="\n\n" } /URIs:[^\n]*debian/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
            "$f" >"$apt/parts/$(basename "$f")"
    done
    if [ -e /etc/apt/sources.list ]; then
        grep -E '^deb[[:space:]].*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            >"$apt/parts/list.list" || true
        # A one-line-style file goes in the list, not among the parts.
        mv "$apt/parts/list.list" "$apt/sources.list"
    else
        : >"$apt/sources.list"
    fi
    grep -qs deb-src "$apt"/parts/* "$apt/sources.list" ||
        die "no Debian entry in this machine's apt sources to copy a deb-src entry from"
    opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
          -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root
          -o Debug::NoLocking=1)
    apt-get "${opts[@]}" -qq update ||
        die "could not read the source lists from the package registry (is it reachable?)"
    (cd "$dir/src" && apt-get "${opts[@]}" -qq --download-only source "qt6-base=$qt_version") ||
        die "could not fetch the qt6-base $qt_version source package from the package registry"
    dsc=$(ls "$dir"/src/qt6-base_*.dsc 2>/dev/null | head -n 1)
    [ -n "$dsc" ] || die "the qt6-base source package came without its .dsc"
    step "unpacking $(basename "$dsc")"
    (cd "$dir/src" && dpkg-source --no-check -x "$(basename "$dsc")" qtbase >/dev/null) ||
        die "could not unpack $(basename "$dsc") (dpkg-dev installed?)"
    rm -f "$dir"/src/*.tar.* "$dir"/src/*.dsc
    touch "$dir/src/.unpacked"
fi

# 2. Configure: only what serbox uses (Core, Gui, Widgets, Network without TLS,
# Test and the Windows platform plugin); no OpenGL, database, printing or D-Bus.
build=$dir/build
if [ ! -e "$build/.configured" ]; then
    step "2/4 configuring Qt for MinGW-w64 (gcc $gcc_version)"
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-compilers.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        "${features[@]}" >"$dir/configure.log" 2>&1 ||
        { tail -n 40 "$dir/configure.log" >&2; die "configuring Qt failed (whole log: $dir/configure.log)"; }
    touch "$build/.configured"
fi

# 3. Build, with a progress line every 5 %.
step "3/4 building Qt (about half an hour on 2 cores the first time; resumes if interrupted)"
jobs=${JOBS:-$(nproc)}
set +e
NINJA_STATUS='[%f/%t] ' nice ninja -C "$build" -j "$jobs" 2>&1 | awk '
    /^\[[0-9]+\/[0-9]+\] / {
        split(substr($1, 2), n, "/"); p = int(100 * n[1] / n[2])
        if (p >= next_p) { printf "qt-windows: %d%% (%s)\n", p, substr($1, 2, length($1) - 2); fflush(); next_p = p - p % 5 + 5 }
        next
    }
    { print; fflush() }' >&2
status=${PIPESTATUS[0]}
set -e
[ "$status" -eq 0 ] || die "building Qt failed; run this script again to resume"

# 4. Install into the prefix; the sources and the build tree are no longer needed.
step "4/4 installing into $prefix"
cmake --install "$build" >"$dir/install.log" 2>&1 || die "installing Qt failed (log: $dir/install.log)"
touch "$prefix/.complete"
rm -rf "$dir/src" "$build" "$dir/apt"
step "done: $prefix"
echo "$prefix"
