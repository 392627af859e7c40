# Shared by the scenario scripts, which run inside the test machine (busybox
# sh, or the host's /bin/sh under Wine): result lines, the expected texts, and
# starting and stopping virtual adapters.

# Result lines go to the console and to the second serial port, which the rig
# reads on its own: nothing else writes there, so no kernel message can break
# a line.
rig() {
  echo "RIG $*"
  echo "RIG $*" >/dev/ttyS1
}
passed=0
failed=0

BANNER='\nLorund Demo (mouse click the window Close Box to quit)\n'
NOT_FOUND='\nDMX Adapter was not found!\n'
IDENT='DMX USB adapter (simulated), firmware 1.00\r\nVendor 0F48, product 4201; 64-byte reports\r\nOne DMX universe, 512 channels\r\nMisbehaviour on demand: ~split ~long ~flood ~count ~nul ~empty ~readfail ~cutoff ~zero\r\n~unplug\r\n>'
NOTICE='Error: USB Comm error\n'
LONG=$(for c in $(seq 1 48); do printf 'Channel %03d = %03d\\r\\n' "$c" $((c * 37 % 256)); done)
FLOOD=$(for n in $(seq 1 100); do printf 'Line %03d of 100\\r\\n' "$n"; done)
# The count says 255; the 62 text bytes that arrived are shown, no more.
COUNT='Count 255 in a 64-byte report: all 62 text bytes, no more.....\r\nOK ~count\r\n>'
# "OK " and 57 characters fill a report's 62 text bytes with CR LF, so ">"
# starts the next report; with 58, CR ends one report and LF ">" starts the next.
A57=$(printf '%057d' 0 | tr 0 a)
B58=$(printf '%058d' 0 | tr 0 b)

# start_devices TRANSPORT NODES [virtual-adapter options]: waits until the
# kernel has made NODES hidraw nodes. uhid reports a device started before
# hidraw has connected to it, and devtmpfs makes the node later still. Then
# the caller's after_start hook waits for whatever else must see the devices
# (it gets the options); after_stop likewise once they are gone.
start_devices() {
  transport=$1
  nodes=$2
  shift 2
  rm -f /tmp/ready
  virtual-adapter --transport "$transport" --ready-file /tmp/ready "$@" 2>/tmp/devices.log &
  devices=$!
  i=0
  while { [ ! -e /tmp/ready ] || [ "$(ls /dev/hidraw* 2>/dev/null | wc -l)" -lt "$nodes" ]; } &&
        [ $i -lt 400 ]; do
    sleep 0.05
    i=$((i + 1))
  done
  [ -e /tmp/ready ] || rig "ERROR: virtual devices not ready: $(cat /tmp/devices.log)"
  [ "$(ls /dev/hidraw* 2>/dev/null | wc -l)" -ge "$nodes" ] || rig "ERROR: hidraw nodes missing"
  after_start "$@"
}

stop_devices() {
  kill "$devices" 2>/dev/null
  wait "$devices" 2>/dev/null
  # The kernel takes the nodes away once the devices are gone.
  i=0
  while ls /dev/hidraw* >/dev/null 2>&1 && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done
  if ls /dev/hidraw* >/dev/null 2>&1; then
    rig "ERROR: hidraw nodes left after the devices ended: $(ls /dev/hidraw*); $(cat /tmp/devices.log)"
  fi
  after_stop
}

# What the caller can tell about a failure beyond the output; nothing here.
show_diagnostics() { :; }

