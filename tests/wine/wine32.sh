# Sourced by every Wine test that needs 32-bit programs: whether this machine can run them, decided
# one way for all of them. A kernel without 32-bit emulation cannot ("Exec format error"), a machine
# without wine32 has no loader, and QM_NO_WINE32=1 hides the loader to try a run as such a machine.
#   if wine32_runs; then ...; else echo "skipped: ...: $wine32_why"; fi
wine32_loader=/usr/lib/wine/wine
wine32_why=
wine32_runs() {
  if [ -n "${QM_NO_WINE32:-}" ] && [ "$QM_NO_WINE32" != 0 ]; then
    wine32_why="QM_NO_WINE32=$QM_NO_WINE32 hides the 32-bit Wine loader"
    return 1
  fi
  if [ ! -x "$wine32_loader" ]; then
    wine32_why="$wine32_loader is missing (the package wine32:i386 is not installed)"
    return 1
  fi
  local out
  if ! out=$("$wine32_loader" --version 2>&1); then
    wine32_why="32-bit programs do not run on this machine: $(head -1 <<<"${out:-$wine32_loader failed}" | sed "s/^.*line [0-9]*: //")"
    return 1
  fi
  return 0
}
