#!/usr/bin/env bash
# One line on the tests ctest skipped, from its JUnit record (ctest
# --output-junit FILE): how many, which, and why (each skipped Wine test
# prints "SKIP: <reason>"; a skipped GoogleTest case gives its message), or
# that none was skipped.
#
# Usage: scripts/skip-summary.sh JUNIT_FILE
set -euo pipefail
junit=${1:?usage: skip-summary.sh JUNIT_FILE}
[ -s "$junit" ] || { echo "Skipped tests: unknown, ctest left no record in $junit"; exit 1; }
awk '
  function unescape(s) {
    gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s); gsub(/&apos;/, "\047", s)
    gsub(/&amp;/, "\\&", s)
    return s
  }
  /<testcase / {
    name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
    skipped = 0; reason = ""; gtest_skip = 0
  }
  /<skipped/ { skipped = 1 }
  {
    line = $0; sub(/^[ \t]*<system-out>/, "", line)
    if (reason == "" && line ~ /^SKIP: /) reason = unescape(substr(line, 7))
    # A GoogleTest case that called GTEST_SKIP: its message follows "Skipped".
    else if (reason == "" && gtest_skip) reason = unescape(line)
    gtest_skip = (line ~ /: Skipped$/)
  }
  /<\/testcase>/ {
    if (!skipped) next
    if (reason == "") reason = "the test gave no reason"
    total++
    if (!(reason in count)) order[++reasons] = reason
    count[reason]++
    names[reason] = names[reason] (names[reason] == "" ? "" : ", ") unescape(name)
  }
  END {
    if (total == 0) { print "Skipped tests: none, every registered test ran."; exit }
    out = "Skipped tests: " total
    for (i = 1; i <= reasons; i++) {
      r = order[i]
      out = out (reasons > 1 ? "; " count[r] " " : " ") "(" names[r] "): " r
    }
    print out
  }
' "$junit"
