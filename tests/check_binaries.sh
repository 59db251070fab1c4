#!/usr/bin/env bash
# Checks the programs the presets build: each Windows exe is small,
# self-contained, of its subsystem and with its resources; each Linux
# program is hardened and needs the C library alone. (check_packages.sh
# rebuilds them from clean copies.)
#   check_binaries.sh SOURCE-DIR WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -u
source_dir=$(cd "$1" && pwd) windows_build=$2 linux_build=$3
. "$source_dir/tests/lib/checks.sh"
max_size=65536
version=$(project_version "$source_dir")

check_exe() {  # check_exe EXE SUBSYSTEM [ANOTHER-DLL-IT-MAY-IMPORT]
    local exe=$1 subsystem=$2 also=${3:-} objdump_p imports size
    objdump_p=$(x86_64-w64-mingw32-objdump -p "$exe")
    imports=$(sed -n 's/^\s*DLL Name: //p' <<< "$objdump_p" | tr '[:lower:]' '[:upper:]' | sort | tr '\n' ' ')
    size=$(stat -c %s "$exe")
    echo "${exe##*/}: $size bytes, imports: $imports"
    only_system_dlls() {
        local dll
        for dll in $imports; do
            case $dll in KERNEL32.DLL|USER32.DLL|SHELL32.DLL|WS2_32.DLL|MSVCRT.DLL|OLE32.DLL|"$also") ;; *) return 1 ;; esac
        done
    }
    resource() { wrestool -x --raw -t "$1" "$exe" 2>/dev/null | tr -d '\0'; }
    check "${exe##*/} at most $max_size bytes" test "$size" -le "$max_size"
    check "${exe##*/} imports only Windows system DLLs" only_system_dlls
    check "${exe##*/} $subsystem subsystem" grep -q "Subsystem.*($subsystem)" <<< "$objdump_p"
    check "${exe##*/} has no time stamp" grep -q 'Time/Date.*1970' <<< "$objdump_p"
    check "${exe##*/} manifest runs as invoker" grep -q 'level="asInvoker"' <<< "$(resource 24)"
    check "${exe##*/} manifest asks for common controls 6" grep -q 'Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<< "$(resource 24)"
    check "${exe##*/} manifest is per-monitor DPI aware" grep -q 'PerMonitorV2' <<< "$(resource 24)"
    check "${exe##*/} version information $version, under its own name" \
        grep -q "FileVersion$version.*OriginalFilename${exe##*/}" <<< "$(resource 16 | tr -cd '[:print:]')"
    check "${exe##*/} icon" test -n "$(wrestool -l -t 14 "$exe")"
}
check_exe "$windows_build/korvelin-detect.exe" "Windows GUI"
# The probe names the adapters with IP Helper.
check_exe "$windows_build/korvelin-probe.exe" "Windows CUI" IPHLPAPI.DLL

hardened() {  # RELRO, BIND_NOW and PIE, the stack protector
    readelf -lW "$1" | grep -q GNU_RELRO &&
        readelf -dW "$1" | grep -q 'FLAGS_1.*NOW PIE' &&
        nm -D "$1" | grep -q ' U __stack_chk_fail@'
}
c_library_alone() { test "$(readelf -dW "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')" = libc.so.6; }
for program in korvelin-detect korvelin-probe; do
    check "Linux $program hardened" hardened "$linux_build/$program"
    check "Linux $program needs the C library alone" c_library_alone "$linux_build/$program"
done

# The probe makes no call that the C library fortifies; the launcher does.
check "Linux korvelin-detect's calls fortified" grep -q ' U __[a-z]*_chk@' <<< "$(nm -D "$linux_build/korvelin-detect")"

# The libraries form a tree: one needs another when it leaves undefined a
# symbol the other defines, and none needs itself through others (tsort
# finds such a loop). From the symbols, since CMake's graph shows only
# what each library declares.
for build in "$windows_build:x86_64-w64-mingw32-nm" "$linux_build:nm"; do
    needs=$(for a in "${build%%:*}"/lib*.a; do for b in "${build%%:*}"/lib*.a; do
        [ "$a" = "$b" ] || ! grep -qxFf <("${build#*:}" --defined-only -j "$b") <("${build#*:}" -u -j "$a") ||
            echo "${a##*/lib} ${b##*/lib}"; done; done 2> /dev/null)
    check "${build%%:*}: text needs no other library, and no library needs itself through others" \
        eval '! grep -q "^text.a " <<< "$needs" && tsort <<< "$needs" > /dev/null 2>&1'
done

[ "$failures" = 0 ]
