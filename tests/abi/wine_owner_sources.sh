#!/bin/sh
# The job-owner command from user and host against Wine's real account and
# registry calls: as the system account with and without a Winlogon
# DefaultUserName value, and as an ordinary user.
# Usage: wine_owner_sources.sh WINE_RUN ABI_TEST_EXE
set -eu
run=$1
exe=$2
key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon'
filter=--gtest_filter=WindowsOwner.UserAndHostSources

as_user() {  # USER is what Wine 8 reports; WINEUSERNAME what other versions do
  account=$1
  expected=$2
  echo "== account $account, expecting $expected"
  USER=$account WINEUSERNAME=$account RK_EXPECT_OWNER_USER=$expected "$run" "$exe" "$filter"
}

# Both registry views: a 64-bit prefix keeps 32-bit programs' SOFTWARE
# apart, and `wine reg` alone writes only one of them.
# A reg run that starts while the previous program's wineserver is going
# down has been seen to fail at once, without a word: try again before
# giving up, and say so.
set_value() {
  for view in 32 64; do
    for attempt in 1 2 3; do
      "$run" reg add "$key" /v DefaultUserName /d "$1" /f /reg:$view >/dev/null && break
      echo "reg add /reg:$view failed (attempt $attempt)"
      [ "$attempt" = 3 ] && exit 1
      sleep 2
    done
  done
}
delete_value() { for view in 32 64; do "$run" reg delete "$key" /v DefaultUserName /f /reg:$view >/dev/null 2>&1 || true; done; }

set_value regadmin
as_user SYSTEM regadmin
as_user System regadmin
as_user system system
delete_value
as_user SYSTEM UnknownUser
as_user driveruser driveruser
