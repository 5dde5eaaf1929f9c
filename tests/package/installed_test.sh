#!/usr/bin/env bash
# The packages as a user gets them: installs build-package/dialdex_*.deb and dialdex-tools_*.deb into this
# machine with apt, runs tests/package/installed_programs.sh on them, then purges both and checks that
# nothing of them is left. Needs root; changes the machine, so CI runs it (.ci/run) after the tests.
# Argument: the source folder (default: the one holding this script).
set -u
top=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
names=(dialdex dialdex-tools)
packages=()
for name in "${names[@]}"; do
    found=("$top"/build-package/"${name}"_*.deb)
    if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
        echo "installed_test: no single ${name} package in $top/build-package: run scripts/package.sh" >&2
        exit 2
    fi
    packages+=("${found[0]}")
done
if [ "$(id -u)" -ne 0 ]; then
    echo "installed_test: installs packages: run it as root" >&2
    exit 2
fi
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "installed"
}
for name in "${names[@]}"; do
    if installed "$name"; then
        echo "installed_test: $name is installed already; remove it first (apt purge ${names[*]})" >&2
        exit 2
    fi
done

work=$(mktemp -d)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@"
}
# Whatever happens, the machine is left without the packages.
cleanup() {
    for name in "${names[@]}"; do
        installed "$name" && apt_get purge "$name" >/dev/null 2>&1
    done
    rm -rf "$work"
}
trap cleanup EXIT

# apt reads local packages given by their paths; it fetches the dependencies that are missing.
if ! apt_get install "${packages[@]}" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: the packages do not install" >&2
    exit 1
fi
dpkg -L "${names[@]}" >"$work/files.txt"

"$top/tests/package/installed_programs.sh" || fail "the installed programs (above)"

# --- Purge: nothing of the packages is left ---
apt_get purge "${names[@]}" >"$work/purge.log" 2>&1 || fail "apt purge ${names[*]}: $(cat "$work/purge.log")"
while read -r path; do
    # The root, which every package lists as "/.".
    [ -e "$path" ] && [ "$path" != "/." ] || continue
    # A folder others share (/usr/share/applications, say) stays while another package owns it.
    [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 && continue
    fail "left after the purge: $path"
done <"$work/files.txt"
for made in /usr/share/mime/application/x-dialdex-zdb.xml /usr/share/mime/application/x-dialdex-db.xml; do
    [ ! -e "$made" ] || fail "left after the purge: $made"
done
! grep -q "dialdex" /usr/share/applications/mimeinfo.cache 2>/dev/null || fail "mimeinfo.cache still names dialdex"

if [ "$failures" -ne 0 ]; then
    echo "installed_test: $failures failure(s)" >&2
    exit 1
fi
echo "installed_test: installed, ran and purged ${packages[*]##*/}"
