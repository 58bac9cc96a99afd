#!/usr/bin/env python3
"""Reads the JSON output of bench_chart_indicators_peers on stdin and prints, per indicator,
million bars per second of each side and the ratios ours / faster peer."""
import json
import sys

rates = {}
for run in json.load(sys.stdin)["benchmarks"]:
    indicator, side = run["name"].split("/")[:2]
    rates.setdefault(indicator, {})[side] = run["items_per_second"] / 1e6

print(f"{'indicator':26} {'ours':>8} {'columns':>8} {'tulip':>8} {'talib':>8} {'ours/best':>10} {'cols/best':>10}")
for indicator, r in rates.items():
    best = max(r.get("tulip", 0), r.get("talib", 0))
    cell = lambda key: f"{r[key]:8.1f}" if key in r else f"{'-':>8}"
    ratio = lambda key: f"{r[key] / best:10.2f}" if best else f"{'-':>10}"
    print(f"{indicator:26} {cell('ours')} {cell('ours_columns')} {cell('tulip')} {cell('talib')} "
          f"{ratio('ours')} {ratio('ours_columns')}")
