#!/usr/bin/env bash
# The figures that matter at the till, measured once on the shop file and once on a PostgreSQL
# server, side by side with the time each must stay under:
#
#   scripts/bench-server.sh [BUILD_FOLDER]     (default: build; the benchmarks must be built)
#
# Enter → total and a 100-line sale recorded (bench_sales 3a 3b 4a), the editor's list of 100,000
# products (bench_editor), the monthly history over 1,000,000 lines (bench_history). Each bench
# makes its shop through the tests' TempShop, which makes a server database instead of a file when
# TARVINO_ENGINE=servidor and TARVINO_TEST_SERVER are set. The server is a throwaway cluster
# started here (scripts/pg-cluster.sh) and stopped at the end. Every bench's whole output is kept
# in a folder named at the end.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bin=$build/bin
for bench in bench_sales bench_editor bench_history; do
  [ -x "$bin/$bench" ] || { echo "Falta $bin/$bench: compile antes (scripts/build.sh)." >&2; exit 2; }
done

out=$(mktemp -d /tmp/tarvino-bench.XXXXXX)
cluster=$(mktemp -d /tmp/tarvino-bench-pg.XXXXXX)
if [ -x "$root/scripts/pg-cluster.sh" ]; then
  trap '"$root/scripts/pg-cluster.sh" stop "$cluster"' EXIT
  server=$("$root/scripts/pg-cluster.sh" start "$cluster") || exit 1
else
  # Without the cluster script: the same kind of cluster by hand (socket only, trust, superuser
  # tarvino). The server refuses to run as root, so then it runs as the system user postgres.
  pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  as_owner=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$cluster"
    as_owner=(runuser -u postgres --)
  fi
  trap '"${as_owner[@]}" "$pgbin/pg_ctl" -D "$cluster/data" -m immediate stop >/dev/null 2>&1; rm -rf "$cluster"' EXIT
  "${as_owner[@]}" "$pgbin/initdb" -D "$cluster/data" -U tarvino --auth=trust -E UTF8 --locale=C >/dev/null || exit 1
  "${as_owner[@]}" "$pgbin/pg_ctl" -D "$cluster/data" -o "-k $cluster -c listen_addresses=''" \
    -l "$cluster/log" -w start >/dev/null || exit 1
  server="host=$cluster user=tarvino dbname=postgres"
fi
echo "Servidor: $server"
echo "Salidas completas en $out"

# Runs one bench on one engine; its output in $out/<engine>-<bench>.txt, and a note when it failed.
run() {
  local engine=$1 bench=$2
  shift 2
  local file="$out/$engine-$bench.txt" status
  echo "… $bench en $engine" >&2
  if [ "$engine" = servidor ]; then
    env QT_QPA_PLATFORM=offscreen TARVINO_ENGINE=servidor TARVINO_TEST_SERVER="$server" \
      "$bin/$bench" "$@" >"$file" 2>&1
  else
    env -u TARVINO_ENGINE -u TARVINO_TEST_SERVER QT_QPA_PLATFORM=offscreen "$bin/$bench" "$@" >"$file" 2>&1
  fi
  status=$?
  if [ $status -ne 0 ]; then
    echo "$bench en $engine terminó con el código $status; últimas líneas:" >>"$out/notes.txt"
    tail -n 5 "$file" | sed 's/^/    /' >>"$out/notes.txt"
  fi
  if grep -q 'CHECKS FAILED' "$file"; then
    echo "$bench en $engine: fallaron comprobaciones del trabajo medido ($(grep -m1 'CHECK FAILED' "$file" | sed 's/^ *//'))" >>"$out/notes.txt"
  fi
}

for engine in archivo servidor; do
  run "$engine" bench_sales 3a 3b 4a
  run "$engine" bench_editor
  run "$engine" bench_history
done

# The median of an operation in a bench's table, in ms; "-" when the row is missing. The table's
# rows are: operation (62 columns), runs, min, median, max (each a number and its unit), target.
median() {
  local file=$1 operation=$2
  awk -v op="$operation" '
    index($0, op) == 1 {
      n = split(substr($0, 63), f, " ")
      value = f[4]; unit = f[5]
      if (unit == "us") value = value / 1000
      printf "%.2f", value
      found = 1
      exit
    }
    END { if (!found) printf "-" }' "$file"
}

# The figure's name last: its accented letters would upset printf's widths, which count bytes.
printf '\n%12s %12s %10s  %-42s %s\n' "archivo" "servidor" "meta" "veredicto" "medida (mediana)"
figure() {
  local label=$1 bench=$2 operation=$3 target=$4 verdicts="" engine value
  local file_ms server_ms
  file_ms=$(median "$out/archivo-$bench.txt" "$operation")
  server_ms=$(median "$out/servidor-$bench.txt" "$operation")
  for engine in archivo servidor; do
    value=$([ $engine = archivo ] && echo "$file_ms" || echo "$server_ms")
    if [ "$value" = "-" ]; then
      verdicts+=" $engine: sin cifra;"
    elif awk -v v="$value" -v t="$target" 'BEGIN { exit !(v < t) }'; then
      verdicts+=" $engine: cumple;"
    else
      verdicts+=" $engine: NO cumple;"
    fi
  done
  printf '%9s ms %9s ms %7s ms %-42s %s\n' "$file_ms" "$server_ms" "< $target" "$verdicts" "$label"
}
figure "Enter → total, código repetido (3a)" bench_sales "3a." 5
figure "Enter → total, línea nueva (3b)" bench_sales "3b." 5
figure "venta de 100 líneas registrada (4a)" bench_sales "4a." 50
figure "lista del editor, 100.000 productos" bench_editor "Editor opens with its list shown" 300
figure "historia mensual, todas las categorías (3a)" bench_history "3a." 300
figure "historia mensual, una categoría (3b)" bench_history "3b." 300

if [ -s "$out/notes.txt" ]; then
  echo
  echo "Notas:"
  cat "$out/notes.txt"
fi
