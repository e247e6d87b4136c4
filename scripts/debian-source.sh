# Sourced by build-deps.sh and native-deps.sh: Debian source packages through
# a private sources list made from this machine's own apt configuration, so
# that neither the system's lists nor its lock are touched.
#
#   debian_source_version BINARY    the exact Debian version of the source
#                                   package an installed binary package was
#                                   built from (no network)
#   debian_source_fetch PKG VERSION DEST
#                                   fetches and unpacks exactly that source
#                                   version into DEST (reads the lists once)
# Needs WORK, a scratch folder that the caller removes.

debian_source_version() {
  local version
  version=$(dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null) || true
  [ -n "$version" ] || { echo "the Debian package $1 is not installed (scripts/setup.sh)" >&2; return 1; }
  echo "$version"
}

# The version's upstream part (epoch and "really" rewrites aside) starts with want.
debian_version_matches() { # version want
  case "${1#*:}" in
    "$2"*|*"really$2"*) return 0 ;;
    *) return 1 ;;
  esac
}

debian_source_lists() {
  [ -n "${DEBIAN_SOURCE_APT_OPTS+set}" ] && return 0
  local apt=$WORK/apt f sources
  mkdir -p "$apt/parts" "$apt/lists/partial"
  sources=(/etc/apt/sources.list.d/*.sources)
  if [ -e "${sources[0]}" ]; then
    for f in "${sources[@]}"; do
      sed 's/^Types:.*$/Types: deb-src/' "$f" > "$apt/parts/$(basename "$f")"
    done
  fi
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$apt/parts/main.list" || true
  fi
  DEBIAN_SOURCE_APT_OPTS=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/parts"
                          -o "Dir::State::Lists=$apt/lists" -o Debug::NoLocking=1)
  echo "[debian-source] reading Debian's source lists" >&2
  apt-get "${DEBIAN_SOURCE_APT_OPTS[@]}" update -qq >&2
}

debian_source_fetch() { # package version dest
  local pkg=$1 version=$2 dest=$3 download=$WORK/download-$1
  debian_source_lists
  mkdir -p "$download"
  if ! (cd "$download" &&
        apt-get "${DEBIAN_SOURCE_APT_OPTS[@]}" source -qq --download-only "$pkg=$version" >&2); then
    echo "the source of $pkg $version (the installed version) is not in the archive;" \
         "bring the installed package up to date (apt-get upgrade) and run again" >&2
    return 1
  fi
  dpkg-source --no-check -x "$download/$pkg"_*.dsc "$dest" >/dev/null
}
