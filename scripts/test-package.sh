#!/usr/bin/env bash
# make test-package: the Debian package tested as installed. Run as root on
# a machine where the package may be installed and purged:
#   1. builds it (scripts/build-deb.sh; --no-build takes the quillmer_*.deb
#      already in the repository root) and installs it with apt-get;
#   2. as a new user with a fresh HOME and XDG folders in a temporary folder:
#      starts quillmer under Xvfb and waits for its main window, checks the
#      per-user program folder it laid out, converts two corpus workbooks
#      with quillmer-convert, reads both manual pages and tries the bash
#      completion;
#   3. checks that none of the user's processes is left, purges the package
#      and checks that nothing of it is left under /usr.
# The corpus is ../shared/corpus beside the repository, or $QUILLMER_CORPUS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
self=$root/scripts/test-package.sh
cd "$root"
corpus=${QUILLMER_CORPUS:-$root/../shared/corpus}
title='Quillmer - Excel to PDF Converter'
fail() { echo "test-package: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "run as root: it installs and purges the package"

if [[ ${1:-} != --no-build ]]; then
  scripts/build-deb.sh
fi
scripts/setup.sh scripts/packages-deb.txt
deb=$(ls "$root"/quillmer_*.deb 2>/dev/null | tail -n 1)
[[ -n $deb ]] || fail "no quillmer_*.deb in $root (make deb makes it)"

tmp=$(mktemp -d /tmp/quillmer-package.XXXXXX)
user=quillmer-test-$$
cleanup() {
  if id "$user" >/dev/null 2>&1; then
    for pid in $(pgrep -u "$user" || true); do kill -KILL "$pid" 2>/dev/null || true; done
    userdel "$user" 2>/dev/null || true
  fi
  if dpkg-query -W -f='${Status}' quillmer 2>/dev/null | grep -q installed; then
    apt-get purge -y -qq -o DPkg::Lock::Timeout=300 quillmer >/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb"
mapfile -t packaged < <(dpkg -L quillmer)

# The new user and everything it may read: its home, its XDG folders, the
# two workbooks and the part of this script that runs as that user.
useradd --no-create-home --home-dir "$tmp/home" --shell /bin/bash "$user"
chmod 0755 "$tmp"
mkdir -p "$tmp/home" "$tmp/xdg/run" "$tmp/tmp" "$tmp/in" "$tmp/out"
cp "$corpus/xls/poi_SampleSS.xls" "$corpus/xls/poi_SimpleWithColours.xls" "$tmp/in/"
sed -n '/^# ---- as the user ----$/,$p' "$self" > "$tmp/as-user.sh"
chown -R "$user:" "$tmp/home" "$tmp/xdg" "$tmp/tmp" "$tmp/out"
chmod 0700 "$tmp/xdg/run"
chmod -R a+rX "$tmp/in" "$tmp/as-user.sh"

runuser -u "$user" -- env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$tmp/home" \
  XDG_DATA_HOME="$tmp/xdg/data" XDG_CONFIG_HOME="$tmp/xdg/config" \
  XDG_CACHE_HOME="$tmp/xdg/cache" XDG_RUNTIME_DIR="$tmp/xdg/run" TMPDIR="$tmp/tmp" \
  TITLE="$title" IN="$tmp/in" OUT="$tmp/out" \
  xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" \
  bash "$tmp/as-user.sh"

# Dead processes that wait for init to reap them (Xvfb, after xvfb-run) do
# not count.
living() { ps -u "$user" -o pid=,stat=,args= | awk '$2 !~ /^Z/' || true; }
for _ in $(seq 1 20); do
  [[ -z $(living) ]] && break
  sleep 0.5
done
left=$(living)
[[ -z $left ]] || fail "processes of the test user were left: $left"

apt-get purge -y -qq -o DPkg::Lock::Timeout=300 quillmer >/dev/null
for path in "${packaged[@]}"; do
  [[ $path == /usr/* && ! -d $path ]] || continue
  [[ ! -e $path && ! -L $path ]] || fail "$path is left after the purge"
done
left=$(find /usr -iname '*quillmer*' -print)
[[ -z $left ]] || fail "left under /usr after the purge: $left"
echo "test-package: installed, started, converted, documented and purged cleanly"
exit 0

# ---- as the user ----
set -euo pipefail
fail() { echo "test-package (as $(id -un)): $*" >&2; exit 1; }
folder=$XDG_DATA_HOME/quillmer

# The window: the splash for four seconds, then the main window.
quillmer >"$TMPDIR/quillmer.log" 2>&1 &
pid=$!
shown=""
for _ in $(seq 1 60); do
  if xdotool search --onlyvisible --name "^${TITLE}\$" >/dev/null 2>&1; then
    shown=yes
    break
  fi
  kill -0 "$pid" 2>/dev/null || fail "quillmer ended: $(cat "$TMPDIR/quillmer.log")"
  sleep 1
done
[[ -n $shown ]] || fail "no window titled '$TITLE' within a minute"
kill -TERM "$pid"
wait "$pid" || true

# The per-user program folder, laid out at the first start.
[[ $(stat -c %a "$folder") == 700 ]] || fail "$folder is not 0700"
for file in SETTINGS.INI registry.reg; do
  [[ $(stat -c %a "$folder/$file") == 600 ]] || fail "$folder/$file is not 0600"
  cmp -s "$folder/$file" "/usr/lib/quillmer/$file" || fail "$folder/$file is no copy of the default"
done

# The command line.
quillmer-convert -o "$OUT" "$IN/poi_SampleSS.xls" "$IN/poi_SimpleWithColours.xls" ||
  fail "quillmer-convert failed"
for name in poi_SampleSS poi_SimpleWithColours; do
  [[ $(head -c 5 "$OUT/$name.pdf") == %PDF- ]] || fail "no PDF $OUT/$name.pdf"
  pages=$(pdfinfo "$OUT/$name.pdf" | sed -n 's/^Pages: *//p')
  [[ ${pages:-0} -ge 1 ]] || fail "$OUT/$name.pdf has no page"
done

# The manual pages.
MANWIDTH=80 man -P cat quillmer-convert 2>/dev/null | grep -q -- '--output-dir' ||
  fail "man quillmer-convert shows no page with its options"
MANWIDTH=80 man -P cat quillmer 2>/dev/null | tr -s ' \n' ' ' | grep -q 'Initialization file is missing' ||
  fail "man quillmer shows no page"

# The completion, as bash loads it on demand.
completions=$(bash -c '
  source /usr/share/bash-completion/bash_completion
  __load_completion quillmer-convert || exit 1
  reply() {
    COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 )); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _comp_quillmer_convert quillmer-convert "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    echo "${COMPREPLY[*]}"
  }
  reply quillmer-convert --outp
  reply quillmer-convert --paper L
')
[[ $completions == $'--output-dir\nLegal Letter' ]] || fail "completion gave: $completions"

# Offices end with the programs that started them.
for _ in $(seq 1 20); do
  pgrep -u "$(id -u)" -f soffice >/dev/null || break
  sleep 0.5
done
! pgrep -u "$(id -u)" -f soffice >/dev/null || fail "an office outlived its program"
echo "test-package: window, per-user folder, conversion, manual pages and completion as $(id -un)"
