#!/bin/sh
# A built program is a Windows program of the wanted kind that needs no
# MinGW runtime DLL beside it, and whose import table names KnownDLLs only.
#   check_program_file.sh OBJDUMP PROGRAM FORMAT [SUBSYSTEM]
# FORMAT is pei-i386 for the shipped 32-bit program, pei-x86-64 for the other;
# SUBSYSTEM is "Windows GUI" (the setup program) or "Windows CUI" (the
# packing tool).
set -u
objdump=$1 program=$2 format=$3 subsystem=${4:-Windows GUI}
[ -f "$program" ] || { echo "missing: $program"; exit 1; }
headers=$("$objdump" -p "$program") || exit 1
status=0
printf '%s\n' "$headers" | grep -q "file format $format\$" ||
    { echo "not $format: $program"; status=1; }
printf '%s\n' "$headers" | grep -q "Subsystem.*($subsystem)" ||
    { echo "not a $subsystem program"; status=1; }
# Only KnownDLLs (those of Windows 7 and later) may be imported: Windows
# loads them from System32 whatever the program's folder holds. Any other
# imported library would be loaded before the program's first statement,
# from beside the program if one of its name is there; the program
# delay-loads such libraries instead.
printf '%s\n' "$headers" | sed -n 's/.*DLL Name: //p' | while read -r dll; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        advapi32.dll|comdlg32.dll|gdi32.dll|imagehlp.dll|imm32.dll|kernel32.dll|msctf.dll|msvcrt.dll|normaliz.dll) ;;
        nsi.dll|ole32.dll|oleaut32.dll|psapi.dll|rpcrt4.dll|sechost.dll|setupapi.dll|shell32.dll|shlwapi.dll) ;;
        user32.dll|wldap32.dll|ws2_32.dll) ;;
        *) echo "imports $dll, which is no KnownDLL"; exit 1 ;;
    esac
done || status=1
[ $status -eq 0 ] && echo "$program: $format, $subsystem, KnownDLLs only"
exit $status
