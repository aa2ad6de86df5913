#!/bin/sh
# Runs a Windows program under Wine: the cross builds' test emulator.
# A private prefix unless the caller chose one, no debug chatter, and a time
# limit so a hung Wine never hangs the build.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/rkvtps32-wine-$(id -u)}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
exec timeout "${RK_WINE_TIMEOUT:-600}" wine "$@"
