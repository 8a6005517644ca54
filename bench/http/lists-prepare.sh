#!/usr/bin/env bash
# Prepare script for run.sh (-p): fills zebd's database with 100,000 phones, 99,000 named
# SEP + 12 hex digits and 1,000 named LAB + 12 hex digits, so that the envelopes in lists/
# measure listPhoneByName returning 1,000 of 100,000 phones and getNumDevices over 100,000.
# Needs ZEBD_DB (from run.sh) and the loader, ZEB_LOAD_PHONES or build/bench/zeb_load_phones.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
loader="${ZEB_LOAD_PHONES:-$here/../../build/bench/zeb_load_phones}"
[[ -x "$loader" ]] || { echo "lists-prepare.sh: no loader at '$loader' (build with -DZEB_BUILD_BENCH=ON)" >&2; exit 2; }
"$loader" "$ZEBD_DB" 99000 SEP
"$loader" "$ZEBD_DB" 1000 LAB
