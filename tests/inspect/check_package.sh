#!/bin/sh
# Makes the release package with the build's own CPack configuration into a
# scratch folder, unpacks it, and fails unless it holds exactly the module,
# enghost.exe with its host library, INSTALL.txt naming the version, and the
# examples, and unless the packed module passes the checks of a shipped one.
# usage: check_package.sh CPACK CPACK_CONFIG VERSION SYSTEM OBJDUMP EXAMPLES_DIR
set -u
cpack=$1 config=$2 version=$3 system=$4 objdump=$5 examples=$6
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

"$cpack" --config "$config" -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack failed"; exit 1; }
name=cecp-adapter-$version-$system
zip=$scratch/$name.zip
[ -f "$zip" ] || { ls "$scratch"; fail "no $name.zip"; exit 1; }
mkdir "$scratch/unpacked"
(cd "$scratch/unpacked" && cmake -E tar xf "$zip") || { fail "the archive does not unpack"; exit 1; }

found=$(cd "$scratch/unpacked" && find . -type f | sed 's|^\./||' | sort)
expected=$( (printf '%s\n' "$name/cecp-adapter.eng" "$name/enghost.exe" "$name/enghost-host/Kalvo32.dll" \
  "$name/INSTALL.txt"; cd "$examples" && find . -type f | sed "s|^\./|$name/examples/|") | sort)
[ "$found" = "$expected" ] || fail "the package holds
$found
and should hold
$expected"

packed=$scratch/unpacked/$name
grep -q "^cecp-adapter $version ($system)" "$packed/INSTALL.txt" || fail "INSTALL.txt does not name version $version"
"$here/check_win32_module.sh" "$objdump" "$packed/cecp-adapter.eng" || fail "the packed module"
"$objdump" -f "$packed/enghost.exe" | grep -q 'file format pei-i386' || fail "enghost.exe is not a 32-bit Windows program"

if [ $status -eq 0 ]; then
  echo "$name.zip: $(wc -c <"$zip") bytes"
  (cd "$scratch/unpacked" && find . -type f -exec ls -l {} + | awk '{print "  " $5 "  " $9}' | sed 's|\./||')
fi
exit $status
