#!/usr/bin/env bash
# The fault tables' rows that need a network of their own: rzlctl and the windows over a slowed
# link, and with the module's default address unreachable (every packet lost). Each runs inside
# a private network namespace made for it; exits 77 (skipped) where none can be made.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netns_lib.sh"

if [ "${2:-}" = inside ]; then
  export RZL_FAULT_NETWORK=$3
  rzl_run_netns_driver "$build/tests/rzlctl_fault_table_test" RZL_IN_NETNS
  if [ -x "$build/tests/fault_table_gui_test" ]; then
    rzl_run_netns_driver "$build/tests/fault_table_gui_test" RZL_IN_NETNS
  fi
  exit 0
fi

rzl_in_slow_loopback_netns bash "$0" "$build" inside slow-link
rzl_in_unreachable_module_netns bash "$0" "$build" inside unreachable-default
