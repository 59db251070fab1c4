#!/usr/bin/env bash
# Checks the two packages as a user installs them: the .deb puts the
# program, its menu entry, icon and documents where Debian expects them and
# pulls in the desktop tools the program starts; the ZIP holds the exe that
# was built, with the README and the licence, and nothing else. Then packs
# two clean copies of the tree, at different paths and times, without the
# tests: programs and packages must come out byte-identical.
#   check_packages.sh SOURCE-DIR
set -u
source_dir=$(cd "$1" && pwd)
. "$source_dir/tests/lib/checks.sh"
version=$(project_version "$source_dir")
packages=$source_dir/build/packages
deb=$packages/korvelin-detect_${version}_amd64.deb
zip=$packages/korvelin-detect-$version-windows.zip
desktop_entry=$source_dir/packaging/korvelin-detect.desktop

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

check "desktop entry is valid" desktop-file-validate "$desktop_entry"

check "Debian package $version exists" test -f "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
check "package name and version" test "$(field Package) $(field Version)" = "korvelin-detect $version"
check "depends on xdg-utils" grep -qE '(^|, )xdg-utils(,|$)' <<< "$(field Depends)"
check "depends on a dialog tool" grep -qE '(^|, )zenity \| kdialog \| x11-utils(,|$)' <<< "$(field Depends)"
check "of the libraries, depends on the C library alone" \
    test "$(field Depends | tr ',' '\n' | sed -n 's/^ *\(lib[^ ]*\).*/\1/p')" = libc6

contents=$(dpkg-deb --contents "$deb")
has() {  # has MODE PATH: the package installs PATH, owned by root, with MODE
    awk -v mode="$1" -v path="./$2" '$6 == path && $1 == mode && $2 == "root/root" { found = 1 } END { exit !found }' <<< "$contents"
}
check "program in /usr/bin" has -rwxr-xr-x usr/bin/korvelin-detect
check "menu entry" has -rw-r--r-- usr/share/applications/korvelin-detect.desktop
check "icon the menu entry names" has -rw-r--r-- "usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop_entry").svg"
check "manual page" has -rw-r--r-- usr/share/man/man1/korvelin-detect.1.gz
check "copyright" has -rw-r--r-- usr/share/doc/korvelin-detect/copyright
check "no test program" test -z "$(grep -E 'responder|_test|fuzz|gtest|gmock' <<< "$contents")"

dpkg-deb --extract "$deb" "$scratch/deb"
check "menu entry starts the installed program" \
    test -x "$scratch/deb/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop_entry")"
strip -o "$scratch/stripped" "$source_dir/build/linux/korvelin-detect"
check "packaged program is the one built, stripped" cmp "$scratch/deb/usr/bin/korvelin-detect" "$scratch/stripped"
check "manual page reads" test -n "$(zcat "$scratch/deb/usr/share/man/man1/korvelin-detect.1.gz" | grep "$version")"
if command -v lintian > /dev/null; then
    check "lintian finds no error or warning" lintian --fail-on error,warning "$deb"
else
    echo "lintian is not installed: package policy not checked"
fi

check "Windows ZIP $version exists" test -f "$zip"
check "ZIP holds the exe, README.txt and LICENSE.txt at its top" \
    test "$(cmake -E tar tf "$zip" | sort | paste -sd ' ')" = "LICENSE.txt README.txt korvelin-detect.exe"
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
check "zipped exe is the one built" cmp "$scratch/zip/korvelin-detect.exe" "$source_dir/build/windows/korvelin-detect.exe"
check "licence in the ZIP" cmp "$scratch/zip/LICENSE.txt" "$source_dir/LICENSE"
check "the user's README in the ZIP, with Windows line ends" \
    cmp "$scratch/zip/README.txt" <(sed "s/@PROJECT_VERSION@/$version/; s/\$/\r/" "$source_dir/packaging/README-windows.txt")

pack_copy() {  # pack_copy DIR: builds both programs in a copy of the tree at DIR and packs them
    mkdir -p "$1"
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 cp --parents -t "$1") && cp -a "$source_dir/.git" "$1/" || return 1
    for preset in linux windows; do
        cmake -S "$1" --preset "$preset" -DBUILD_TESTING=OFF > /dev/null &&
            cmake --build "$1/build/$preset" -j "$(nproc)" > /dev/null &&
            (cd "$1/build/$preset" && cpack > /dev/null 2>&1) || return 1
    done
}
check "clean copy packed without the tests" pack_copy "$scratch/one"
check "second copy packed elsewhere, later" pack_copy "$scratch/second/copy"
plain_install() {  # what a distribution's packaging gets from cmake --install
    cmake --install "$scratch/one/build/linux" --prefix "$scratch/plain" > /dev/null &&
        test -x "$scratch/plain/bin/korvelin-detect" && test ! -e "$scratch/plain/share/doc"
}
check "a plain install gets the program but not the Debian copyright and changelog" plain_install
for file in windows/korvelin-detect.exe linux/korvelin-detect \
            "linux/${deb##*/}" "windows/${zip##*/}"; do
    check "reproducible $file" cmp "$scratch/one/build/$file" "$scratch/second/copy/build/$file"
done

[ "$failures" = 0 ]
