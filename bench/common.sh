# Sourced by the benchmark scripts: the source tree, the build folder and the
# corpus, and bench_build TARGET builds one benchmark with the program folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$here/build}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}/xls
registry=$build/Quillmer/registry.reg
bench_build() {
  cmake -S "$here" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --parallel 2 --target "$1" program_folder >/dev/null
}
