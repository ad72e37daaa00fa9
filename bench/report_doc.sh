#!/usr/bin/env bash
# Prints docs/performance.md for bench/report.sh: the figures of one run and
# how each was measured.  bench/report_doc.sh MACHINE COMMIT TABLE
set -euo pipefail
machine="$1" commit="$2" table="$3"
cat <<DOC
# Performance

Figures of one run of \`bench/report.sh\` on $(date -u +%Y-%m-%d), commit $commit.
Machine: $machine.

$table

## Reproducing

    bench/report.sh            # prints the table (about two minutes)
    bench/report.sh --write    # and rewrites this file

The script builds a Release tree (\`build-h8-report/\`, or \`\$KORVEL_REPORT_BUILD_DIR\`) with the
targets it needs, starts its own Xvfb display when Xvfb is installed (the offscreen platform
otherwise) and measures in this order:

1. **Scan pass** — \`bench/scan_pass_bench\` runs the sweep worker on the simulated instrument in
   real time: three 200-point channels and the Smith point, 8.75 s of the instrument's nominal
   pauses a pass. It reports wall time over those pauses (mean and worst pass) and the worker
   thread's CPU time per pass (\`CLOCK_THREAD_CPUTIME_ID\`). The line shows "n/a" while that
   benchmark is not built.
2. **Window benchmark** — \`bench/window_bench\` (offscreen, Google Benchmark, median of five
   repetitions): one refresh tick with the paints it causes, and one tick followed by a render of
   the whole window, Smith panel included (an upper bound of a tick's paint).
3. **Start-up** — \`bench/korvel_probe\` is korvel's own \`main\` (application object, main dialog,
   worker) with an application-wide event filter and nothing changed in the product. The
   launcher puts the wall-clock time just before \`exec\` into \`KORVEL_PROBE_T0_NS\`; the probe
   prints the time once the main dialog's first paint has run. Five launches, the median.
4. **Idle CPU with no instrument** — the real \`korvel\` with no arguments (on Linux the libusb
   layer, which finds no instrument and waits for the system to announce one), 3 s to settle,
   then user + system time from \`/proc/PID/stat\` over 10 s.
5. **Scanning** — the probe with \`--simulate\` presses "Submit and Start Continuous Scan",
   waits 1.5 s for data, then times 300 refreshes: each runs the dialog's 100 ms tick handler
   (\`OnTimer\`: the charts and the meter whose picture changed are repainted) and at once
   delivers the resulting paint and flush, so the figure is the window's paint cost per tick. Then it runs as korvel
   does while the script reads \`/proc/PID/stat\` over 10 s.
6. **Peak memory** — \`VmHWM\` of \`/proc/PID/status\` for the idle korvel and the scanning probe;
   the larger is reported.

## Where the window's time goes

The refresh runs ten times a second, but a tick repaints only what would look different: each
chart compares what its picture was drawn from (size, fields, samples by their bits) with what it
would be drawn from now, the meter its value, and only those that differ are invalidated. An
idle tick therefore paints nothing and flushes nothing; the idle figure is little more than the
timer's wake-ups. While scanning, the window thread carries most of the load (its share is in the
scanning row): each tick draws the chart whose samples moved (and the meter when the power
changed), and the red progress strips laid over the charts repaint only their newly grown
segment, at most every 40 ms (a point takes the worker about 15 ms, so two or three points show
together). The Smith panel is drawn only by paints that reach it. The worker itself stays well
under 1 % of a core.

### Before and after the idle change

Measured side by side on one machine (2 cores shared with other builds, Xvfb), alternating the
Release builds of the commit before the change and of the change, CPU from \`/proc/PID/stat\`
as \`bench/report.sh\` reads it (idle: 10 s after 3 s to settle; scanning: 20 s), medians of
the rounds:

| Figure (5 rounds, load average 0.2–1.3) | Before (35dba48) | After | Target |
|---|---|---|---|
| korvel idle CPU, no instrument | 0.80 % (0.8–1.0) | 0.20 % (0.1–0.2) | < 0.3 % |
| korvel CPU while scanning | 3.05 % (2.25–3.65) | 2.10 % (2.00–2.55) | < 2 % |
| of it the window thread | 2.40 % (1.85–2.65) | 1.60 % (1.50–1.85) | |
| paint events per refresh tick while scanning | 9.7 | 2.0 | |

Idle met its target. Scanning came down by about a third but stays a little above 2 %: about
0.5 % is the worker's and Qt's own threads, the rest the window thread's wake-ups for the tick,
the strips (25 a second at most), and the lamp's flash, which repaints the Smith panel's corner
beneath it twice every 0.6 s. The "before" build also drew less than it should: the S21 chart
laps over the foot of the VSWR3 chart, and that chart took every repaint for a partial one and
kept showing its first picture; it now draws each new sweep, which the "after" figure includes.

## The USB layer

Figures of the libusb layer come from an emulated bus (umockdev, as in \`tests/usb/\`), by hand:

    cmake --build build --target usb_plug_bench
    umockdev-wrapper build/bench/usb_plug_bench 5

It prints the CPU of each thread while the worker waits for an instrument and while it scans,
the time from plugging the instrument in (with the worker waiting) to a working link, and from
pulling it mid-scan to the link-error message. While scanning, the emulation itself is costly:
its device node always polls ready, so libusb's event loop (the \`usb-events\` thread) spins,
and umockdev's threads (named after the program) answer every ioctl; on real hardware that
thread sleeps in \`poll()\` between transfers. The worker's own share is the \`sweep-worker\` row.

## Refusing bad files

\`bad_input_tests\` (\`FileInputs.*\`) runs the console tools on every kind of file they must refuse
and prints, per kind, the time to the refusal (exit 64) and the child's peak resident memory.
One run on this machine (2 cores, shared, loaded by other builds):

| Bad file | Refused in | Peak RSS |
|---|---|---|
| FIFO as a recording, a Touchstone file, a \`korvel-sim\` bench | 12–19 ms | 7 MB |
| \`/dev/zero\` as a recording | 10 ms | 7 MB |
| A directory as a recording | 5 ms | 7 MB |
| A recording over 128 MiB, a Touchstone file over 64 MiB (sparse) | 4–11 ms | 7 MB |
| 62 MB Touchstone line of 32 million columns | 0.98 s | 66 MB |
| 62 MB Touchstone option line of 31 million words | 0.91 s | 66 MB |

Before, the FIFOs and \`/dev/zero\` hung, and the two 62 MB files peaked at 830 MB and 1.6 GB (the
second accepted after 38 s). A damaged 100 MB recording is refused at its last line in 10 s with a
peak of 270 MB (read and parsed once; before, three times: 37 s).

The machine is shared: a high load average in the header above inflates the wall-time figures
(scan ratio, start-up, paint), not the CPU-time ones.
DOC
