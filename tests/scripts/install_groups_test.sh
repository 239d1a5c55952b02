#!/usr/bin/env bash
# What each entry script would install on a machine that has none of the packages, without the
# network and without installing anything: the scripts run from a copy of scripts/ whose
# install-deps.sh hands its groups to the real one with --list (beside a dpkg-query that knows
# no installed package) and then stops its caller. Trying the program must not download the
# tests' tools, the cross compiler, Wine or clang; the tests must not download the Windows or
# fuzzing tools; and every package named is one that Debian's package lists know (checked where
# apt's lists are on this machine).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/tree" "$work/bin"
cp -r "$src/scripts" "$work/tree/"
mv "$work/tree/scripts/install-deps.sh" "$work/real-install-deps.sh"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"  # "no packages found matching"
cat >"$work/tree/scripts/install-deps.sh" <<EOF
#!/usr/bin/env bash
echo "\$*" >"$work/\$RZL_ENTRY.groups"
PATH="$work/bin:\$PATH" bash "$work/real-install-deps.sh" --list "\$@" >"$work/\$RZL_ENTRY.list"
kill -KILL \$PPID
EOF
chmod +x "$work/bin/dpkg-query" "$work/tree/scripts/install-deps.sh"

for entry in run.sh test.sh fuzz.sh windows/test-platform.sh; do
  name=$(basename "$entry" .sh)
  # The shell between says nothing of the entry script killed under it.
  RZL_ENTRY=$name RZL_BUILD_DIR=$work/build timeout 60 bash -c 'bash "$0"; true' "$work/tree/scripts/$entry" \
    </dev/null >/dev/null 2>&1 || true
  [ -s "$work/$name.list" ] || fail "$entry installs nothing on a bare machine (asked for: $(cat "$work/$name.groups" 2>/dev/null))"
  echo "$entry asks for $(cat "$work/$name.groups"): $(wc -l <"$work/$name.list") packages"
done

# Each entry's own packages must be there, and what it does not use must not.
#        entry          must hold                                  must not hold (extended regex)
checks=("run           cmake qt6-base-dev qt6-svg-dev xvfb fonts-wine  gtest|gmock|lintian|appstream|mingw|^wine|clang"
        "test          cmake qt6-base-dev libgtest-dev iproute2 lintian appstream  mingw|^wine|clang"
        "test-platform g++-mingw-w64-x86-64 wine64 libgtest-dev qt6-base-dev  lintian|clang"
        "fuzz          clang libclang-rt-14-dev qt6-base-dev  gtest|lintian|mingw|^wine")
for row in "${checks[@]}"; do
  read -r name rest <<<"$row"
  list=$work/$name.list
  for package in ${rest%  *}; do
    grep -qx -- "$package" "$list" || fail "$name lacks $package"
  done
  forbidden=${rest##*  }
  if grep -E -- "$forbidden" "$list" >"$work/bad"; then fail "$name would install $(tr '\n' ' ' <"$work/bad")"; fi
done
# The tests build and run the program too.
missing=$(grep -vxF -f "$work/test.list" "$work/run.list" || true)
[ -z "$missing" ] || fail "test lacks what run installs: $missing"

if command -v apt-cache >/dev/null && apt-cache show cmake >/dev/null 2>&1; then
  packages=$(sort -u "$work"/*.list)
  # shellcheck disable=SC2086  # one name a word
  if ! apt-cache show --no-all-versions $packages >/dev/null 2>&1; then
    for package in $packages; do
      apt-cache show --no-all-versions "$package" >/dev/null 2>&1 || fail "no Debian package $package"
    done
  fi
else
  echo "apt's package lists are not here: the names are not checked against them"
fi
echo "ok"
