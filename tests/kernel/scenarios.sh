# The scenarios, run inside the test machine: the unchanged dmx-terminal
# against virtual adapters made by uhid. Each compares standard output byte for
# byte and the exit status, prints one result line, and a summary at the end.
PATH=/rig:/bin:/sbin:/usr/bin:/usr/sbin

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
IDENT='DMX USB adapter (simulated), firmware 1.00\r\nVendor 0F48, product 4201; 64-byte reports\r\nOne DMX universe, 512 channels\r\nMisbehaviour on demand: ~split ~long ~nul ~empty ~readfail ~zero ~unplug\r\n>'
NOTICE='Error: USB Comm error\n'
LONG=$(for c in $(seq 1 48); do printf 'Channel %03d = %03d\\r\\n' "$c" $((c * 37 % 256)); done)

# start_devices NODES [virtual-adapter options]: waits until the kernel has
# made NODES hidraw nodes. uhid reports a device started before hidraw has
# connected to it, and devtmpfs makes the node later still.
start_devices() {
  nodes=$1
  shift
  rm -f /tmp/ready
  virtual-adapter --ready-file /tmp/ready "$@" 2>/tmp/devices.log &
  devices=$!
  i=0
  while { [ ! -e /tmp/ready ] || [ "$(ls /dev/hidraw* 2>/dev/null | wc -l)" -lt "$nodes" ]; } &&
        [ $i -lt 200 ]; do
    sleep 0.05
    i=$((i + 1))
  done
  [ -e /tmp/ready ] || rig "ERROR: virtual devices not ready"
  [ "$(ls /dev/hidraw* 2>/dev/null | wc -l)" -ge "$nodes" ] || rig "ERROR: hidraw nodes missing"
}

stop_devices() {
  kill "$devices" 2>/dev/null
  wait "$devices" 2>/dev/null
  # The kernel takes the nodes away once uhid is closed.
  i=0
  while ls /dev/hidraw* >/dev/null 2>&1 && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
}

# check NAME INPUT EXPECTED_OUT EXPECTED_STATUS [EXPECTED_ERR]
# INPUT and the expectations are printf formats. RUN_AS, when set, names the
# user to run the program as.
check() {
  name=$1
  printf "$2" >/tmp/in
  printf "$3" >/tmp/expected
  want_status=$4
  if [ -n "$RUN_AS" ]; then
    su "$RUN_AS" -s /bin/sh -c 'timeout 30 /rig/dmx-terminal' </tmp/in >/tmp/out 2>/tmp/err
  else
    timeout 30 dmx-terminal </tmp/in >/tmp/out 2>/tmp/err
  fi
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
    rig "RESULT $name PASS"
    passed=$((passed + 1))
  else
    rig "RESULT $name FAIL:$why"
    echo "--- stdout"; od -c /tmp/out | head -40
    echo "--- expected"; od -c /tmp/expected | head -40
    echo "--- stderr"; cat /tmp/err
    echo "--- devices"; cat /tmp/devices.log 2>/dev/null
    failed=$((failed + 1))
  fi
  RUN_AS=""
  EXTRA_CHECK=""
}

RUN_AS=""
EXTRA_CHECK=""
: >/tmp/devices.log

check not-found-no-device '\n' "$BANNER$NOT_FOUND" 0 ''

start_devices 1 --other-only
check not-found-other-product-only '\n' "$BANNER$NOT_FOUND" 0 ''
stop_devices

start_devices 1
check answer-to-I '' "$BANNER$IDENT" 0 ''
stop_devices

start_devices 1
# hidraw passes the whole 65-byte report, ID byte first, to the device.
EXTRA_CHECK='grep -q "^adapter: command \"DMX 1 255\" (65 bytes)" /tmp/devices.log'
check several-commands 'DMX 1 255\n\nCHAN?\r\n' \
  "$BANNER$IDENT"'OK DMX 1 255\r\n>OK \r\n>OK CHAN?\r\n>' 0 ''
stop_devices

start_devices 1
check split-prompt '~split\nnext\n' "$BANNER$IDENT"'OK ~split\r\n>OK next\r\n>' 0 ''
stop_devices

start_devices 1
check long-reply '~long\nnext\n' "$BANNER$IDENT$LONG"'OK ~long\r\n>OK next\r\n>' 0 ''
stop_devices

start_devices 1
check nul-and-empty-reports '~nul\n~empty\n' "$BANNER$IDENT"'OK ~nul: shown\r\n>OK ~empty\r\n>' 0 ''
stop_devices

start_devices 1
EXTRA_CHECK='grep -q "adapter: unplugged" /tmp/devices.log'
check unplugged-mid-session '~unplug\nnext\nnever\n' "$BANNER$IDENT" 1 "$NOTICE"
stop_devices

start_devices 2 --other-first
EXTRA_CHECK='! grep -q "other-product: command" /tmp/devices.log'
check other-product-then-adapter 'hello\n' "$BANNER$IDENT"'OK hello\r\n>' 0 ''
stop_devices

start_devices 2 --second-adapter
EXTRA_CHECK='! grep -q "second-adapter: command" /tmp/devices.log && grep -q "^adapter: command \"hello\"" /tmp/devices.log'
check two-adapters-first-opened 'hello\n' "$BANNER$IDENT"'OK hello\r\n>' 0 ''
stop_devices

start_devices 1
RUN_AS=dmxuser
EXTRA_CHECK='grep -q "cannot open /dev/hidraw0: Permission denied; to grant access install the udev rule" /tmp/err && [ "$(wc -l </tmp/err)" = 1 ]'
check permission-denied '\n' "$BANNER$NOT_FOUND" 0
stop_devices

rig "SUMMARY: $passed passed, $failed failed"
