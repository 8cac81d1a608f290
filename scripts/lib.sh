# Sourced by the scripts: where the repository is, and what the builds need
# from Debian, installed with apt-get when missing.

CALDROSE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The Linux build with its tests, and the Windows cross-build with Wine.
# libldap-dev: the emulated directory can ask a domain controller over LDAP.
CALDROSE_LINUX_PACKAGES=(cmake g++ ninja-build libgtest-dev nlohmann-json3-dev libldap-dev)
# A throw-away Samba domain controller (scripts/samba-dc.sh): the server,
# its provisioning data, and the ldapsearch that checks that it answers.
CALDROSE_SAMBA_PACKAGES=(samba-ad-dc samba-ad-provision ldap-utils python3-samba iproute2)
# The benchmarks (scripts/measure-scale.sh).
CALDROSE_BENCH_PACKAGES=(libbenchmark-dev python3)
# The second compiler the test command builds with.
CALDROSE_CLANG_PACKAGES=(clang)
# The sanitizers' and libFuzzer's runtimes for clang.
CALDROSE_SANITIZER_PACKAGES=(libclang-rt-14-dev)
# Both widths of mingw-w64: the 32-bit build is the one to deploy, the
# x86-64 one runs under Wine; python3 reads the 32-bit build's PE tables.
CALDROSE_WINDOWS_PACKAGES=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 python3)

# Installs those of the given packages that are not installed; the package
# lists are updated only when something is missing.
caldrose_install_missing() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}" >&2
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -qq -o Dpkg::Use-Pty=0)
  if [[ $(id -u) -ne 0 ]]; then
    apt=(sudo "${apt[@]}")
  fi
  "${apt[@]}" update >&2
  "${apt[@]}" install -y "${missing[@]}" >&2
}
