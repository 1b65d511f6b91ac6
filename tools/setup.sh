# Shared set-up of run.sh and test.sh: install what is missing with apt-get,
# then configure a build directory. Sourced, not run.

KESTRUNE_PACKAGES=(g++ cmake ninja-build qt6-base-dev libgtest-dev libgmock-dev
  libbenchmark-dev libgeographiclib-dev clang libclang-rt-14-dev clang-format fonts-liberation2
  nlohmann-json3-dev
  fonts-liberation
  desktop-file-utils
  dpkg-dev
  lintian
  libxml2-utils
  qt6-svg-dev
  ccache
  python3-dev pybind11-dev python3-numpy python3-pandas python3-pytest
  r-base-dev r-cran-rcpp r-cran-testthat)

kestrune_install_packages() {
  local missing=()
  for p in "${KESTRUNE_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Compiles go through ccache, with paths taken relative to the checkout, so a
# second clone or worktree of the same sources reuses the objects of the first.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR=1

# kestrune_configure <build-dir> [cmake options...]
kestrune_configure() {
  local dir="$1"
  shift
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@"
  fi
}
