#!/usr/bin/env bash
# The Debian package as a school gets it: made by CPack from this build, unpacked with
# dpkg-deb into a temporary root and run from there: varnel-hwp on a document, and the
# launcher starting the editor on the local store on a virtual display.
#   package_test.sh BUILD SOURCE CPACK VERSION
set -euo pipefail
build=$1 source=$2 cpack=$3 version=$4

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is not installed, so no Debian package can be made here"
  exit 77
fi

work=$(mktemp -d /tmp/varnel-package-test.XXXXXX)
xvfb_pid="" launcher_pid=""
cleanup() {
  if [ -n "$launcher_pid" ]; then
    for child in $(pgrep -P "$launcher_pid" || true); do kill "$child" 2>/dev/null || true; done
    kill "$launcher_pid" 2>/dev/null || true
    wait "$launcher_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
check() { local what=$1; shift; "$@" || fail "$what"; }

# The package, into a folder of the test's own (the build folder's package stays as it is).
started=$(date +%s)
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not make the package"; }
debs=("$work"/out/varnel_"$version"_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no varnel_${version}_*.deb in $work/out"
echo "made $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB) in $(($(date +%s) - started)) s"

if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian found errors"; }
fi

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 qt6-base-abi libzip4 libgsf-1-114 libspng0 fonts-nanum fonts-lmodern qt6-qpa-plugins breeze-icon-theme; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

# Everything lies below /opt/korvane/telquin and /usr; nothing is put where users keep data.
if dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -Ev '^\./((opt(/korvane(/telquin(/.*)?)?)?/?)|usr/.*)?$'; then
  fail "the package puts files outside /opt/korvane/telquin and /usr"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
opt=$root/opt/korvane/telquin
for program in varnel varnel-launcher varnel-hwp varnel-export urk/Fennick urk/Tolvard; do
  [ -x "$opt/$program" ] || fail "no program $program in the install folder"
done
[ -s "$opt/urk/hwp_format/sf_exam_format.hwp" ] || fail "no templates in urk/hwp_format"
[ -s "$opt/urk/image/obj_y.png" ] || fail "no button pictures in urk/image"
for command in varnel-launcher varnel-hwp varnel-export; do
  [ "$(readlink "$root/usr/bin/$command")" = "/opt/korvane/telquin/$command" ] ||
    fail "/usr/bin/$command does not lead to the install folder"
  [ -s "$root/usr/share/man/man1/$command.1.gz" ] || fail "no manual page for $command"
done
app=com.korvane.Varnel
for file in applications/$app.desktop metainfo/$app.metainfo.xml icons/hicolor/scalable/apps/$app.svg \
            icons/hicolor/48x48/apps/$app.png icons/hicolor/256x256/apps/$app.png doc/varnel/copyright; do
  [ -s "$root/usr/share/$file" ] || fail "no /usr/share/$file"
done
if command -v desktop-file-validate >/dev/null 2>&1; then
  check "the desktop entry is not valid" desktop-file-validate "$root/usr/share/applications/$app.desktop"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  check "the AppStream data is not valid" appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null
fi
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app.desktop")
[ "$exec_line" = "varnel-launcher --local" ] || fail "the desktop entry runs \"$exec_line\""

# The programs as installed find their install folder here instead of in /opt.
export VARNEL_PROGRAM_FILES=$root/opt XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export VARNEL_CHANNEL_TAG=package$$ QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"

[ "$("$opt/varnel-hwp" --version)" = "varnel-hwp $version" ] || fail "varnel-hwp --version"
# A document written by the HWP word processor when the samples are there, else the
# package's own template.
document=$opt/urk/hwp_format/sf_exam_format.hwp
if [ -f "$source/../shared/hwp-samples/lists.hwp" ]; then document=$source/../shared/hwp-samples/lists.hwp; fi
"$opt/varnel-hwp" text "$document" >"$work/text.txt" || fail "varnel-hwp text $document"
if [ "$document" != "$opt/urk/hwp_format/sf_exam_format.hwp" ]; then
  [ -s "$work/text.txt" ] || fail "varnel-hwp text printed nothing for $document"
fi
"$opt/varnel-hwp" image -o "$work/images" --pages 1 --dpi 100 "$document" || fail "varnel-hwp image $document"
name=$(basename "$document" .hwp)
image=$(ls "$work/images/$name"-*1.png 2>/dev/null | head -1)
[ -n "$image" ] && [ "$(head -c 8 "$image" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  fail "varnel-hwp image wrote no PNG of page 1"

# The launcher as the desktop entry starts it, on a virtual display.
unset QT_QPA_PLATFORM
display=""
for n in $(seq 120 160); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free display number for Xvfb"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
"$opt/varnel-launcher" --local >"$work/launcher.log" 2>&1 &
launcher_pid=$!
shown=""
for _ in $(seq 600); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Varnel"'; then shown=yes; break; fi
  kill -0 "$launcher_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$shown" ] || { cat "$work/launcher.log"; fail "the editor's window did not appear"; }
[ -d "$XDG_DATA_HOME/korvane/telquin/0/0" ] || fail "the local workspace (school 0, user 0) was not made"
editor=$(pgrep -P "$launcher_pid" || true)
[ -n "$editor" ] && [ "$(readlink "/proc/$editor/exe")" = "$opt/varnel" ] || fail "the launcher did not start $opt/varnel"
kill -TERM "$editor"
status=0
wait "$launcher_pid" || status=$?
launcher_pid=""
[ "$status" -ne 2 ] || { cat "$work/launcher.log"; fail "the launcher refused to start"; }
echo "ran from the unpacked package: varnel-hwp text and image of $(basename "$document"), the editor on $display"
