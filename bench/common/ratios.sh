# Shell helpers of the benchmark scripts that compare peers in interleaved rounds: each round runs
# every peer once, in an order that turns from round to round, so that drift of a shared machine
# falls on all of them alike; the scripts report, per pair, the median of the rounds' ratios and
# their spread. Sourced, not run.

# ratio A B: A / B with two decimals, 0 when B is 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# median_spread "V1 V2 ...": "median (lowest-highest)" of the values.
median_spread() {
  printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f (%.2f-%.2f)", m, v[1], v[NR] }'
}

# median "V1 V2 ...": the median of the values.
median() { median_spread "$1" | awk '{ print $1 }'; }

# turned ROUND NAME...: the names rotated by the round's number, so that each goes first in turn.
turned() {
  local round=$1; shift
  local names=("$@") n=$# i
  for ((i = 0; i < n; i++)); do echo "${names[$(((i + round) % n))]}"; done
}
