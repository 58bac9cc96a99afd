#!/bin/sh
# Fetches the C sources of Tulip Indicators and TA-Lib from npm into <build>/peers, where
# bench/peers/CMakeLists.txt finds them on the next configure. Nothing of theirs is kept in
# the repository. Usage: bench/peers/setup.sh [build folder, default: build]
set -eu
build=${1:-build}
peers="$build/peers"
mkdir -p "$peers"
cd "$peers"
npm pack --silent tulind@0.8.20 talib@2.0.5 >/dev/null
rm -rf tulind talib
mkdir tulind talib
tar xzf tulind-0.8.20.tgz -C tulind
tar xzf talib-2.0.5.tgz -C talib
echo "peer sources in $peers; re-run cmake, then build bench_chart_indicators_peers"
