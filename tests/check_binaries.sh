#!/usr/bin/env bash
# Checks the programs the presets build: the Windows exe is a small,
# self-contained GUI program with its resources, the Linux program a
# hardened one. (check_packages.sh rebuilds both from clean copies.)
#   check_binaries.sh SOURCE-DIR WINDOWS-EXE LINUX-PROGRAM
set -u
source_dir=$(cd "$1" && pwd) exe=$2 program=$3
. "$source_dir/tests/lib/checks.sh"
max_size=65536

objdump_p=$(x86_64-w64-mingw32-objdump -p "$exe")
imports=$(sed -n 's/^\s*DLL Name: //p' <<< "$objdump_p" | tr '[:lower:]' '[:upper:]' | sort | tr '\n' ' ')
size=$(stat -c %s "$exe")
echo "exe: $size bytes, imports: $imports"

only_system_dlls() {
    local dll
    for dll in $imports; do
        case $dll in KERNEL32.DLL|USER32.DLL|SHELL32.DLL|WS2_32.DLL|MSVCRT.DLL|OLE32.DLL) ;; *) return 1 ;; esac
    done
}
resource() { wrestool -x --raw -t "$1" "$exe" 2>/dev/null | tr -d '\0'; }
version=$(project_version "$source_dir")

check "at most $max_size bytes" test "$size" -le "$max_size"
check "imports only Windows system DLLs" only_system_dlls
check "GUI subsystem" grep -q 'Subsystem.*(Windows GUI)' <<< "$objdump_p"
check "no time stamp" grep -q 'Time/Date.*1970' <<< "$objdump_p"
check "manifest runs as invoker" grep -q 'level="asInvoker"' <<< "$(resource 24)"
check "manifest asks for common controls 6" grep -q 'Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<< "$(resource 24)"
check "manifest is per-monitor DPI aware" grep -q 'PerMonitorV2' <<< "$(resource 24)"
check "version information $version" grep -q "FileVersion$version" <<< "$(resource 16 | tr -cd '[:print:]')"
check "icon" test -n "$(wrestool -l -t 14 "$exe")"

hardened() {  # RELRO, BIND_NOW and PIE, fortified calls, the stack protector
    readelf -lW "$program" | grep -q GNU_RELRO &&
        readelf -dW "$program" | grep -q 'FLAGS_1.*NOW PIE' &&
        nm -D "$program" | grep -q ' U __[a-z]*_chk@' &&
        nm -D "$program" | grep -q ' U __stack_chk_fail@'
}
check "Linux program hardened" hardened

[ "$failures" = 0 ]
