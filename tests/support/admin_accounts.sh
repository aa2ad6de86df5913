# Accounts and services that exist only in the test's mount namespace, for
# the tests of who may steer the printer application: copies of the user,
# password and group files with the test's users added, a PAM service of
# their own, and private certificate folders. Source after app_env_enter.
# shellcheck shell=bash

admin_user=rkadmin
plain_user=rkuser
print_group=rkprint
pam_service=rkvtps-test

# make_accounts PASSWORD: $admin_user in lpadmin (the application's default
# admin group), $plain_user in $print_group only, both with PASSWORD, over
# the real files inside this namespace only.
make_accounts() {
  local password=$1 hash etc=$tree/etc
  mkdir -p "$etc"
  hash=$(openssl passwd -6 "$password")
  cp /etc/passwd /etc/shadow /etc/group "$etc/"
  grep -q '^lpadmin:' "$etc/group" || echo "lpadmin:x:64900:" >> "$etc/group"
  # Add the admin to lpadmin's member list, whatever is in it already.
  sed -i -E "s/^(lpadmin:[^:]*:[^:]*:)(.+)$/\1\2,$admin_user/; s/^(lpadmin:[^:]*:[^:]*:)$/\1$admin_user/" \
    "$etc/group"
  printf '%s:x:64901:64901::/nonexistent:/usr/sbin/nologin\n' "$admin_user" >> "$etc/passwd"
  printf '%s:x:64902:64902::/nonexistent:/usr/sbin/nologin\n' "$plain_user" >> "$etc/passwd"
  printf '%s:x:64901:\n%s:x:64902:\n%s:x:64903:%s\n' "$admin_user" "$plain_user" \
    "$print_group" "$plain_user" >> "$etc/group"
  printf '%s:%s:19000:0:99999:7:::\n' "$admin_user" "$hash" "$plain_user" "$hash" >> "$etc/shadow"
  local file
  for file in passwd shadow group; do mount --bind "$etc/$file" "/etc/$file"; done
  # A PAM service of the test's own: the system's files, nothing else.
  cp -a /etc/pam.d "$etc/pam.d"
  printf 'auth required pam_unix.so\naccount required pam_unix.so\n' > "$etc/pam.d/$pam_service"
  mount --bind "$etc/pam.d" /etc/pam.d
  # The server's certificate (made at its first start) and the clients'
  # trusted ones stay in this namespace.
  mkdir -p "$tree/home"
  export HOME=$tree/home
  [ -d /etc/cups/ssl ] || app_env_skip "/etc/cups/ssl is missing (cups-common makes it)"
  mount -t tmpfs tmpfs /etc/cups/ssl
  id "$admin_user" | grep -q lpadmin || { echo "FAIL: the admin account was not made" >&2; exit 1; }
}
