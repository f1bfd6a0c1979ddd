# Shared set-up for scripts/run, scripts/test and scripts/bench: installs what
# is missing, prepares the Wine prefix and builds. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The build the scripts run: the 32-bit one, or the 64-bit one where this
# machine runs no 32-bit programs (choose_wine tells).
ARCH=i686
BUILD=${KALVERA_BUILD:-$ROOT/build/$ARCH}

PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake ninja-build nlohmann-json3-dev
  googletest wine wine32:i386 wine64 xvfb xauth fonts-ipafont-gothic
  fonts-nanum fonts-wine locales imagemagick x11-utils xdotool zip unzip
  clang libclang-rt-14-dev
)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages and not root: $*" >&2
    exit 1
  fi
}

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    need_root "${missing[@]}"
    echo "installing: ${missing[*]}" >&2
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  # Without the glibc locale Wine silently falls back to en-US.
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
    need_root locales
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
  fi
}

# Which Wine loader starts Windows programs here, chosen once and handed
# to everything that starts one: the scripts, wineboot, winepath, ctest's
# emulator (scripts/wine) and, through WINELOADER, the processes the
# programs start. Debian's wine, wineboot and winepath start the 32-bit
# loader whenever wine32 is installed, even for a 64-bit prefix, and that
# fails where the kernel runs no 32-bit programs (IA-32 emulation off):
# there the 64-bit loader is called directly and only the 64-bit build
# runs. KALVERA_64BIT_ONLY=1 makes any machine behave so.
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
choose_wine() {
  if [ -z "${KALVERA_WINE:-}" ] || [ -z "${KALVERA_RUNS_32:-}" ]; then
    local why="" status=0
    KALVERA_RUNS_32=0
    if [ "${KALVERA_64BIT_ONLY:-}" = 1 ]; then
      why="KALVERA_64BIT_ONLY=1 is set"
    elif ! [ -x "$WINE32_LOADER" ]; then
      why="the 32-bit Wine loader $WINE32_LOADER is missing"
    else
      "$WINE32_LOADER" --version >/dev/null 2>&1 || status=$?
      case $status in
        0) KALVERA_RUNS_32=1 ;;
        126) why="this machine runs no 32-bit programs (its kernel has IA-32 emulation off)" ;;
        *) why="the 32-bit Wine loader $WINE32_LOADER fails (exit code $status)" ;;
      esac
    fi
    if [ "$KALVERA_RUNS_32" = 1 ]; then
      KALVERA_WINE=$WINE32_LOADER
    elif "$WINE64_LOADER" --version >/dev/null 2>&1; then
      KALVERA_WINE=$WINE64_LOADER
      KALVERA_NO_32_BIT=$why
      export KALVERA_NO_32_BIT
      echo "$why: only the 64-bit build runs here, under 64-bit Wine" >&2
    elif ! [ -x "$WINE32_LOADER" ] && ! [ -x "$WINE64_LOADER" ]; then
      echo "Wine is missing: neither $WINE32_LOADER nor $WINE64_LOADER can be run (Debian's wine, wine32:i386 and wine64 install them)" >&2
      exit 1
    else
      echo "$why, and the 64-bit Wine loader $WINE64_LOADER does not run: install Debian's wine64, or mend its install" >&2
      exit 1
    fi
    export KALVERA_WINE KALVERA_RUNS_32
  fi
  export WINELOADER=$KALVERA_WINE
  if [ "$KALVERA_RUNS_32" = 0 ]; then
    ARCH=x86_64
    BUILD=${KALVERA_BUILD:-$ROOT/build/$ARCH}
  fi
}

run_wine() { "$KALVERA_WINE" "$@"; }

