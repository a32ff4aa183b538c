# Shared by scripts/run and scripts/test: install what is missing, configure, build.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

install_packages() {
  local missing=() pkg
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done < "$ROOT/scripts/packages.txt"
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

build() {
  local dir=${1:-$ROOT/build}; shift || true
  if [[ ! -f "$dir/build.ninja" ]]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKVANE_WERROR=ON "$@"
  fi
  cmake --build "$dir"
}