# check NAME INPUT EXPECTED_OUT EXPECTED_STATUS [EXPECTED_ERR]
# Result lines name the scenario after RIG_NAME_PREFIX, when set.
# INPUT and the expectations are printf formats. run_program (defined by the
# caller) runs the program with /tmp/in, /tmp/out and /tmp/err; EXPECT_FILTER,
# when set, is a command that turns the expected output into what this
# platform prints; EXTRA_CHECK, when set, is evaluated afterwards.
check() {
  name=$1
  printf "$2" >/tmp/in
  if [ -n "$EXPECT_FILTER" ]; then
    printf "$3" | $EXPECT_FILTER >/tmp/expected
  else
    printf "$3" >/tmp/expected
  fi
  want_status=$4
  run_program </tmp/in >/tmp/out 2>/tmp/err
  status=$?
  why=""
  cmp -s /tmp/out /tmp/expected || why="$why stdout differs;"
  [ "$status" = "$want_status" ] || why="$why exit status $status, expected $want_status;"
  if [ $# -ge 5 ]; then
    printf "$5" >/tmp/expected_err
    cmp -s /tmp/err /tmp/expected_err || why="$why stderr differs;"
  fi
  if [ -n "$EXTRA_CHECK" ] && ! eval "$EXTRA_CHECK"; then why="$why $EXTRA_CHECK failed;"; fi
  if [ -z "$why" ]; then
    rig "RESULT $RIG_NAME_PREFIX$name PASS"
    passed=$((passed + 1))
  else
    rig "RESULT $RIG_NAME_PREFIX$name FAIL:$why"
    echo "--- stdout"; od -c /tmp/out | head -40
    echo "--- expected"; od -c /tmp/expected | head -40
    echo "--- stderr"; cat /tmp/err
    echo "--- devices"; cat /tmp/devices.log 2>/dev/null
    show_diagnostics
    failed=$((failed + 1))
  fi
  EXTRA_CHECK=""
}

# The dialogue as a user meets it, the same through either transport.
# $1: the transport; $2: how many bytes of a command report reach the device
# (uhid hands over the report ID too, usbhid strips an unnumbered report's).
dialogue_scenarios() {
  t=$1
  wire=$2
  start_devices "$t" 1
  check "$t-answer-to-I" '' "$BANNER$IDENT" 0 ''
  stop_devices

  start_devices "$t" 1
  EXTRA_CHECK="grep -q '^adapter: command \"DMX 1 255\" ($wire bytes)' /tmp/devices.log"
  check "$t-several-commands" 'DMX 1 255\n\nCHAN?\r\n' \
    "$BANNER$IDENT"'OK DMX 1 255\r\n>OK \r\n>OK CHAN?\r\n>' 0 ''
  stop_devices

  start_devices "$t" 1
  check "$t-prompt-split-both-ways" "$A57\n$B58\n~split\nnext\n" \
    "$BANNER$IDENT"'OK '"$A57"'\r\n>OK '"$B58"'\r\n>OK ~split\r\n>OK next\r\n>' 0 ''
  stop_devices

  start_devices "$t" 1
  check "$t-count-beyond-report" '~count\nnext\n' "$BANNER$IDENT$COUNT"'OK next\r\n>' 0 ''
  stop_devices

  start_devices "$t" 1
  check "$t-nul-and-empty-reports" '~nul\n~empty\n' \
    "$BANNER$IDENT"'OK ~nul: shown\r\n>OK ~empty\r\n>' 0 ''
  stop_devices

  start_devices "$t" 1
  check "$t-long-replies" '~long\n~flood\nnext\n' \
    "$BANNER$IDENT$LONG"'OK ~long\r\n>'"$FLOOD"'OK ~flood\r\n>OK next\r\n>' 0 ''
  stop_devices

  start_devices "$t" 1
  EXTRA_CHECK='grep -q "adapter: unplugged" /tmp/devices.log'
  check "$t-unplugged-mid-session" '~unplug\nnext\nnever\n' "$BANNER$IDENT" 1 "$NOTICE"
  stop_devices

  start_devices "$t" 2 --other-first
  EXTRA_CHECK='! grep -q "other-product: command" /tmp/devices.log'
  check "$t-other-product-then-adapter" 'hello\n' "$BANNER$IDENT"'OK hello\r\n>' 0 ''
  stop_devices
}