# Builds everything, or the targets given after the folder.
configure_and_build() {
  local arch=${1:-i686} dir=${2:-$BUILD}
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" >/dev/null
  fi
  local targets=()
  for t in "${@:3}"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# The release archives of both builds and their checksums, in the folder
# given. Every entry gets the commit's time and a fixed mode, so the same
# commit gives the same bytes.
package_release() {
  local dist version epoch stage arch suffix
  dist=$(mkdir -p "$1" && cd "$1" && pwd)
  epoch=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)
  for arch in i686 x86_64; do
    configure_and_build "$arch" "$ROOT/build/$arch" Kalvera >/dev/null
    version=$(cat "$ROOT/build/$arch/version.txt")
    suffix=$([ "$arch" = i686 ] && echo win32 || echo win64)
    stage=$(mktemp -d)
    cp "$ROOT/build/$arch/app/Kalvera.exe" "$ROOT/README.md" "$ROOT/LICENSE" "$stage/"
    chmod 755 "$stage/Kalvera.exe"
    chmod 644 "$stage/README.md" "$stage/LICENSE"
    touch -d "@$epoch" "$stage"/*
    rm -f "$dist/Kalvera-$version-$suffix.zip"
    (cd "$stage" && TZ=UTC zip -q -X -D -9 "$dist/Kalvera-$version-$suffix.zip" \
      Kalvera.exe README.md LICENSE)
    rm -rf "$stage"
  done
  (cd "$dist" && sha256sum "Kalvera-$version-win32.zip" "Kalvera-$version-win64.zip" >SHA256SUMS)
}

# Starts our own X server on a free display, unless one was given.
start_xvfb() {
  if [ -n "${KALVERA_DISPLAY:-}" ]; then
    export DISPLAY=$KALVERA_DISPLAY
    return
  fi
  local fifo
  fifo=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fifo" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(tr -d '\n' <"$fifo")"
  rm -f "$fifo"
}

wine_env() {
  export WINEPREFIX=${KALVERA_PREFIX:-$BUILD/wineprefix}
  export WINEARCH=${KALVERA_WINEARCH:-$([ "$ARCH" = i686 ] && echo win32 || echo win64)}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES='mscoree,mshtml='
  export XDG_DATA_HOME=$BUILD/xdg
  export LANG=${KALVERA_LANG:-ja_JP.UTF-8}
  mkdir -p "$XDG_DATA_HOME"
}

wine_reg() { run_wine reg add "$@" /f >/dev/null 2>&1 </dev/null; }

prepare_prefix() {
  wine_env
  # A prefix of the other architecture (a 32-bit one made where 32-bit
  # programs ran) can't run this build: it is made anew.
  local made=""
  if [ -f "$WINEPREFIX/system.reg" ]; then
    made=$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" | head -1)
  fi
  if [ -n "$made" ] && [ "$made" != "$WINEARCH" ]; then
    echo "the Wine prefix $WINEPREFIX is a $made one: making it anew for $WINEARCH" >&2
    wineserver -k </dev/null >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/.kalvera-ready" ]; then
    echo "making the Wine prefix $WINEPREFIX ($WINEARCH)" >&2
    # The 64-bit loader alone says it can't open syswow64's rundll32: no
    # 32-bit part is wanted there.
    run_wine wineboot.exe -i </dev/null >/dev/null 2>&1
    wineserver -w
    # Unmanaged windows: closing a box costs ms instead of 2 s without a WM.
    wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
    local r='HKCU\Software\Wine\Fonts\Replacements'
    for face in 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'MS PGothic'; do
      wine_reg "$r" /v "$face" /t REG_SZ /d IPAPGothic
    done
    for face in 'ＭＳ ゴシック' 'MS Gothic'; do
      wine_reg "$r" /v "$face" /t REG_SZ /d IPAGothic
    done
    wineserver -w
    touch "$WINEPREFIX/.kalvera-ready"
  fi
  prepare_fonts
  prepare_user_folders
}

# A new prefix links Desktop, Documents and the other shell folders to the
# Unix home folder: whatever the tests put on the desktop would land there,
# and every prefix on the machine would share it. They become folders of the
# prefix; a file in each keeps Wine from linking an empty one again.
prepare_user_folders() {
  [ -f "$WINEPREFIX/.kalvera-folders" ] && return
  local user folder
  for user in "$WINEPREFIX"/drive_c/users/*/; do
    [ "$(basename "$user")" = Public ] && continue
    for folder in Desktop Documents Downloads Music Pictures Videos Templates; do
      if [ -L "$user$folder" ]; then
        rm "$user$folder"
      fi
      mkdir -p "$user$folder"
      touch "$user$folder/.kalvera-prefix"
    done
  done
  touch "$WINEPREFIX/.kalvera-folders"
}

# Caption buttons are drawn with Marlett, which a new prefix lacks. The
# Japanese substitutes have no Hangul: a linked font takes over for the
# characters they miss, so that Korean names draw as text, not boxes. Links
# are looked up by the family names Wine gives the substitutes, which follow
# the language (the English ones count as aliases under Japanese and the
# other way round): both are linked.
prepare_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  if [ ! -f "$WINEPREFIX/.kalvera-fontlink" ]; then
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    for family in 'IPA Pゴシック' 'IPAゴシック' IPAPGothic IPAGothic; do
      wine_reg "$link" /v "$family" /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic'
    done
    wineserver -w
    touch "$WINEPREFIX/.kalvera-fontlink"
  fi
}

# ctest waits for every process holding a test's output pipe; Wine's helper
# processes must therefore be started outside it, with their streams closed.
# The server opens the files for every Wine program: run as root, it drops
# the rights that let root write any file, so that a read-only or foreign
# file is refused as it is refused to a user.
start_wineserver() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    setpriv --bounding-set=-dac_override,-dac_read_search wineserver -p </dev/null >/dev/null 2>&1
  else
    wineserver -p </dev/null >/dev/null 2>&1
  fi
  run_wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wineserver() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
