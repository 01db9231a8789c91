#!/bin/sh
# Installs the .deb that `make package` built, runs the installed program as
# an ordinary user under Xvfb (first start, a conversion through the
# automation script, a RealVideo input through the installed host program, a
# DVD-target conversion into a DVD-Video folder through the installed image
# library), then removes the package and checks that nothing it installed is
# left. Needs root for dpkg and for the test user; without it the test is
# skipped (exit 77).
#
#   tests/install/package_install_test.sh [PACKAGE.deb]
set -eu

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing a package needs root"
    exit 77
fi

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
deb=${1:-$(ls "$source_dir"/build-package/zarvo-video-converter_*.deb 2>/dev/null | tail -n 1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "no package: run 'make package' first"
    exit 1
fi
package=zarvo-video-converter
folder=/usr/lib/zarvo-video-converter
user=zarvo-install-test
work=$(mktemp -d /tmp/zarvo-install-XXXXXX)
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {
    description=$1
    shift
    if "$@"; then echo "ok: $description"; else fail "$description"; fi
}
cleanup() {
    # Purged, not only removed: a removed package's maintainer scripts stay
    # behind in dpkg's database, and the next run would find it there.
    dpkg --purge "$package" >/dev/null 2>&1 || true
    if id "$user" >/dev/null 2>&1; then userdel -r "$user" >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

if dpkg-query -W -f '${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    echo "$package is installed already; remove it before this test"
    exit 1
fi

# apt resolves the Depends from Debian's archive, as a user's install would.
apt-get install -y -qq --no-install-recommends "$(readlink -f "$deb")" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
dpkg -L "$package" | sort >"$work/installed"
echo "installed files:"
sed 's/^/    /' "$work/installed"

check "launcher on the PATH" test -x /usr/bin/zarvo-video-converter
check "encoder tool on the PATH" test -x "$(command -v zarvo-mpegenc)"
check "converter on the PATH" test -x "$(command -v zarvo-convert)"
check "the converter's manual page" test -s /usr/share/man/man1/zarvo-convert.1.gz
for name in ZarvoVideoConverter zarvo-convert libkorvan.so zarvo-mpegenc tobrin merrow libzarvo_messages.so \
    libFoxImager.so libFoxBurner.so libpnen3260.so AviProfile.ini DVDProfile.ini help/help.htm \
    DVDMainMenu.jpg per-user-settings; do
    check "$name in the program folder" test -e "$folder/$name"
done
check "desktop entry is valid" \
    desktop-file-validate /usr/share/applications/org.zarvo.VideoConverter.desktop
check "AppStream metainfo is valid" \
    appstreamcli validate --no-net /usr/share/metainfo/org.zarvo.VideoConverter.metainfo.xml
for size in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
    check "icon $size" test -n "$(ls /usr/share/icons/hicolor/$size/apps/org.zarvo.VideoConverter.* 2>/dev/null)"
done
ls -lR "$folder" >"$work/folder-before"

useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() {
    runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
as_user mkdir -p "$home/my videos"
as_user ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=duration=2 -shortest -c:v mpeg4 -c:a mp3 "$home/my videos/first clip.avi"
printf 'browse\t%s\ntarget 0\nprofile 0\nconvert\nstate\nquit\n' \
    "$home/my videos/first clip.avi" >"$work/convert.script"
chmod 644 "$work/convert.script"
chmod 755 "$work"

run_script() {
    as_user ZARVO_SCRIPT="$1" ZARVO_STATE="$home/state.json" \
        xvfb-run -a -s "-screen 0 1024x768x24" zarvo-video-converter >"$work/run.log" 2>&1 ||
        { cat "$work/run.log"; fail "the program ended with an error"; }
}

run_script "$work/convert.script"
check "window title" grep -q '"title": *"Zarvo Video Converter 2.10"' "$home/state.json"
check "settings in the user's folder" grep -qx "exportfolder=$home/ZarvoExport/" \
    "$home/.config/zarvo/zarvo.ini"
check "profiles seeded into the user's folder" cmp -s "$folder/AviProfile.ini" \
    "$home/.config/zarvo/AviProfile.ini"
check "converted into the export folder" test -s "$home/ZarvoExport/first clip.avi"
check "the converted file decodes" sh -c "ffmpeg -v error -i '$home/ZarvoExport/first clip.avi' -f null - 2>&1 | \
    (! grep -q .)"
check "no failed input" grep -q '"failed": *\[\]' "$home/state.json"

# The same conversion from the command line, without a display: the user's
# settings and profiles, and a name of its own beside the window's output.
as_user zarvo-convert --target avi "$home/my videos/first clip.avi" >"$work/convert.log" 2>&1 ||
    { cat "$work/convert.log"; fail "zarvo-convert ended with an error"; }
check "converted from the command line" test -s "$home/ZarvoExport/first clip (2).avi"

as_user ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=duration=2 -shortest -c:v rv20 -c:a ac3 -f rm "$home/my videos/real clip.rm"
printf 'browse\t%s\ntarget 1\nprofile 0\nconvert\nstate\nquit\n' \
    "$home/my videos/real clip.rm" >"$work/real.script"
chmod 644 "$work/real.script"
run_script "$work/real.script"
check "RealVideo converted through the installed host" test -s "$home/ZarvoExport/real clip.mpg"
check "the job file in the user's folder" test -f "$home/.config/zarvo/Tobrin.ini"
check "no failed RealVideo input" grep -q '"failed": *\[\]' "$home/state.json"

# A DVD target ends in a DVD-Video folder made by the installed image
# library, from a description written to the user's folder.
printf 'browse\t%s\ntarget 4\nprofile 0\nconvert\nstate\nquit\n' \
    "$home/my videos/first clip.avi" >"$work/dvd.script"
chmod 644 "$work/dvd.script"
run_script "$work/dvd.script"
check "DVD description in the user's folder" grep -q '^Selections=0' \
    "$home/.config/zarvo/dvdimage.ini"
check "DVD-Video folder made" test -s "$home/ZarvoExport/DVD/VIDEO_TS/VIDEO_TS.IFO"
check "the DVD's title decodes" sh -c "ffmpeg -v error -i '$home/ZarvoExport/DVD/VIDEO_TS/VTS_01_1.VOB' \
    -f null - 2>&1 | (! grep -q .)"
check "no failed DVD input" grep -q '"failed": *\[\]' "$home/state.json"

ls -lR "$folder" >"$work/folder-after"
check "nothing written into the program folder" cmp -s "$work/folder-before" "$work/folder-after"

dpkg -r "$package" >/dev/null
left=$(while read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then echo "$path"; fi
done <"$work/installed")
check "every installed file removed${left:+ (left: $left)}" test -z "$left"
check "program folder removed" test ! -e "$folder"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
