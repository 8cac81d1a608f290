# Sourced by the scripts that run the Windows build under Wine: a private
# prefix with the emulated platform registered, set up once per build tree
# and copied for each run (hard links for the files Wine only reads, so a
# copy takes a fraction of a second).

# The Windows build that runs under Wine: the x86-64 one, since the 64-bit
# Wine installed here runs no 32-bit programs. The template prefix lives
# there too.
CALDROSE_WINDOWS_BUILD=${CALDROSE_WINDOWS_BUILD:-$CALDROSE_ROOT/build/windows-x64}
# What the prefix holds of the build, in C:\caldrose (the registration
# names caldrose_platform.dll there).
CALDROSE_WINDOWS_FILES=(caldrose.exe Verrick.exe caldrose_platform.dll mapi32.dll activeds.dll caldrose-report.exe)

# A quiet, headless Wine: no Mono or Gecko prompts, no debugger on a crash
# (a crash must show as an exit code), no window system.
# The prefix's width follows the build's: a 32-bit build runs only where a
# 32-bit Wine (wine32:i386) is installed and the kernel runs 32-bit code.
caldrose_wine_environment() {
  local arch=win64
  if [[ $(objdump -f "$CALDROSE_WINDOWS_BUILD/caldrose.exe" 2>/dev/null) == *pei-i386* ]]; then
    arch=win32
  fi
  export WINEARCH=$arch WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
}

# Sets the template prefix up unless it is already set up for this
# registration and this Wine; prints its path.
caldrose_wine_template() {
  local template=$CALDROSE_WINDOWS_BUILD/wine-template
  local registration=$CALDROSE_WINDOWS_BUILD/caldrose_platform.reg
  local stamp
  stamp="$(wine --version) $(sha256sum <"$registration" | cut -d' ' -f1)"
  if [[ -f $template/caldrose.stamp && $(<"$template/caldrose.stamp") == "$stamp" ]]; then
    echo "$template"
    return 0
  fi
  rm -rf "$template"
  mkdir -p "$template/drive_c/caldrose"
  (
    caldrose_wine_environment
    export WINEPREFIX=$template
    wineboot -i </dev/null >/dev/null 2>&1
    regedit /S "$(winepath -w "$registration" 2>/dev/null)" </dev/null >/dev/null 2>&1
    # The registry reaches the prefix's files when the server ends.
    wineserver -w
  )
  echo "$stamp" >"$template/caldrose.stamp"
  echo "$template"
}

# caldrose_wine_copy TEMPLATE DEST: a prefix of its own for one run, with
# the build's current files in C:\caldrose.
caldrose_wine_copy() {
  local template=$1 dest=$2 file
  mkdir -p "$dest"
  cp -al "$template/drive_c" "$dest/"
  # The registry and the drive links are written to: real copies.
  cp -a "$template"/*.reg "$template/dosdevices" "$dest/"
  [[ -e $template/.update-timestamp ]] && cp -a "$template/.update-timestamp" "$dest/"
  rm -rf "$dest/drive_c/caldrose"
  mkdir -p "$dest/drive_c/caldrose"
  for file in "${CALDROSE_WINDOWS_FILES[@]}"; do
    cp "$CALDROSE_WINDOWS_BUILD/$file" "$dest/drive_c/caldrose/"
  done
}

# A private copy of the template prefix for the calling script, in
# WINEPREFIX with the quiet environment; it and its Wine server are gone
# when the script exits.
caldrose_wine_private_prefix() {
  caldrose_wine_environment
  local template
  template=$(caldrose_wine_template)
  CALDROSE_WINE_WORK=$(mktemp -d "${TMPDIR:-/tmp}/caldrose-wine.XXXXXX")
  export WINEPREFIX=$CALDROSE_WINE_WORK/prefix
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$CALDROSE_WINE_WORK"' EXIT
  caldrose_wine_copy "$template" "$WINEPREFIX"
}
