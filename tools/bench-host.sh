#!/usr/bin/env bash
# The host's costs beside an empty window program, in one run in one Wine prefix (a private
# Xvfb, see tools/testbed.sh): tests/bench/host_benchmark drives tandrel.exe with the stand-in
# client, then the blank program, and prints every figure as a ratio to the blank program.
# Writes <build>/bench/figures.txt and <build>/bench/performance.png (adoption latency
# histogram, private bytes against hosted count); with --docs also docs/performance.png.
# Like tools/test.sh it runs the i686 build where this machine can execute 32-bit code, else
# the x86_64 build. Takes about 20 minutes with the default 1000 rounds.
#   tools/bench-host.sh [--rounds N] [--idle-seconds S] [--docs]
# Run as root on a fresh machine: it installs the plotting tool it needs (gnuplot-nox).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=1000 idle=60 docs=0
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --idle-seconds) idle=$2; shift 2 ;;
    --docs) docs=1; shift ;;
    *) echo "usage: $0 [--rounds N] [--idle-seconds S] [--docs]" >&2; exit 2 ;;
  esac
done
if ! command -v gnuplot >/dev/null; then
  [ "$(id -u)" = 0 ] || { echo "bench: gnuplot is missing; run as root to install gnuplot-nox" >&2; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y gnuplot-nox >/dev/null
fi
build_dir=${TANDREL_BUILD_DIR:-$here/build}
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
if testbed_can_run_32bit; then
  arch=i686 run_dir=$build_dir
else
  arch=x86_64 run_dir=$build_dir-x64
fi
export TANDREL_TEST_ARCH=$arch
TANDREL_ARCH=$arch "$here/tools/build.sh" "$run_dir" >/dev/null
out=$run_dir/bench
rm -rf "$out"
mkdir -p "$out"
trap testbed_down EXIT
testbed_up "$run_dir"
wine_version=$("$TANDREL_WINE" --version 2>/dev/null) || wine_version=Wine
echo "host benchmark: $arch build under $wine_version, $(nproc) cores, $rounds rounds, idle ${idle} s" | tee "$out/figures.txt"
status=0
"$TANDREL_WINE" "$run_dir/tests/bin/host_benchmark.exe" --out "$("$TANDREL_WINE" winepath -w "$out" 2>/dev/null)" \
  --rounds "$rounds" --idle-seconds "$idle" >>"$out/figures.txt" 2>&1 </dev/null || status=$?
cat "$out/figures.txt"
if [ "$status" != 0 ]; then
  echo "bench: the benchmark failed (exit $status); no figures" >&2
  exit 1
fi
for f in latency.dat memory.dat; do
  [ -s "$out/$f" ] || { echo "bench: $f was not written" >&2; exit 1; }
done
gnuplot <<PLOT
set terminal pngcairo size 1000,420 font ",10" noenhanced
set output "$out/performance.png"
set multiplot layout 1,2 title "Tandrel host, $arch under $wine_version"
set title "adoption latency (shown -> in its pane)"
set xlabel "ms"; set ylabel "adoptions"
set style fill solid 0.6; set boxwidth 9
bin(x) = 10 * floor(x / 10) + 5
plot "$out/latency.dat" using (bin(\$1)):(1) smooth frequency with boxes lc rgb "#4895e3" notitle
set title "private bytes (Private_Clean + Private_Dirty)"
set xlabel "hosted clients"; set ylabel "MB"; set yrange [0:*]; set xtics 0,1,6; set key right bottom
plot "$out/memory.dat" using 1:2 with linespoints lw 2 pt 7 title "Tandrel", \
     "$out/memory.dat" using 1:3 with lines lw 2 dt 2 title "blank window program"
unset multiplot
PLOT
echo "bench: figures in $out/figures.txt, picture in $out/performance.png"
if [ "$docs" = 1 ]; then
  mkdir -p "$here/docs"
  cp "$out/performance.png" "$here/docs/performance.png"
  echo "bench: copied to docs/performance.png"
fi
