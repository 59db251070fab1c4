#!/usr/bin/env bash
# Checks the two packages as a user installs them: the .deb puts the
# program, its menu entry, icon, AppStream metadata and documents where
# Debian expects them and pulls in the desktop tools the program starts; the
# ZIP holds the exe that was built, with the README and the licence, and
# nothing else; SHA256SUMS matches both. Then packs two clean copies of the
# tree with scripts/package, at different paths and times, without the
# tests: programs, packages and checksums must come out byte-identical.
# Last, a vendor's release, signed with a key on a token and time-stamped
# by an authority on this namespace's loopback: its exes, signatures
# removed, are the ones that were tested, and under Wine the signed MSI
# replaces the unsigned one of its version. Runs in a private network
# namespace of its own.
#   check_packages.sh SOURCE-DIR
set -u
source_dir=$(cd "$1" && pwd)
. "$source_dir/tests/lib/private_net.sh"
. "$source_dir/tests/lib/checks.sh"
private_net_enter "$@"
ip link set lo up
version=$(project_version "$source_dir")
packages=$source_dir/build/packages
deb=$packages/korvelin-detect_${version}_amd64.deb
zip=$packages/korvelin-detect-$version-windows.zip
msi=$packages/korvelin-detect-$version-x64.msi
appstream_id=org.korvelin_detect.KorvelinDetect
desktop_entry=$source_dir/packaging/$appstream_id.desktop

scratch=$(mktemp -d)
keys=$scratch/keys
. "$source_dir/tests/lib/signing.sh"
trap 'stop_tsa; rm -rf "$scratch"' EXIT

check "desktop entry is valid" desktop-file-validate "$desktop_entry"

