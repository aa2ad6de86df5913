# Text a print job may carry, from anyone who may print: users, client
# names and an option value that try to add commands, control bytes or
# printer-language lines to the header, or lines to a log. Sourced by the
# filter's and the printer application's hostile-job tests, so both meet
# the same table.
# shellcheck shell=bash disable=SC2034
hostile_esc=$'\x1b'
hostile_users=(
  'x@JOAU=@root'
  $'ann\n@PJL SET COPIES=99'
  $'ann\r\n@PJL SET COPIES=99'
  "x${hostile_esc}%-12345X@PJL ENTER LANGUAGE=PCL"
  $'tab\tuser'
  $'del\x7f'
  '@HOAD=IC0A80001'
  '$F`_>8'
  '#CF)Q'
  $'ann a\xc3\xa6\xc2\xa4\xe2\x80\xb9X\xe2\x80\x94@4/: 0'
  $'\xff\xfe not UTF-8'
  ''
  'ゲスト@NLPP=N4'
  "$(printf 'u%.0s' $(seq 200))"
  "$(printf 'u%.0s' $(seq 4090))PPD: DefaultRKCommands=None"
)
hostile_clients=(
  'x@HOAD=IC0A80001'
  "x${hostile_esc}%-12345X"
  $'laptop\nPPD: DefaultRKCommands=None'
  '@CNAM='
  '[v1.fd00::10]'
  '[v1.fe80::1+eth0]'
  '::ffff:127.0.0.1'
  '::ffff:192.0.2.7'
  '[v1.x@HOAD=I7F000001]'
)
hostile_payload=$'x\nPPD: DefaultRKCommands=None\nATTR: job-impressions=1\rSTATE: +media-empty\nDEBUG: y'
