# The unchanged 32-bit dmx-terminal.exe under Wine, run inside the test
# machine in a chroot of the host's root: Wine's udev bus finds the hidraw
# devices, and SetupDi, HidD, HidP, CreateFile, ReadFile and WriteFile run
# through Wine's HID class driver against the kernel devices, made by uhid and
# by the USB HID gadget. The same scenarios as the Linux program's, expected in
# the console's text mode: every LF goes out as CR LF.
PATH=/tmp/rig:/usr/bin:/bin:/usr/sbin:/sbin
export HOME=/tmp WINEPREFIX=/tmp/prefix WINEDEBUG=-all
. /tmp/rig/rig-lib.sh

RIG_NAME_PREFIX=wine-
EXPECT_FILTER="perl -pe s/\n/\r\n/g"
EXTRA_CHECK=""
# Under Wine the notice is a message box: standard error stays empty.
NOTICE=''
run_program() { timeout 60 wine /tmp/rig/dmx-terminal.exe; }

# wine_lists IDS...: waits until Wine's HID devices of the adapter's vendor
# are exactly IDS (none when no IDS are given). Wine hears of devices through
# udev, some time after the kernel has made them.
wine_lists() {
  want=$(printf '%s\n' "$@" | sort | tr -d '\n')
  i=0
  while [ $i -lt 30 ]; do
    listed=$(timeout 60 wine /tmp/rig/hid-list.exe | tr -d '\r' | grep -o '^0F48:[0-9A-F]*' | sort |
             tr -d '\n')
    [ "$listed" = "$want" ] && return 0
    sleep 1
    i=$((i + 1))
  done
  rig "ERROR: Wine lists '$listed', expected '$want'"
  echo "--- kernel: $(ls /sys/class/hidraw 2>&1); devices: $(cat /tmp/devices.log)"
  dmesg | tail -15
}
after_start() {
  case " $* " in
    *" --other-first "*) wine_lists 0F48:4202 0F48:4201 ;;
    *) wine_lists 0F48:4201 ;;
  esac
}
after_stop() { wine_lists; }
# What Wine sees now, and the same run again with Wine's HID tracing: shown
# on the console only, the scenario stays failed.
show_diagnostics() {
  echo "--- Wine's HID devices"
  timeout 60 wine /tmp/rig/hid-list.exe
  echo "--- the run again, traced"
  WINEDEBUG=+hid,+hidp,+plugplay,err+all timeout 30 wine /tmp/rig/dmx-terminal.exe </tmp/in 2>&1 |
    tail -40
  echo "--- devices after it"; cat /tmp/devices.log
}

# One warm wineserver for every scenario: a Wine start costs seconds here.
wineserver -p
wine_lists
check not-found-no-device '\n' "$BANNER$NOT_FOUND" 0 ''

dialogue_scenarios uhid 65
dialogue_scenarios gadget 64

wineserver -k
rig "SUMMARY wine: $passed passed, $failed failed"
