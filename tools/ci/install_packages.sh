#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet. When another package
# install holds apt's or dpkg's lock, says so and waits for it (up to five minutes)
# instead of failing.
#   tools/ci/install_packages.sh package...
source "$(dirname "$0")/../strict.sh"

missing=()
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
[ "$(id -u)" = 0 ] || SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
wait_limit=${APT_LOCK_WAIT:-300}

# Runs apt-get with its arguments; while it fails only for a held lock, retries every
# few seconds. apt-get takes its locks before it changes anything, so a retry is safe.
apt_get() {
    local waited=0 said="" errors status
    while :; do
        status=0
        errors=$("${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=0 "$@" 2>&1 >&3) || status=$?
        [ "$status" = 0 ] && return 0
        if ! grep -q "Could not get lock" <<<"$errors" || [ "$waited" -ge "$wait_limit" ]; then
            echo "$errors" >&2
            return "$status"
        fi
        if [ -z "$said" ]; then
            holder=$(grep -o "held by process.*" <<<"$errors" | head -1 || true)
            echo "Another package install is running${holder:+ (lock $holder)}; waiting for it to finish..."
            said=yes
        fi
        sleep 5
        waited=$((waited + 5))
    done
}

exec 3>&1  # apt-get's output goes on to ours; its errors are read
echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
