#!/usr/bin/env bash
# Checks the programs the presets build: each Windows exe is small,
# self-contained, of its subsystem and with its resources; each Linux
# program is hardened and needs the C library alone. (check_packages.sh
# rebuilds them from clean copies.)
#   check_binaries.sh SOURCE-DIR WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -u
source_dir=$(cd "$1" && pwd) windows_build=$2 linux_build=$3
. "$source_dir/tests/lib/checks.sh"
version=$(project_version "$source_dir")
# Windows maps its KnownDLLs from System32 whatever lies beside the exe
# (Microsoft, "Dynamic-link library search order": the registry key
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs). Those
# that Windows 10 and 11 list.
known_dlls=" ADVAPI32.DLL CLBCATQ.DLL COMDLG32.DLL GDI32.DLL IMAGEHLP.DLL IMM32.DLL KERNEL32.DLL MSCTF.DLL
 MSVCRT.DLL NORMALIZ.DLL NSI.DLL OLE32.DLL OLEAUT32.DLL PSAPI.DLL RPCRT4.DLL SECHOST.DLL SETUPAPI.DLL
 SHELL32.DLL SHLWAPI.DLL USER32.DLL WLDAP32.DLL WS2_32.DLL "

check_exe() {  # check_exe EXE SUBSYSTEM MAX-SIZE
    local exe=$1 subsystem=$2 max_size=$3 objdump_p imports size
    objdump_p=$(x86_64-w64-mingw32-objdump -p "$exe")
    imports=$(sed -n 's/^\s*DLL Name: //p' <<< "$objdump_p" | tr '[:lower:]' '[:upper:]' | sort | tr '\n' ' ')
    size=$(stat -c %s "$exe")
    echo "${exe##*/}: $size bytes, imports: $imports"
    only_known_dlls() {
        local dll
        for dll in $imports; do [[ $known_dlls =~ [[:space:]]$dll[[:space:]] ]] || return 1; done
    }
    resource() { wrestool -x --raw -t "$1" "$exe" 2>/dev/null | tr -d '\0'; }
    check "${exe##*/} at most $max_size bytes" test "$size" -le "$max_size"
    check "${exe##*/} imports KnownDLLs alone" only_known_dlls
    check "${exe##*/} imports SetDefaultDllDirectories" grep -Eq '^\s+[0-9a-f]+\s+[0-9]+\s+SetDefaultDllDirectories$' <<< "$objdump_p"
    check "${exe##*/} $subsystem subsystem" grep -q "Subsystem.*($subsystem)" <<< "$objdump_p"
    check "${exe##*/} has no time stamp" grep -q 'Time/Date.*1970' <<< "$objdump_p"
    check "${exe##*/} manifest runs as invoker" grep -q 'level="asInvoker"' <<< "$(resource 24)"
    check "${exe##*/} manifest asks for common controls 6" grep -q 'Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<< "$(resource 24)"
    check "${exe##*/} manifest is per-monitor DPI aware" grep -q 'PerMonitorV2' <<< "$(resource 24)"
    check "${exe##*/} manifest declares Windows 10 and 11 alone" test "$(grep -o 'supportedOS Id="[^"]*"' <<< "$(resource 24)")" \
        = 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'
    check "${exe##*/} version information $version, under its own name" \
        grep -q "FileVersion$version.*OriginalFilename${exe##*/}" <<< "$(resource 16 | tr -cd '[:print:]')"
    check "${exe##*/} icon" test -n "$(wrestool -l -t 14 "$exe")"
}
check_exe "$windows_build/korvelin-detect.exe" "Windows GUI" 65536
check_exe "$windows_build/korvelin-probe.exe" "Windows CUI" 98304
# What no KnownDLL holds is loaded while the program runs, by these names
# alone and from System32 alone.
runtime_dlls() { strings -el "$1" | grep -ix '[a-z0-9_]*\.dll' | tr '[:upper:]' '[:lower:]' | sort -u | paste -sd ' '; }
check "korvelin-probe loads iphlpapi, msimg32 and winhttp alone while it runs" \
    test "$(runtime_dlls "$windows_build/korvelin-probe.exe")" = "iphlpapi.dll msimg32.dll winhttp.dll"
check "every LoadLibrary call of the sources searches System32 alone" \
    test -z "$(grep -rn 'LoadLibrary[A-Za-z]*(' "$source_dir/src" | grep -v LOAD_LIBRARY_SEARCH_SYSTEM32)"

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
# what each library declares; no nm, no library or an nm that fails is a
# failure, and so is a graph without the one need every build has.
library_tree() {  # library_tree BUILD-DIR NM
    local libraries=("$1"/lib*.a) a b undefined defined needs=
    [ -e "${libraries[0]}" ] || { echo "no library in $1"; return 1; }
    for a in "${libraries[@]}"; do
        undefined=$("$2" -u -j "$a") || { echo "$2 failed on $a"; return 1; }
        for b in "${libraries[@]}"; do
            defined=$("$2" --defined-only -j "$b") || { echo "$2 failed on $b"; return 1; }
            [ "$a" = "$b" ] || ! grep -qxFf <(grep -v ':$' <<< "$defined" | grep .) <<< "$undefined" ||
                needs+="${a##*/lib} ${b##*/lib}"$'\n'
        done
    done
    grep -qx 'detect.a text.a' <<< "$needs" && ! grep -q '^text.a ' <<< "$needs" && tsort <<< "$needs" > /dev/null
}
for build in "$windows_build:x86_64-w64-mingw32-nm" "$linux_build:nm"; do
    check "${build%%:*}: text needs no other library, and no library needs itself through others" \
        library_tree "${build%%:*}" "${build#*:}"
done

[ "$failures" = 0 ]
