#!/bin/sh
# Which widths of Windows programs this host's Wine can run, decided once by
# the Makefile and handed to both build trees. Prints one line: "both",
# "emulated" or "64", then a sentence for people.
#   QV_WIDTHS=64        takes the 64-bit-only path on any host
#   QV_WIDTHS=32,64     insists on both (refused where Wine's 32-bit side is missing)
# Some kernels run no 32-bit code at all: there the 32-bit loader fails with
# "Exec format error" (126), and the 32-bit build's tests run in an emulated
# machine that runs both (tools/vm/machine.py).
loader32=${QV_LOADER32:-/usr/lib/wine/wine}  # another loader only in its own test

probe() {
    if [ ! -x "$loader32" ]; then
        echo "64 This host runs 64-bit Windows programs only: Wine's 32-bit loader $loader32 is missing, so the probe cannot tell; the 32-bit build is built and checked, not run."
    elif "$loader32" --version >/dev/null 2>&1; then
        echo "both This host runs 32-bit and 64-bit Windows programs: both builds are built and run."
    else
        echo "emulated This host runs 64-bit Windows programs only: its kernel runs no 32-bit code; the tests of the 32-bit build run in an emulated machine that runs both."
    fi
}

case "${QV_WIDTHS-}" in
"")
    probe ;;
64)
    echo "64 Taking the 64-bit-only path (QV_WIDTHS=64): the 32-bit build is built and checked, not run." ;;
32,64|"32 64"|both)
    case "$(probe)" in
    both* | emulated*) probe ;;
    *) echo "QV_WIDTHS=$QV_WIDTHS asks for 32-bit programs, but this host cannot run them: leave QV_WIDTHS unset or set it to 64." >&2
       exit 1 ;;
    esac ;;
*)
    echo "QV_WIDTHS=$QV_WIDTHS is not a width this build knows: set it to 64 (64-bit only) or 32,64 (both), or leave it unset." >&2
    exit 1 ;;
esac
