#!/usr/bin/env bash
# Installation and packaging from a configured and built build directory:
# `cmake --install` into a temporary prefix, then `cpack -G DEB` into a
# temporary directory, whose package must hold the program, the gzipped man
# page and the documents under share/doc/vantor, and depend on nothing
# beyond the C and C++ runtime and the libraries that read compressed files.
# Usage: package_test.sh BUILD_DIR [SANITIZED]
# Everything is made under one temporary directory, removed at the end.
set -eu
build=$(cd "$1" && pwd)
sanitized=${2:-0}
source=$(cd "$(dirname "$0")/.." && pwd)
docs=(README.md formats.md copyright)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Installing into a prefix.
cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; fail "cmake --install failed"; }
[ -x "$tmp/prefix/bin/vantor" ] || fail "no executable bin/vantor in the prefix"
man="$tmp/prefix/share/man/man1/vantor.1.gz"
[ -f "$man" ] || fail "no share/man/man1/vantor.1.gz in the prefix"
[ ! -e "$tmp/prefix/share/man/man1/vantor.1" ] || fail "the man page is installed uncompressed too"
gzip -dc "$man" | cmp -s - "$source/doc/vantor.1" || fail "vantor.1.gz is not doc/vantor.1"
# Reproducible: no file name (flag bit 3) and no time stamp in the header.
header=$(od -An -tu1 -j3 -N5 "$man" | tr -s ' ')
[ "$header" = " 0 0 0 0 0" ] || fail "vantor.1.gz carries a name or time stamp:$header"
for doc in "${docs[@]}"; do
  [ -s "$tmp/prefix/share/doc/vantor/$doc" ] || fail "no share/doc/vantor/$doc in the prefix"
done
"$tmp/prefix/bin/vantor" --more -? >"$tmp/usage.txt" 2>&1 ||
  fail "the installed program does not print its usage"
grep -q '^USAGE: ' "$tmp/usage.txt" || fail "the installed program printed no usage line"

# The Debian package.
for tool in cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed; the Debian package is not checked"
    exit 0
  fi
done
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package") \
  >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$tmp"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/vantor ./usr/share/man/man1/vantor.1.gz "${docs[@]/#/./usr/share/doc/vantor/}"; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"$'\n'"$contents"
done
grep -Eq '^-rwxr-xr-x .* \./usr/bin/vantor$' <<<"$contents" ||
  fail "./usr/bin/vantor is not executable in the package"

for field in Package Version Architecture Maintainer Section Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field field"
done
[ "$(dpkg-deb -f "$deb" Package)" = vantor ] || fail "the package is not named vantor"

# A sanitized build links the sanitizer runtimes; only a plain build is held
# to the C and C++ runtime and the decompression libraries.
if [ "$sanitized" != 1 ]; then
  depends=$(dpkg-deb -f "$deb" Depends)
  [ -n "$depends" ] || fail "the package declares no dependency on the C runtime"
  IFS=',' read -ra deps <<<"$depends"
  for dep in "${deps[@]}"; do
    name=$(sed 's/^ *//; s/[ (].*//' <<<"$dep")
    case "$name" in
      libc6 | libstdc++6 | libgcc-s1 | zlib1g | libzstd1 | liblzma5 | libbz2-1.0) ;;
      *) fail "unexpected runtime dependency: $dep" ;;
    esac
  done
fi

echo "package: $(basename "$deb") holds ./usr/bin/vantor, ./usr/share/man/man1/vantor.1.gz and ${docs[*]} in ./usr/share/doc/vantor"
