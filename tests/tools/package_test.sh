#!/usr/bin/env bash
# The Linux package of a build: made with CPack, unpacked into a scratch root, and its program,
# manual page and bash completion run from there. Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G "DEB;TGZ" -B "$scratch/out" >"$scratch/cpack.log" ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(echo "$scratch"/out/tarvelline-cli_*_*.deb)
tgz=$(echo "$scratch"/out/tarvelline-cli_*_*.tar.gz)
[ -f "$deb" ] && [ -f "$tgz" ] || fail "no .deb and .tar.gz in $(ls "$scratch/out")"
dpkg-deb --field "$deb" Depends | grep -q 'libc6 (>=' || fail "no computed dependencies"
# The tarball holds the package's tree, file for file.
diff <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||; s|/$||' | sort) \
     <(tar -tzf "$tgz" | sed 's|^\./||; s|/$||' | sort) || fail "the tarball differs from the .deb"

dpkg -x "$deb" "$scratch/root"
cli=$scratch/root/usr/bin/tarvelline-cli
"$cli" --version | grep -qx 'tarvelline-cli [0-9]*\.[0-9]*\.[0-9]*' || fail "--version"
[ "$("$cli" list | wc -l)" -eq 115 ] || fail "list does not print 115 releases"
page=$scratch/root/usr/share/man/man1/tarvelline-cli.1.gz
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l failed"
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
MANWIDTH=80 man -l "$page" | grep -q 'tarvelline-cli convert INPUT --to ID' ||
  fail "the manual page lacks convert's usage"

# The completion offers commands, a command's options and release ids from the program itself.
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tarvelline_cli
  printf '%s\n' "${COMPREPLY[@]}"
}
# shellcheck source=/dev/null
source "$scratch/root/usr/share/bash-completion/completions/tarvelline-cli"
# grep reads to the end (no -q): bash writes COMPREPLY line by line, and a grep that left at its
# match would fail printf with a closed pipe under pipefail.
complete_words "$cli" sc | grep -x scan >/dev/null || fail "completion: commands"
complete_words "$cli" scan --j | grep -x -- --json >/dev/null || fail "completion: options"
complete_words "$cli" convert in.wad --to doom2_v1 | grep -x doom2_v19 >/dev/null || fail "completion: ids"
echo "package_test: $(basename "$deb") and $(basename "$tgz") pass"
