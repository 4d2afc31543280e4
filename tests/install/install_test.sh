#!/usr/bin/env bash
# install_test.sh CMAKE BUILD SAMPLE: installs the build into a temporary prefix and runs the
# installed programs from another folder, with the program folder writable (a per-user install)
# and then read-only: prelmat writes the job file into the configuration folder, kelvonar reads it
# there and writes my.z80 into the current folder, and nothing lands beside the programs.
set -euo pipefail
cmake=$1 build=$2 sample=$3
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$tmp/prefix" >/dev/null
expected=(bin/kelvonar bin/prelmat share/applications/kelvonar.desktop
          share/applications/prelmat.desktop share/icons/hicolor/scalable/apps/kelvonar.svg
          share/doc/kelvonar/README.md)
for program in kelvonar-play kelvonar-emu kelvonar-pack; do
    [ -x "$build/$program" ] && expected+=("bin/$program")
done
[ -x "$build/kelvonar-play" ] && expected+=(share/applications/kelvonar-play.desktop)
for entry in "$tmp"/prefix/share/applications/*.desktop; do
    grep -qx 'Icon=kelvonar' "$entry" || fail "$entry names no icon"
done
for file in "${expected[@]}"; do
    [ -e "$tmp/prefix/$file" ] || fail "$file is not installed"
done

# Root may write into any folder: the programs then run as nobody, for whom bin/ is made writable
# first and read-only after.
run=(env)
if [ "$(id -u)" = 0 ]; then
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups env)
    chmod 755 "$tmp"
fi
mkdir -m 777 "$tmp/work" "$tmp/config" "$tmp/home"
cp "$sample" "$tmp/work/clip.mp4"
chmod 644 "$tmp/work/clip.mp4"
cd "$tmp/work"
run+=(XDG_CONFIG_HOME="$tmp/config" HOME="$tmp/home")
job="$tmp/config/kelvonar/thisjob.ini"

for mode in a+w a-w; do
    chmod "$mode" "$tmp/prefix/bin"
    rm -f "$job" my.z80
    "${run[@]}" "$tmp/prefix/bin/prelmat" --defaults >out || fail "prelmat --defaults failed ($mode)"
    [ -f "$job" ] || fail "no job file in the configuration folder ($mode)"
    grep -qF "$job" out || fail "prelmat --defaults did not say where it wrote: $(cat out)"
    # A value other than the default, to see that the converter reads this very file.
    sed -i 's/^quality=0/quality=5/' "$job"
    "${run[@]}" "$tmp/prefix/bin/kelvonar" --headless --verbose --seed 3 clip.mp4 2>err ||
        fail "kelvonar failed ($mode): $(cat err)"
    grep -qF "[media] quality = 5 (job file $job)" err || fail "the job file was not read: $(cat err)"
    [ -s my.z80 ] || fail "no my.z80 in the current folder ($mode)"
    grep -qE "wrote .*/work/my.z80$" err || fail "kelvonar did not say where it wrote: $(cat err)"
    extra=$(ls "$tmp/prefix/bin" | grep -vxE 'kelvonar|prelmat|kelvonar-play|kelvonar-emu|kelvonar-pack' || true)
    [ -z "$extra" ] || fail "files beside the programs ($mode): $extra"
done
echo "install_test: installed programs use $job and ./my.z80"