# Each relative link in the documents names a file that exists and, after
# a #, one of its headings as GitHub makes anchors of them.
heading_anchors() { sed -n 's/^#\{1,6\} //p' "$1" | tr '[:upper:]' '[:lower:]' | sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'; }
documents_link_what_exists() {
    local doc target file anchor broken=0
    for doc in "$source_dir"/README.md "$source_dir"/SECURITY.md "$source_dir"/docs/*.md; do
        while read -r target; do
            file=${target%%#*} anchor=${target#*#}
            [ "$anchor" = "$target" ] && anchor=
            file=$( [ -n "$file" ] && echo "$(dirname "$doc")/$file" || echo "$doc")
            if [ ! -e "$file" ] || { [ -n "$anchor" ] && ! heading_anchors "$file" | grep -qxF "$anchor"; }; then
                echo "  ${doc#"$source_dir"/}: $target leads nowhere"; broken=1
            fi
        done < <(grep -oE '\]\([^)]+\)' "$doc" | sed -E 's/^\]\((.*)\)$/\1/' | grep -vE '^[a-z]+:')
    done
    return $broken
}
check "the documents' relative links lead somewhere" documents_link_what_exists
check "plain sentences on the pages for users, the desk and IT: a median of at most 20 words, none over 45, no 'alone'" \
    python3 "$source_dir/tests/lib/plain_sentences.py" 20 45 "$source_dir"/docs/{using,troubleshooting,deploying}.md \
        "$source_dir/packaging/README-windows.txt"

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
check "one menu entry, the launcher's" test "$(grep -c '\.desktop$' <<< "$contents")" = 1
check "menu entry" has -rw-r--r-- "usr/share/applications/$appstream_id.desktop"
check "AppStream metadata" has -rw-r--r-- "usr/share/metainfo/$appstream_id.metainfo.xml"
check "icon the menu entry names" has -rw-r--r-- "usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop_entry").svg"
check "copyright" has -rw-r--r-- usr/share/doc/korvelin-detect/copyright
check "no test program" test -z "$(grep -E 'responder|_test|fuzz|gtest|gmock' <<< "$contents")"

dpkg-deb --extract "$deb" "$scratch/deb"
check "menu entry starts the installed program" \
    test -x "$scratch/deb/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop_entry")"
for program in korvelin-detect korvelin-probe; do
    strip -o "$scratch/$program" "$source_dir/build/linux/$program"
    check "$program in /usr/bin, the one built, stripped" \
        eval 'has -rwxr-xr-x "usr/bin/$program" && cmp "$scratch/deb/usr/bin/$program" "$scratch/$program"'
    check "$program's manual page, of $version" eval 'has -rw-r--r-- "usr/share/man/man1/$program.1.gz" &&
        zcat "$scratch/deb/usr/share/man/man1/$program.1.gz" | grep -q "$version"'
done
# Where a report that found nothing sends its reader: a document of the
# probe's own package.
points_to() { grep -aqF "$2" "$1"; }
check "the Linux probe points to TROUBLESHOOTING in korvelin-probe(1), which the package installs" eval \
    'points_to "$scratch/deb/usr/bin/korvelin-probe" "See TROUBLESHOOTING in korvelin-probe(1)" &&
     zcat "$scratch/deb/usr/share/man/man1/korvelin-probe.1.gz" | grep -qx ".SH TROUBLESHOOTING"'
appstream_valid() {  # no error and no warning, and the release that CMake sets
    local metainfo=$scratch/deb/usr/share/metainfo/$appstream_id.metainfo.xml report
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1) && ! grep -q '^[EW]:' <<< "$report" &&
        grep -q "<release version=\"$version\"" "$metainfo" ||
        { echo "$report"; return 1; }
}
check "AppStream metadata valid, for release $version" appstream_valid
if command -v lintian > /dev/null; then
    check "lintian finds no error or warning" lintian --fail-on error,warning "$deb"
else
    echo "lintian is not installed: package policy not checked"
fi

check "Windows ZIP $version exists" test -f "$zip"
check "ZIP holds both exes, README.txt and LICENSE.txt at its top" \
    test "$(cmake -E tar tf "$zip" | sort | paste -sd ' ')" = "LICENSE.txt README.txt korvelin-detect.exe korvelin-probe.exe"
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
for exe in korvelin-detect.exe korvelin-probe.exe; do
    check "zipped $exe is the one built" cmp "$scratch/zip/$exe" "$source_dir/build/windows/$exe"
done
check "licence in the ZIP" cmp "$scratch/zip/LICENSE.txt" "$source_dir/LICENSE"
check "the user's README in the ZIP, with Windows line ends" \
    cmp "$scratch/zip/README.txt" <(sed "s/@PROJECT_VERSION@/$version/; s/\$/\r/" "$source_dir/packaging/README-windows.txt")

# The installer carries what the ZIP does, installs per machine with a plain
# Start-menu link, and refuses a downgrade with a message of its own.
check "Windows installer $version exists" test -f "$msi"
msiextract -C "$scratch/msi" "$msi" > /dev/null
for file in korvelin-detect.exe korvelin-probe.exe README.txt LICENSE.txt; do
    check "the MSI's $file is the ZIP's" cmp "$scratch/msi/Korvelin Detect/$file" "$scratch/zip/$file"
done
msi_table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
check "per machine, Add/Remove Programs' icon, neither Modify nor Repair" \
    test "$(msi_table Property | grep -E '^(ALLUSERS|ARPNO[A-Z]*|ARPPRODUCTICON)\s' | sort | paste -sd ' ')" = \
    "$(printf 'ALLUSERS\t1 ARPNOMODIFY\t1 ARPNOREPAIR\t1 ARPPRODUCTICON\tkorvelin_detect.ico')"
check "a build of this version replaces another: its Upgrade row takes the version itself" \
    grep -qP "^\\{[0-9A-F-]{36}\\}\t\t$version\t\t513\t" <<< "$(msi_table Upgrade)"
check "Start-menu shortcuts to the launcher's, the probe's and the README's files, not advertised" \
    test "$(msi_table Shortcut | cut -f2,3,5 | sort)" = \
    "$(printf 'ProgramMenuFolder\tKorvelin Detect\t[#LauncherExe]\nProgramMenuFolder\tKorvelin Detect README\t[#ReadmeTxt]\nProgramMenuFolder\tKorvelin Probe\t[#ProbeExe]')"
check "the Windows probe points to Troubleshooting in README.txt, beside it and in the Start menu" eval \
    'points_to "$scratch/zip/korvelin-probe.exe" "See Troubleshooting in README.txt, beside this program and in the Start menu" &&
     grep -qx "Troubleshooting$(printf "\r")" "$scratch/zip/README.txt"'
publisher=$(jq -r .publisher "$source_dir/build/windows/release.json")
company() { wrestool -x --raw -t 16 "$1" | tr -d '\0' | grep -ao "CompanyName[^[:cntrl:]]*" | sed 's/^CompanyName//'; }
check "one publisher, $publisher: the MSI's Manufacturer and its summary's author, each exe's CompanyName, each SBOM's" \
    test "$( { msi_table Property | awk -F '\t' '$1 == "Manufacturer" { print $2 }'; msiinfo suminfo "$msi" | sed -n 's/^Author: //p'
               for exe in "$scratch"/zip/*.exe; do company "$exe"; done
               jq -r '.metadata.component.publisher, (.components[] | select(.type == "application") | .publisher)' "$packages"/*.cdx.json
             } | sort -u)" = "$publisher"
check "a downgrade is refused with a message" grep -q 'A newer version of Korvelin Detect' <<< "$(msi_table LaunchCondition)"
# The same package at a higher and a lower version, to upgrade and downgrade to.
for other in 99.0.0 0.0.1; do
    "$source_dir/packaging/build-msi" "$zip" "$other" "$scratch/$other.msi" || echo "could not build the $other installer"
done
# The same files and version under another .wxs: another database, which
# must not pass for the installed one.
mkdir -p "$scratch/variant/build/windows" && cp -r "$source_dir/packaging" "$source_dir/icons" "$scratch/variant/" &&
    cp "$source_dir/build/windows/release.json" "$scratch/variant/build/windows/"
sed -i 's/Description="Open the korvelin server.s web page"/Description="Open the server page, variant"/' \
    "$scratch/variant/packaging/korvelin-detect.wxs"
codes() { { msiinfo export "$1" Property | grep ProductCode; msiinfo suminfo "$1" | grep UUID; } | grep -o '{.*}'; }
check "an MSI that differs in its .wxs alone has a ProductCode and a PackageCode of its own" eval \
    'SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct) "$scratch/variant/packaging/build-msi" \
        "$zip" "$version" "$scratch/variant.msi" && test "$({ codes "$msi"; codes "$scratch/variant.msi"; } | sort -u | wc -l)" = 4'
# A wixl that writes the same-version upgrade row itself, as later ones are
# said to.
mkdir "$scratch/newer-wixl"
printf '#!/bin/sh\n%s "$@" && msiinfo export package.msi Upgrade | sed "s/\t1\t\tWIX_UPGRADE/\t513\t\tWIX_UPGRADE/" > own.idt && msibuild package.msi -i own.idt\n' \
    "$(command -v wixl)" > "$scratch/newer-wixl/wixl" && chmod +x "$scratch/newer-wixl/wixl"
check "a wixl that writes the same-version row itself: its row is kept" eval \
    'PATH=$scratch/newer-wixl:$PATH "$source_dir/packaging/build-msi" "$zip" "$version" "$scratch/newer.msi" &&
     test "$(msiinfo export "$scratch/newer.msi" Upgrade | grep -c "	513		WIX_UPGRADE_DETECTED")" = 1'

check "SHA256SUMS holds the three packages and their SBOMs, and they match it" \
    test "$(cd "$packages" && sha256sum -c SHA256SUMS 2>&1 | paste -sd ' ')" = \
    "${deb##*/}: OK ${zip##*/}: OK ${msi##*/}: OK ${zip##*/}.cdx.json: OK ${msi##*/}.cdx.json: OK ${deb##*/}.cdx.json: OK"

# Each package's bill of materials: valid by the CycloneDX library's own
# strict schema, the programs hashed as the package holds them, linked in
# the Debian packages that hold what the compiler links, and every
# component related.
sbom_valid() { NODE_PATH=${KORVELIN_SBOM_VALIDATOR:-$(. "$source_dir/scripts/lib/packages.sh" && echo "$sbom_validator_dir")}/node_modules node "$source_dir/tests/lib/validate-sbom.cjs" "$@"; }
check "each package's SBOM is CycloneDX 1.6, by the CycloneDX library's strict schema" sbom_valid "$packages"/*.cdx.json
sbom_programs() {  # sbom_programs SBOM DIR: its programs, hashed, are the files in DIR
    test "$(jq -r '.components[] | select(.type == "application") | "\(.hashes[0].content)  \(.name)"' "$1")" = \
         "$(cd "$2" && sha256sum $(jq -r '.components[] | select(.type == "application") | .name' "$1"))"
}
owners() {  # owners COMPILER FILE...: the purls of the Debian packages holding what COMPILER links as FILE
    local file
    for file in "${@:2}"; do dpkg -S "$(realpath "$("$1" -print-file-name="$file")")" | cut -d: -f1; done | sort -u |
        xargs dpkg-query -W -f 'pkg:deb/debian/${Package}@${Version}?arch=${Architecture}\n' | paste -sd ' '
}
linked() { jq -r '.components[] | select(.description // "" | startswith("linked in")) | .purl' "$1" | sort | paste -sd ' '; }
mingw_cxx=$(sed -n 's/^KORVELIN_MINGW_CXX:[A-Z]*=//p' "$source_dir/build/windows/CMakeCache.txt")
related() { jq -e '([.components[]."bom-ref", .metadata.component."bom-ref"] | sort) == ([.dependencies[].ref] | sort)' "$1" > /dev/null; }
while IFS='|' read -r package dir compiler files; do
    read -ra files <<< "$files"
    check "$package.cdx.json: the programs, hashed as the package holds them" sbom_programs "$packages/$package.cdx.json" "$dir"
    check "$package.cdx.json: linked in, the Debian packages of ${files[*]}" \
        test "$(linked "$packages/$package.cdx.json")" = "$(owners "$compiler" "${files[@]}")"
    check "$package.cdx.json: every component related" related "$packages/$package.cdx.json"
done <<ROWS
${zip##*/}|$scratch/zip|$mingw_cxx|crt2.o libmingwex.a libgcc.a
${msi##*/}|$scratch/msi/Korvelin Detect|$mingw_cxx|crt2.o libmingwex.a libgcc.a
${deb##*/}|$scratch/deb/usr/bin|g++|Scrt1.o crtbeginS.o
ROWS
check "${deb##*/}.cdx.json: its runtime dependencies, as the control file names them" test \
    "$(jq -r '.components[] | select(.description // "" | startswith("a runtime")) | .name' "$deb.cdx.json" | paste -sd ' ')" = \
    "$(field Depends | tr ',|' '\n\n' | awk '{ print $1 }' | paste -sd ' ')"
# A package named twice in Depends, once as a choice: one component,
# required. A program linked from a library installed for two
# architectures (dpkg stand-ins): asked with its own, one version.
mkdir -p "$scratch/twice/DEBIAN" "$scratch/twice/usr/bin" "$scratch/dpkg"
printf 'Package: twice\nVersion: 1\nArchitecture: all\nMaintainer: t <t@example.org>\nDescription: t\nDepends: libc6, zenity | libc6 (>= 2.0)\n' > "$scratch/twice/DEBIAN/control"
printf '\177ELF' > "$scratch/twice/usr/bin/prog"
printf 'Archive member included to satisfy reference by file (symbol)\n\n/usr/lib/libfoo.a(x.o)\n\n' > "$scratch/prog.map"
printf '#!/bin/sh\necho "libfoo:amd64, libfoo:i386: $2"\n' > "$scratch/dpkg/dpkg"
printf '#!/bin/sh\ncase $4 in *:*) ;; *) echo "1.0 1.0"; exit;; esac\ncase $3 in *Version*) printf 1.0;; *) printf amd64;; esac\n' > "$scratch/dpkg/dpkg-query"
chmod +x "$scratch/dpkg"/* && dpkg-deb --build -Zgzip "$scratch/twice" "$scratch/twice.deb" > /dev/null
check "a library of two architectures asked with its own; a package named twice in Depends one component, required" \
    test "$(PATH=$scratch/dpkg:$PATH "$source_dir/packaging/make-sbom" "$scratch/twice.deb" "$source_dir/build/linux/release.json" \
        "$scratch" 0 | jq -c '[.components[] | [."bom-ref", .scope]]')" = \
    '[["program:prog",null],["pkg:deb/debian/libfoo@1.0?arch=amd64",null],["pkg:deb/debian/libc6","required"],["pkg:deb/debian/zenity","optional"]]'

pack_copy() {  # pack_copy DIR: scripts/package in a copy of the tree at DIR, without the tests
    mkdir -p "$1"
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 cp --parents -t "$1") && cp -a "$source_dir/.git" "$1/" || return 1
    for preset in linux windows; do
        cmake -S "$1" --preset "$preset" -DBUILD_TESTING=OFF > /dev/null || return 1
    done
    KORVELIN_DOWNLOAD_URL=$download_url "$1/scripts/package" > "$1.log" 2>&1
}
download_url=https://downloads.example.org/korvelin/$version
check "clean copy packed without the tests" pack_copy "$scratch/one"
check "second copy packed elsewhere, later" pack_copy "$scratch/second/copy"
plain_install() {  # what a distribution's packaging gets from cmake --install
    cmake --install "$scratch/one/build/linux" --prefix "$scratch/plain" > /dev/null &&
        test -x "$scratch/plain/bin/korvelin-detect" && test ! -e "$scratch/plain/share/doc"
}
check "a plain install gets the program but not the Debian copyright and changelog" plain_install
says_unsigned() {  # why on standard error, and each package and exe as it is
    grep -q 'UNSIGNED: no KORVELIN_SIGN_\* variable is set' "$1" &&
        test "$(tail -n 7 "$1" | grep -cE '^(  korvelin-(detect|probe)\.exe|korvelin-detect-.*\.msi): UNSIGNED$')" = 5
}
check "an unsigned run says so, and why, and that each exe and the MSI are unsigned" says_unsigned "$scratch/one.log"
for file in windows/korvelin-detect.exe windows/korvelin-probe.exe linux/korvelin-detect linux/korvelin-probe \
            "packages/${deb##*/}" "packages/${zip##*/}" "packages/${msi##*/}" packages/SHA256SUMS \
            "packages/${deb##*/}.cdx.json" "packages/${zip##*/}.cdx.json" "packages/${msi##*/}.cdx.json"; do
    check "reproducible $file" cmp "$scratch/one/build/$file" "$scratch/second/copy/build/$file"
done
check "reproducible winget manifests" diff -r "$scratch/one/build/packages/winget" "$scratch/second/copy/build/packages/winget"

# The winget manifests: every field from the built MSI, and each in the
# shape Microsoft's 1.10.0 schema gives it.
winget=$scratch/one/build/packages/winget/Korvelin.KorvelinDetect
value() { sed -n "s/^[- ]*$2: //p" "$winget$1.yaml" | sed "s/^'\(.*\)'\$/\1/; s/''/'/g"; }
property() { msiinfo export "$scratch/one/build/packages/${msi##*/}" Property | tr -d '\r' | awk -F '\t' -v p="$1" '$1 == p { print $2 }'; }
keys() { sed -n 's/^[- ]*\([A-Za-z0-9]*\):.*/\1/p' "$winget$1.yaml" | paste -sd ' '; }
while IFS='%' read -r file name expected; do
    check "winget${file:-} $name, from the MSI: $expected" test "$(value "$file" "$name")" = "$expected"
done <<ROWS
.installer%InstallerUrl%$download_url/${msi##*/}
.installer%InstallerSha256%$(sha256sum < "$scratch/one/build/packages/${msi##*/}" | cut -c1-64 | tr a-f A-F)
.installer%ProductCode%$(property ProductCode)
.installer%UpgradeCode%$(property UpgradeCode)
.installer%PackageVersion%$(property ProductVersion)
%PackageVersion%$(property ProductVersion)
ROWS
while IFS='%' read -r file name key; do
    check "winget$file $name, the project's $key" test "$(value "$file" "$name")" = "$(jq -r ".$key" "$source_dir/build/windows/release.json")"
done <<ROWS
%PackageIdentifier%identifier
.locale.en-US%Publisher%publisher
.locale.en-US%PackageName%name
.locale.en-US%License%license
.locale.en-US%ShortDescription%description
ROWS
check "winget: a value YAML reads as a number, a boolean, a null or a date is quoted (1.10, true, no, null), other names plain" \
    python3 -c 'import importlib.machinery as m, sys
w = m.SourceFileLoader("w", sys.argv[1]).load_module()
sys.exit(any(w.scalar(v) != "'"'"'" + v + "'"'"'" for v in sys.argv[2].split()) or any(w.scalar(v) != v for v in sys.argv[3].split()))' \
    "$source_dir/packaging/make-winget" "1.10 true no Yes off null ~ 1e3 0x1F 2024-01-01 12:30" "1.0.0 Korvelin Korvelin.KorvelinDetect x64"
while IFS='%' read -r file name pattern; do
    check "winget${file:-} $name as the 1.10.0 schema has it" eval 'value "$file" "$name" | grep -qxP -- "$pattern"'
done <<'ROWS'
%PackageIdentifier%(?=.{1,128}$)[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}
%PackageVersion%[^\\/:*?"<>|\x01-\x1f]{1,128}
%DefaultLocale%(?=.{1,20}$)([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*
%ManifestType%version
%ManifestVersion%1\.10\.0
.installer%InstallerType%msi|wix
.installer%Scope%user|machine
.installer%UpgradeBehavior%install|uninstallPrevious|deny
.installer%Architecture%x86|x64|arm|arm64|neutral
.installer%InstallerUrl%(?=.{1,2048}$)[Hh][Tt][Tt][Pp][Ss]?://.+
.installer%InstallerSha256%[A-Fa-f0-9]{64}
.installer%ProductCode%.{1,255}
.installer%UpgradeCode%.{1,255}
.installer%ManifestType%installer
.installer%ManifestVersion%1\.10\.0
.locale.en-US%PackageLocale%(?=.{1,20}$)([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*
.locale.en-US%Publisher%.{2,256}
.locale.en-US%PackageName%.{2,256}
.locale.en-US%License%.{3,512}
.locale.en-US%ShortDescription%.{3,256}
.locale.en-US%ManifestType%defaultLocale
.locale.en-US%ManifestVersion%1\.10\.0
ROWS
while IFS='%' read -r file fields; do
    check "winget${file:-}: these fields alone, each the schema's: $fields" test "$(keys "$file")" = "$fields"
done <<ROWS
%PackageIdentifier PackageVersion DefaultLocale ManifestType ManifestVersion
.installer%PackageIdentifier PackageVersion InstallerType Scope UpgradeBehavior ProductCode AppsAndFeaturesEntries UpgradeCode Installers Architecture InstallerUrl InstallerSha256 ManifestType ManifestVersion
.locale.en-US%PackageIdentifier PackageVersion PackageLocale Publisher PackageName License ShortDescription ManifestType ManifestVersion
ROWS

released() {  # released PACKAGE...: the clean copy's build/packages holds these and their SBOMs alone, and SHA256SUMS lists them
    test "$(cd "$scratch/one/build/packages" && { ls; cut -d ' ' -f 3 SHA256SUMS; } | sort | paste -sd ' ')" = \
         "$(printf '%s\n' SHA256SUMS "$@" "$@" "${@/%/.cdx.json}" "${@/%/.cdx.json}" | sort | paste -sd ' ')"
}
without_wixl() {  # a packager without wixl on PATH still gets the ZIP and the .deb
    mkdir -p "$scratch/path" && for tool in /usr/bin/*; do
        [ "${tool##*/}" = wixl ] || ln -sf "$tool" "$scratch/path/"
    done
    PATH=$scratch/path:/usr/sbin "$scratch/one/scripts/package" > /dev/null 2>&1 && released "${deb##*/}" "${zip##*/}"
}
check "without wixl, scripts/package makes the ZIP and the .deb and succeeds" without_wixl
this_version_alone() {  # an earlier version's packages in the build trees stay out of the release
    cp "$zip" "$scratch/one/build/windows/korvelin-detect-0.9.0-windows.zip" &&
        cp "$deb" "$scratch/one/build/linux/korvelin-detect_0.9.0_amd64.deb" &&
        "$scratch/one/scripts/package" > "$scratch/alone.log" 2>&1 && released "${deb##*/}" "${zip##*/}" "${msi##*/}"
}
check "an earlier version's ZIP and .deb left in the build trees reach neither the packages nor SHA256SUMS" this_version_alone
check "without KORVELIN_DOWNLOAD_URL, no winget manifests, and one line says how to have them" \
    test "$(grep -c 'no winget manifests: export KORVELIN_DOWNLOAD_URL' "$scratch/alone.log")" = 1

# A vendor's release: scripts/package signs the exes in the ZIP and the MSI,
# and the MSI, with throwaway keys kept outside the tree, first from a
# PKCS#12 file, then from a token. An MSI's signature does not come off
# byte for byte (the compound file is laid out anew), but the exes inside
# it do. osslsigncode's arguments are recorded on the way, to find no PIN
# there.
mkdir -p "$keys" "$scratch/recording"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> %s\nexec %s "$@"\n' "$scratch/arguments" \
    "$(command -v osslsigncode)" > "$scratch/recording/osslsigncode"
chmod +x "$scratch/recording/osslsigncode"
package_signed() {  # package_signed LOG SETTING...: the clean copy packed with these settings (--X: an argument)
    local settings=() arguments=() setting
    for setting in "${@:2}"; do
        [ "${setting#--}" = "$setting" ] && settings+=("$setting") || arguments+=("$setting")
    done
    env PATH="$scratch/recording:$PATH" "${settings[@]}" "$scratch/one/scripts/package" "${arguments[@]}" > "$1" 2>&1
}
signed_release() {  # signed_release SETTING...: packed signed, the ZIP and the MSI unpacked into $scratch/signed
    rm -rf "$scratch/signed" && mkdir "$scratch/signed" &&
        package_signed "$scratch/signing.log" "$@" &&
        (cd "$scratch/signed" && cmake -E tar xf "$scratch/one/build/packages/${zip##*/}") &&
        cp "$scratch/one/build/packages/${msi##*/}" "$scratch/signed/" &&
        msiextract -C "$scratch/signed" "$scratch/signed/${msi##*/}" > /dev/null ||
        { cat "$scratch/signing.log"; return 1; }
}
verifies() {  # verifies CERT FILE [TSA-CERT]: signed by CERT's key, time-stamped by TSA-CERT's or not at all
    local report
    report=$(osslsigncode verify -CAfile "$1" ${3:+-TSA-CAfile "$3"} -in "$2" 2>&1) &&
        if [ -n "${3:-}" ]; then grep -q 'Timestamp Server Signature verification: ok' <<< "$report"
        else ! grep -q 'Timestamp Server Signature' <<< "$report"; fi || { echo "$report"; return 1; }
}
unsigned_is_tested() {  # unsigned_is_tested SIGNED-EXE
    local unsigned; unsigned=$(mktemp -u "$scratch/unsigned.XXXXXX")
    osslsigncode remove-signature -in "$1" -out "$unsigned" > /dev/null &&
        cmp "$unsigned" "$source_dir/build/windows/${1##*/}"
}
check_signed_release() {  # check_signed_release KIND CERT [TSA-CERT]
    local file where stamp=${3:+time-stamped}
    check "$1: the run ends naming the signer of the MSI and of each exe" test \
        "$(tail -n 7 "$scratch/signing.log" | grep -cx ".*: signed by /CN=Korvelin Detect test vendor, ${stamp:-not time-stamped}")" = 5
    check "$1: the MSI's signature described by the product's name, as CMakeLists.txt sets it" \
        grep -qx "[[:space:]]*Text description: $(jq -r .name "$source_dir/build/windows/release.json")" \
        <(osslsigncode verify -ignore-crl -in "$scratch/signed/${msi##*/}" 2>&1)
    for file in "$scratch/signed/${msi##*/}" "$scratch"/signed/korvelin-*.exe \
                "$scratch/signed/Korvelin Detect"/korvelin-*.exe; do
        where=${file#"$scratch/signed/"}
        check "$1: $where: signed by the vendor's key${3:+, time-stamped}" verifies "$2" "$file" "${3:-}"
        [ "${file%.exe}" = "$file" ] ||
            check "$1: $where: without its signature it is the exe that was tested" unsigned_is_tested "$file"
    done
}
key_nowhere() {
    ! grep -rqF -e "$(sed -n 2p "$keys/key.pem")" "$scratch/one/build" "$scratch/signed" &&
        [ -z "$(find "$scratch/one/build" -name '*.p12' -o -name '*.pem')" ]
}
pin_nowhere() {  # in no build file, package, log or osslsigncode argument, which were recorded
    grep -q -- '-readpass' "$scratch/arguments" &&
        ! grep -rqF -e "$token_pin" "$scratch/one/build" "$scratch/signed" "$scratch/signing.log" "$scratch/arguments"
}
refused() {  # refused MESSAGE SETTING...: packing stops, says so, and leaves no package, not even an earlier run's
    mkdir -p "$scratch/one/build/packages" && touch "$scratch/one/build/packages/of-an-earlier-run.zip" &&
        ! package_signed "$scratch/refused.log" "${@:2}" &&
        grep -qF -- "$1" "$scratch/refused.log" && [ -z "$(ls -A "$scratch/one/build/packages" 2> /dev/null)" ] ||
        { cat "$scratch/refused.log"; return 1; }
}

check "a PKCS#12 file and a time-stamp authority on loopback" eval 'make_pkcs12 && start_tsa'
check "PKCS#12: scripts/package signs the exes and the installer" \
    signed_release "${pkcs12_settings[@]}" "KORVELIN_SIGN_TIMESTAMP_URL=$tsa_url" "KORVELIN_SIGN_TSA_CERTS=$keys/tsa-cert.pem"
check_signed_release PKCS#12 "$keys/cert.pem" "$keys/tsa-cert.pem"
# Read back with the system's roots alone, neither the self-made vendor nor
# the self-made authority verifies, and the subject goes unsaid.
check "read back without the vendor's anchors: the signature and the time stamp do not verify, and say why" test \
    "$("$source_dir/packaging/sign" --describe "$scratch/signed/korvelin-probe.exe")" = "korvelin-probe.exe: signed, but the \
signature does not verify (self-signed certificate); its time stamp does not verify (self-signed certificate) either"
check "the key is in no build file and no package" key_nowhere
# What a keyed build-msi, and the signature check it runs, must refuse.
cp "$scratch/signed/korvelin-probe.exe" "$scratch/tampered.exe"
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[0x500] ^= 0xff; open(sys.argv[1], "wb").write(b)' \
    "$scratch/tampered.exe"
osslsigncode sign -pkcs12 "$keys/other.p12" -readpass "$keys/password" -h sha256 -ts "$tsa_url" \
    -in "$source_dir/build/windows/korvelin-probe.exe" -out "$scratch/other.exe" > /dev/null
osslsigncode sign -nest -pkcs12 "$keys/other.p12" -readpass "$keys/password" -h sha256 \
    -in "$scratch/signed/korvelin-probe.exe" -out "$scratch/nested.exe" > /dev/null
mkdir "$scratch/half" && cp "$scratch/signed/korvelin-detect.exe" "$source_dir/build/windows/korvelin-probe.exe" \
    "$scratch/zip/README.txt" "$scratch/zip/LICENSE.txt" "$scratch/half/" &&
    (cd "$scratch/half" && cmake -E tar cf ../half-signed.zip --format=zip -- *)
keyed_refuses() {  # keyed_refuses MESSAGE SCRIPT ARGUMENT...: packaging/SCRIPT fails, says so, and makes no MSI
    ! env "${pkcs12_settings[@]}" "KORVELIN_SIGN_TIMESTAMP_URL=$tsa_url" "KORVELIN_SIGN_TSA_CERTS=$keys/tsa-cert.pem" \
        "$source_dir/packaging/$2" "${@:3}" \
        > "$scratch/keyed.log" 2>&1 && grep -qF "$1" "$scratch/keyed.log" && test ! -e "$scratch/keyed.msi" ||
        { cat "$scratch/keyed.log"; return 1; }
}
while IFS='|' read -r what message step file; do
    read -ra command <<< "$step $file"
    [ "$step" = build-msi ] && command+=("$version" "$scratch/keyed.msi")
    check "keyed, $step refuses $what" keyed_refuses "$message" "${command[@]}"
done <<ROWS
the unsigned ZIP|korvelin-detect.exe carries no signature|build-msi|$zip
a ZIP whose probe alone is unsigned|korvelin-probe.exe carries no signature|build-msi|$scratch/half-signed.zip
an exe with a byte of its code changed after signing|tampered.exe: the file's bytes are not the ones signed|sign --signed|$scratch/tampered.exe
an exe signed by another key whose chain carries the vendor's certificate|other.exe is signed by /CN=Someone else|sign --signed|$scratch/other.exe
a vendor-signed exe with a nested signature|nested.exe carries a nested signature|sign --signed|$scratch/nested.exe
ROWS
# A failing package check (here a Debian package missing, with no registry
# to install it from) leaves no package either.
mkdir "$scratch/no-registry"
printf '#!/bin/sh\necho "no registry here" >&2\nexit 100\n' | tee "$scratch/no-registry/apt-get" > "$scratch/no-registry/dpkg-query"
chmod +x "$scratch/no-registry"/*
check "packing stops on a missing Debian package, with its cause" refused "no registry here" "PATH=$scratch/no-registry:$PATH"
for address in http://downloads.example.org/korvelin 'https://downloads.example.org/korvelin?v=1'; do
    check "packing stops on the download address $address, with its cause" refused "is no https address" "KORVELIN_DOWNLOAD_URL=$address"
done

if command -v softhsm2-util > /dev/null && command -v pkcs11-tool > /dev/null && [ -f "$softhsm_module" ]; then
    check "a key made on a SoftHSM2 token" make_token
    check "token, its certificate second of two: scripts/package signs, the time stamp declined on purpose" \
        signed_release "${token_settings[@]}" KORVELIN_SIGN_NO_TIMESTAMP=1 "KORVELIN_SIGN_CERTS=$keys/ec-then-rsa.pem"
    check_signed_release "token, no time stamp" "$keys/token-cert.pem"
    echo wrong > "$keys/wrong-pin"
    token_key=pkcs11:token=korvelin-test\;object=codesign
    # Each row: what the refusal must say; the settings it starts from (the
    # token's and a time-stamp server, the server's alone, or nothing at
    # all); the settings and arguments beyond them.
    while IFS='|' read -r what message base settings; do
        read -ra settings <<< "$settings"
        case $base in
        token) base=("${token_settings[@]}" "KORVELIN_SIGN_TIMESTAMP_URL=$tsa_url") ;;
        none) base=("KORVELIN_SIGN_TIMESTAMP_URL=$tsa_url") ;;
        *) base=() ;;
        esac
        check "packing stops on $what, with its cause" refused "$message" "${base[@]}" "${settings[@]}"
    done <<ROWS
no time stamp|KORVELIN_SIGN_TIMESTAMP_URL is not set|token|KORVELIN_SIGN_TIMESTAMP_URL=
a wrong PIN|PIN incorrect|token|KORVELIN_SIGN_PASSWORD_FILE=$keys/wrong-pin
a certificate of another key|no certificate in $keys/cert.pem matches the key|token|KORVELIN_SIGN_CERTS=$keys/cert.pem
an EC key whose file starts with an RSA certificate|Smart App Control accepts RSA signatures only|token|KORVELIN_SIGN_PKCS11_KEY=pkcs11:token=korvelin-test;object=codesign-ec KORVELIN_SIGN_CERTS=$keys/rsa-then-ec.pem
a release with no key|a release is signed, but no key is named|bare|--release
a release with its time stamp declined|KORVELIN_SIGN_NO_TIMESTAMP is set|token|--release KORVELIN_SIGN_NO_TIMESTAMP=1
a time stamp declined by a value other than 1|KORVELIN_SIGN_NO_TIMESTAMP='0' is no value|token|KORVELIN_SIGN_NO_TIMESTAMP=0
a release time-stamped by an authority of no known root|its time stamp does not verify (self-signed certificate)|token|--release
an argument it does not take|'--relase' is no argument|bare|--relase
an unreachable time-stamp server|Connection refused|token|KORVELIN_SIGN_TIMESTAMP_URL=http://127.0.0.1:9
a missing module|KORVELIN_SIGN_PKCS11_MODULE: no file|token|KORVELIN_SIGN_PKCS11_MODULE=$keys/none.so
a PIN after ';' in the key's URI|holds the PIN|token|KORVELIN_SIGN_PKCS11_KEY=$token_key;pin-value=$token_pin
a PIN after '&' in the key's URI|holds the PIN|token|KORVELIN_SIGN_PKCS11_KEY=pkcs11:token=korvelin-test&pin-value=$token_pin;object=codesign
a PIN in the key's query|holds the PIN|token|KORVELIN_SIGN_PKCS11_KEY=$token_key?pin-value=$token_pin
a misspelt variable|KORVELIN_SIGN_PKCS11KEY is no setting|none|KORVELIN_SIGN_PKCS11_MODULE=$softhsm_module KORVELIN_SIGN_PKCS11KEY=$token_key KORVELIN_SIGN_CERTS=$keys/token-cert.pem
a password file and no key|set, but no key|none|KORVELIN_SIGN_PASSWORD_FILE=$keys/pin
an EC key in a PKCS#12 file|Smart App Control accepts RSA signatures only|none|KORVELIN_SIGN_PKCS12=$keys/ec.p12 KORVELIN_SIGN_PASSWORD_FILE=$keys/password
an EC key on the token|Smart App Control accepts RSA signatures only|token|KORVELIN_SIGN_PKCS11_KEY=pkcs11:token=korvelin-test;object=codesign-ec KORVELIN_SIGN_CERTS=$keys/ec-token-cert.pem
ROWS
    check "token: scripts/package signs the exes and the installer" \
        signed_release "${token_settings[@]}" "KORVELIN_SIGN_TIMESTAMP_URL=$tsa_url" "KORVELIN_SIGN_TSA_CERTS=$keys/tsa-cert.pem"
    check_signed_release token "$keys/token-cert.pem" "$keys/tsa-cert.pem"
    check "the PIN is in no build file, package, log or command line" pin_nowhere
else
    echo "SKIPPED: signing with a key on a token: SoftHSM2 is not installed (Debian: softhsm2, opensc, libengine-pkcs11-openssl)"
fi

# The last signed release, the token's where it could be made.
check "under Wine: installs, the signed build replaces the unsigned, another .wxs replaces that, upgrades, refuses a downgrade, uninstalls" \
    bash "$source_dir/tests/wine/msi_install.sh" "$msi" "$source_dir/build/windows" \
        "$scratch/signed/${msi##*/}" "$scratch/signed" "$scratch/variant.msi" "$scratch/99.0.0.msi" "$scratch/0.0.1.msi"

[ "$failures" = 0 ]
