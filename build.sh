#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Orvane and runs it or its tests.
#   bash build.sh run    install the packages the program needs, build the program alone, start it
#   bash build.sh test   install the packages of the program and of its tests, build everything, run
#                        every test (plain, sanitizer, thread-safety, fuzz and ThreadSanitizer runs,
#                        the layer check and clang-tidy)
set -euo pipefail
cd "$(dirname "$0")"

# What building and running the program needs; the tests need the second list as well.
RUN_PACKAGES=(build-essential cmake pkg-config libsqlite3-dev nettle-dev tzdata libcurl4-openssl-dev
              libxml2-dev libssl-dev qt6-base-dev fonts-liberation2)
TEST_PACKAGES=(git libgtest-dev libgmock-dev libbenchmark-dev libical-dev clang libclang-rt-14-dev clang-tidy python3
               radicale xandikos locales xvfb xauth openssl libxtst-dev)

install_packages() {  # install_packages <package>...: installs those not installed yet
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

build() {  # build <folder> [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" "$@"
    cmake --build "$dir" -j "$(nproc)"
}

# The program alone: no test, benchmark or test-only library is configured or built. It shares the
# folder "build" with the test command (each states its options, so neither keeps the other's),
# and a later test build reuses the library objects.
build_program() {
    cmake -S . -B build -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
    cmake --build build -j "$(nproc)" --target orvane
}

# libFuzzer targets under tests/fuzz, each with its seeds in tests/fuzz/corpus/<folder>: "target:folder".
FUZZ_TARGETS=(ics_parser_fuzz:ics tzif_reader_fuzz:tzif multistatus_fuzz:multistatus)

fuzz() {  # fuzz <seconds each>: builds the fuzz targets with clang and runs each on its seeds
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DORVANE_FUZZ=ON -DORVANE_WERROR=OFF \
        -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
    local entry target corpus
    for entry in "${FUZZ_TARGETS[@]}"; do
        target=${entry%%:*}
        cmake --build build-fuzz -j "$(nproc)" --target "$target"
        # New inputs go to a scratch copy of the corpus, so the seeds in the tree stay as committed.
        corpus=$(mktemp -d)
        cp "tests/fuzz/corpus/${entry#*:}"/* "$corpus"/
        "./build-fuzz/tests/fuzz/$target" -max_total_time="$1" "$corpus"
        rm -rf "$corpus"
    done
}

thread_safety_build() {  # the libraries built by clang with its thread-safety analysis failing the build
    # A probe that reads a guarded member without its lock must be refused, or the analysis is off.
    if clang++ -std=c++20 -I. -Wthread-safety -Werror -fsyntax-only .ci/probes/UnguardedRead.cpp 2>/dev/null; then
        echo "clang's thread-safety analysis let an unguarded read through" >&2
        return 1
    fi
    CC=clang CXX=clang++ cmake -S . -B build-clang -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS=-Wthread-safety
    cmake --build build-clang -j "$(nproc)"
}

# Library folders checked by clang-tidy (.clang-tidy names the checks).
TIDY_FOLDERS=(platform foundation ical store dav sync ui)

tidy_check() {  # tidy_check <build folder>: clang-tidy over the library sources, findings fail
    local folders
    folders=$(IFS='|'; echo "${TIDY_FOLDERS[*]}")
    # The build's compile commands carry g++-only warning options that clang does not know.
    run-clang-tidy -p "$1" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
        "^$PWD/($folders)/.*\.cpp$"
}

# Every test program that starts threads runs whole under ThreadSanitizer.
# An entry may carry a gtest filter after its first ':' ("program:Suite.*:Other.Test"); only the
# tests it names run then.
TSAN_PROGRAMS=(platform_tests platform_messages_tests foundation_tests store_tests dav_tests sync_tests
               "ical_tests:ZoneResolverThreads.*:ZoneList.ConcurrentFirstUseLoadsEachListOnce")

thread_check() {
    cmake -S . -B build-tsan -DORVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
    local entry program filter
    local -a targets=()
    for entry in "${TSAN_PROGRAMS[@]}"; do targets+=("${entry%%:*}"); done
    cmake --build build-tsan -j "$(nproc)" --target "${targets[@]}"
    for entry in "${TSAN_PROGRAMS[@]}"; do
        program=${entry%%:*}
        filter=""
        [ "$entry" = "$program" ] || filter=${entry#*:}
        TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/.ci/tsan-qt.supp" "./build-tsan/tests/$program" ${filter:+"--gtest_filter=$filter"}
    done
}

decimal_comma_locale() {  # generates de_DE.UTF-8, so the tests that need a decimal comma run
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen
}

run_tests() {  # run_tests <folder>
    (cd "$1" && ctest --output-on-failure -j "$(nproc)" --timeout 900)
}

case "${1:-}" in
    run)
        install_packages "${RUN_PACKAGES[@]}"
        build_program
        ./build/ui/orvane
        ;;
    test)
        install_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        decimal_comma_locale
        python3 .ci/check-layers
        build build -DORVANE_BUILD_TESTS=ON -DORVANE_BUILD_BENCH=ON
        run_tests build
        tidy_check build
        build build-sanitize -DORVANE_SANITIZE=ON -DORVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-sanitize
        thread_safety_build
        fuzz 30
        thread_check
        ;;
    *)
        echo "usage: bash build.sh run|test" >&2
        exit 2
        ;;
esac
