#!/usr/bin/env bash
# Installs the Debian packages that the build needs and the machine lacks. Calls apt-get only
# when something is missing, so a second run does nothing.
#   scripts/install-deps.sh          what `make run` and `make test` need
#   scripts/install-deps.sh bench    also what `make bench` compares against
#   scripts/install-deps.sh docs     also Doxygen (make docs)
#   scripts/install-deps.sh fuzz     also clang and its sanitizer runtime (make fuzz, compare-reports)
#   scripts/install-deps.sh TRIPLE   also the cross compiler and emulator of a target of
#                                    cmake/toolchains/TRIPLE.cmake (make cross-check)
#   scripts/install-deps.sh windows  also the Windows cross compiler, Wine and Xvfb (make windows)
#   scripts/install-deps.sh web      also Emscripten, Node.js, Chromium and its driver (make web)
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    dpkg-dev  # dpkg-shlibdeps, for the Debian packages' dependencies
    libgtest-dev libgmock-dev
    qt6-base-dev libncurses-dev
    libxcb1-dev libwayland-dev
    fonts-liberation fonts-ipafont-gothic
    locales  # the sources of the German locale that the report tests make
    # The Python module, its tests and its pip install (python/, setup.py): Debian's interpreter
    # with pybind11, NumPy, pytest and scikit-build; mypy for the type stubs, Dask for the
    # cluster example (examples/dask/)
    python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-skbuild
    python3-venv python3-pip python3-mypy python3-dask python3-distributed
)
for group in "$@"; do
    case "$group" in
        bench) packages+=(libbenchmark-dev libeigen3-dev libopenblas-dev liblapacke-dev
                          python3-matplotlib) ;;
        docs) packages+=(doxygen) ;;
        fuzz) packages+=(clang libclang-rt-14-dev) ;;
        # Cross targets: the compiler with the target's C and C++ libraries, the user-mode
        # emulator, and GoogleTest's sources to build for the target.
        i686-linux-gnu) packages+=(g++-i686-linux-gnu qemu-user googletest) ;;
        aarch64-linux-gnu) packages+=(g++-aarch64-linux-gnu qemu-user googletest) ;;
        # The posix-threads flavour of MinGW-w64 (std::thread), googletest's sources to build
        # for the target, Wine with the fonts it draws frames and dialogs with, Xvfb for the
        # window, and xdotool, xwd and netpbm for its picture.
        windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine64 fonts-wine xvfb xauth
                            xdotool x11-apps netpbm) ;;
        # Emscripten and Node.js, which runs its tools and the tests, googletest's sources to
        # build for WebAssembly, and Chromium, its WebDriver and Selenium for the browser test.
        web) packages+=(emscripten nodejs googletest chromium chromium-driver python3-selenium) ;;
        *) echo "install-deps: unknown group '$group'" \
                "(known: bench, docs, fuzz, windows, web, i686-linux-gnu, aarch64-linux-gnu)" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo=(sudo -n)
else
    echo "install-deps: missing packages (${missing[*]}) and neither root nor password-less sudo;" >&2
    echo "install-deps: install them as root: apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Another install may hold the package lock (two builds set up at once): wait for it.
apt=(apt-get -o DPkg::Lock::Timeout=900)
"${sudo[@]}" "${apt[@]}" update -qq
"${sudo[@]}" "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
