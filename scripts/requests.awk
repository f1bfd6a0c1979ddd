# Counts, in a Wine server's trace of its requests (a client run with
# WINEDEBUG=+server), the requests a benchmark made in each part of each
# case, per file. The benchmark marks a part's start with a request naming
# it ("kalvera-count CASE PART 0") and its end with one carrying the files
# it went over ("kalvera-count - - FILES"). Only the benchmark's own threads
# count: the thread that marks, and the threads its threads start.
function keep() {
  if (label == "" || label == "- -") return
  count[label] += n
  if (!(label in seen)) { seen[label] = 1; order[++labels] = label }
}
{
  if (!match($0, /^[0-9a-f]+: /)) next
  tid = substr($0, 1, RLENGTH - 2)
}
/ open_event\( .*name=L"kalvera-count / {
  ours[tid] = 1
  mark = $0
  sub(/.*name=L"kalvera-count /, "", mark)
  sub(/".*/, "", mark)
  split(mark, field, " ")
  if (field[1] == "-") items[label] += field[3]
  keep()
  label = field[1] " " field[2]
  n = 0
  next
}
!(tid in ours) { next }
/: new_thread\( process=ffffffff/ { starting[tid] = 1 }
/: new_thread\(\) = 0 / && (tid in starting) {
  t = $0
  sub(/.*tid=/, "", t)
  sub(/[^0-9a-f].*/, "", t)
  ours[t] = 1
  delete starting[tid]
}
/^[0-9a-f]+: [a-z_0-9]+\( / { n++ }
END {
  keep()
  for (i = 1; i <= labels; i++) {
    split(order[i], part, " ")
    if (part[1] in printed) continue
    printed[part[1]] = 1
    line = sprintf("  %-22s", part[1])
    for (j = 1; j <= labels; j++) {
      split(order[j], other, " ")
      if (other[1] == part[1] && items[order[j]] > 0)
        line = line sprintf("  %s %6.1f", other[2], count[order[j]] / items[order[j]])
    }
    print line
  }
}
