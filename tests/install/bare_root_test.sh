#!/bin/sh
# The packages as a new user meets them: a bare Debian root (mmdebstrap, minbase, from the
# Debian archive apt is configured with) in which `apt install ./rigkit_*.deb` must give
# running programs, and `apt install ./librigkit-dev_*.deb` all that a host needs to build
# against them, with CMake's find_package and with pkg-config.
#
#   bare_root_test.sh DEB_DIR CONSUMER_DIR SCENE CACHE_DIR WORK_DIR
#
# SCENE is played by the installed runner: one with text, which needs a font.
#
# The root, with the compiler and build tools a host's build brings of its own, is made
# once and kept as a tarball in CACHE_DIR, with apt's lists and downloaded packages; delete
# the folder to start afresh. Exits 77 (a skip) when it cannot run here: not root, no
# mmdebstrap, or no Debian archive to reach.

set -eu

debs=$1 consumer=$2 scene=$3 cache=$4 work=$5
skip() { echo "skipped: $*"; exit 77; }
started=$(date +%s)
phase() { echo "-- $(($(date +%s) - started)) s: $*"; }

[ "$(id -u)" = 0 ] || skip "making and entering a root needs root"
for tool in mmdebstrap unshare chroot; do
  command -v $tool >/dev/null || skip "$tool is not installed"
done

# The Debian archives apt uses here, as sources lines; the first one's suite names the root.
arch=$(dpkg --print-architecture)
sources=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
            'Identifier: Packages' 'Origin: Debian' "Architecture: $arch" | sort -u)
[ -n "$sources" ] || skip "apt is configured with no Debian archive"
suite=$(echo "$sources" | awk '$2 !~ /-/ {print $2; exit}')
[ -n "$suite" ] || suite=$(echo "$sources" | awk '{print $2; exit}')
uri=$(echo "$sources" | awk -v s="$suite" '$2 == s {print $1; exit}')
mkdir -p "$cache"
/usr/lib/apt/apt-helper -o Acquire::http::Timeout=15 -o Acquire::Retries=0 -o APT::Sandbox::User=root \
  download-file "${uri}dists/$suite/InRelease" "$cache/InRelease" >/dev/null 2>&1 ||
  skip "the Debian archive $uri cannot be reached"

tools="g++,make,cmake,pkg-config"
key=$(printf '%s\n%s\n%s\n' "$sources" "$tools" "$arch" | sha256sum | cut -c1-12)
tarball="$cache/$suite-minbase-$key.tar"
if [ ! -f "$tarball" ]; then
  phase "making the bare root ($suite, minbase, with $tools) into $tarball"
  echo "$sources" | awk '{print "deb " $1 " " $2 " " $3}' > "$cache/sources.list"
  mmdebstrap --quiet --format=tar --variant=minbase --include="$tools" "$suite" "$tarball.part" - < "$cache/sources.list"
  mv "$tarball.part" "$tarball"
fi

# What goes into the root, staged beside it.
rm -rf "$work"
mkdir -p "$work/root" "$work/stage" "$cache/lists/partial" "$cache/archives/partial"
cp "$debs"/rigkit_*.deb "$debs"/librigkit-dev_*.deb "$work/stage/"
cp -r "$consumer" "$work/stage/consumer"
cp "$scene" "$work/stage/scene.json"

cat > "$work/stage/inside.sh" <<'EOF'
set -eu
export DEBIAN_FRONTEND=noninteractive
cd /tmp/rigkit
start=$(date +%s)
step() { echo "-- $(($(date +%s) - start)) s in the root: $*"; }
step "apt-get update"
apt-get update -qq
# Without what the packages only recommend: what they depend on must be enough.
step "apt install ./rigkit_*.deb"
apt-get install -y -qq --no-install-recommends ./rigkit_*.deb >/dev/null
rigkit-run --version
rigkit-run --list | head -n 1
rigkit-run --summary --out /tmp/rigkit/out scene.json | tail -n 1

step "apt install ./librigkit-dev_*.deb"
apt-get install -y -qq --no-install-recommends ./librigkit-dev_*.deb >/dev/null
for package in rigkit librigkit-dev; do
  test -s /usr/share/doc/$package/copyright || { echo "no copyright file for $package"; exit 1; }
done

step "find_package(rigkit)"
cmake -S consumer -B build-cmake >/dev/null
cmake --build build-cmake >/dev/null
build-cmake/consumer

step "pkg-config rigkit"
flags=$(pkg-config --cflags --libs rigkit)
plugin=$(pkg-config --variable=plugin rigkit)
echo "$flags $plugin"
case "$flags $plugin" in *..*) echo "pkg-config gives paths that are not plain"; exit 1 ;; esac
headers=$(cd /usr/include/rigkit && find . -name '*.h' | sed 's|^\./||' | sort)
for h in $headers; do echo "#include \"$h\""; done > all_headers.cpp
g++ -std=c++17 -o consumer-pc consumer/consumer.cpp all_headers.cpp $flags -ldl \
    -DRIGKIT_PLUGIN="\"$plugin\"" -DHEADER_COUNT=$(echo "$headers" | wc -l)
./consumer-pc
step "done"
EOF

# A mount namespace of its own: the mounts go when the test ends, however it ends. With
# memory to spare the root lives in memory, and goes with them at once; on disk, the
# next run deletes it.
phase "unpacking the root"
available_kb=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
unshare --mount --fork sh -eu -c '
  root=$1 stage=$2 cache=$3 tarball=$4 in_memory=$5
  [ "$in_memory" = 0 ] || mount -t tmpfs -o size=4g rigkit-bare-root "$root"
  tar -xf "$tarball" -C "$root"
  cp -r "$stage" "$root/tmp/rigkit"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # The root is thrown away after the test: dpkg need not wait for its files to reach a disk.
  echo force-unsafe-io > "$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
  mount -t proc proc "$root/proc"
  mount --bind /dev/pts "$root/dev/pts"
  mount --bind "$cache/lists" "$root/var/lib/apt/lists"
  mount --bind "$cache/archives" "$root/var/cache/apt/archives"
  chroot "$root" sh /tmp/rigkit/inside.sh' \
  sh "$work/root" "$work/stage" "$cache" "$tarball" $((available_kb > 6 * 1024 * 1024))
phase "done"
