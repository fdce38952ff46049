#!/bin/sh
# A built setup program is a Windows GUI program of the wanted kind that
# needs no MinGW runtime DLL beside it.
#   check_program_file.sh OBJDUMP PROGRAM FORMAT
# FORMAT is pei-i386 for the shipped 32-bit program, pei-x86-64 for the other.
set -u
objdump=$1 program=$2 format=$3
[ -f "$program" ] || { echo "missing: $program"; exit 1; }
headers=$("$objdump" -p "$program") || exit 1
status=0
printf '%s\n' "$headers" | grep -q "file format $format\$" ||
    { echo "not $format: $program"; status=1; }
printf '%s\n' "$headers" | grep -q 'Subsystem.*(Windows GUI)' ||
    { echo "not a GUI program"; status=1; }
# Only DLLs that every Windows has may be imported.
printf '%s\n' "$headers" | sed -n 's/.*DLL Name: //p' | while read -r dll; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|msvcrt.dll|winhttp.dll|winmm.dll|comctl32.dll) ;;
        *) echo "imports $dll"; exit 1 ;;
    esac
done || status=1
[ $status -eq 0 ] && echo "$program: $format, GUI, system DLLs only"
exit $status
