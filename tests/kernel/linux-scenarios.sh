# The unchanged Linux dmx-terminal against virtual adapters, run inside the
# test machine: through uhid, and as a USB device through usbhid. Each
# scenario compares standard output byte for byte and the exit status, prints
# one result line, and a summary at the end.
PATH=/rig:/bin:/sbin:/usr/bin:/usr/sbin
. /rig/rig-lib.sh

RUN_AS=""
run_program() {
  if [ -n "$RUN_AS" ]; then
    su "$RUN_AS" -s /bin/sh -c 'timeout 30 /rig/dmx-terminal'
  else
    timeout 30 dmx-terminal
  fi
}
after_start() { :; }
after_stop() { :; }
EXPECT_FILTER=""
EXTRA_CHECK=""
: >/tmp/devices.log

check not-found-no-device '\n' "$BANNER$NOT_FOUND" 0 ''

start_devices uhid 1 --other-only
check not-found-other-product-only '\n' "$BANNER$NOT_FOUND" 0 ''
stop_devices

dialogue_scenarios uhid 65
dialogue_scenarios gadget 64

for t in uhid gadget; do
  start_devices $t 2 --second-adapter
  EXTRA_CHECK='! grep -q "second-adapter: command" /tmp/devices.log && grep -q "^adapter: command \"hello\"" /tmp/devices.log'
  check $t-two-adapters-first-opened 'hello\n' "$BANNER$IDENT"'OK hello\r\n>' 0 ''
  stop_devices
done

start_devices uhid 1
RUN_AS=dmxuser
EXTRA_CHECK='grep -q "cannot open /dev/hidraw0: Permission denied; to grant access install the udev rule" /tmp/err && [ "$(wc -l </tmp/err)" = 1 ]'
check permission-denied '\n' "$BANNER$NOT_FOUND" 0
RUN_AS=""
stop_devices

rig "SUMMARY linux: $passed passed, $failed failed"
