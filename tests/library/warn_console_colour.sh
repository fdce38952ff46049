#!/bin/sh
# A Warn line on a real console is bright yellow, and the console's own
# colour comes back afterwards. Wine gives a program a console only on a
# terminal, so the probe runs under script(1) and its ANSI output is read.
#   warn_console_colour.sh WINE_RUN CONSOLE_PROBE
set -u
# Wine hides and shows the cursor around every character; drop those codes.
output=$(script -qc "'$1' '$2'" /dev/null | tr -d '\r' | sed 's/\x1b\[?25[lh]//g')
plain=$(printf '%s' "$output" | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g')
status=0
case "$plain" in
    *"WARN> on a console"*) ;;
    *) echo "the warning line is missing"; status=1 ;;
esac
# 0x0E is bright yellow on black: the line must be written in it.
case "$output" in
    *"[93mWARN> on a console"*) ;;
    *) echo "the warning line is not bright yellow"; status=1 ;;
esac
case "$plain" in
    *"attribute=31"*) ;;
    *) echo "the console colour was not restored"; status=1 ;;
esac
[ $status -eq 0 ] || printf 'probe output:\n%s\n' "$plain" | cat -v
exit $status
