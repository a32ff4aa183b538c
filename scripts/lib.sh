# Shared by scripts/run and scripts/test: install what is missing, configure, build.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# install_packages [list...]: the packages of scripts/packages.txt and of the
# other lists named, those that are missing.
install_packages() {
  local missing=() pkg list
  for list in "$ROOT/scripts/packages.txt" "$@"; do
    while read -r pkg; do
      [[ -z "$pkg" || "$pkg" == \#* ]] && continue
      installed "$pkg" || missing+=("$pkg")
    done < "$list"
  done
  # The alert sound plays through a PulseAudio server; the sound test starts
  # a private one on a null sink. A desktop with PipeWire's own server keeps
  # it: installing pulseaudio there would replace it.
  if (($#)) && ! installed pulseaudio && ! installed pipewire-pulse; then
    missing+=(pulseaudio)
  fi
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
