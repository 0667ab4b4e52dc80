# Sourced by the scripts that need Debian packages.

# Runs a command as root (through sudo when not root already).
as_root() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

# ensure_packages TAG PACKAGE...: installs with apt-get those that are
# missing and prints one line naming them; nothing when all are present.
ensure_packages() {
  local tag=$1 p
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "$tag: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
}
