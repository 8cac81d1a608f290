#!/usr/bin/env bash
# Runs COMMAND against a throw-away Samba AD domain controller that holds
# ORGANISATION's directory:
#
#   bash scripts/samba-dc.sh ORGANISATION -- COMMAND [ARGUMENT...]
#
# In a network namespace of its own, it provisions a domain with
# ORGANISATION's naming context, NetBIOS name and domain SID, seeds it with
# the directory's users, groups and nesting, proxy addresses and DACL
# entries (keeping the SIDs), starts the DC, and runs COMMAND in the
# namespace with CALDROSE_ORGANISATION naming a copy of ORGANISATION whose
# directory is that DC (directory.ldap), CALDROSE_DC_BIND_NAME and
# CALDROSE_DC_PASSWORD_FILE naming its bind. The DC and everything it wrote
# are gone when the script ends, whatever happens. Needs root.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

fail() {
  echo "samba-dc: $*" >&2
  exit 1
}

if [[ $# -lt 3 || $2 != -- ]]; then
  fail "usage: bash scripts/samba-dc.sh ORGANISATION -- COMMAND [ARGUMENT...]"
fi
[[ -r $1 ]] || fail "$1: cannot be read"
organisation=$(realpath "$1")
shift 2
[[ $(id -u) -eq 0 ]] || fail "needs root: the domain controller runs in a network namespace of its own"

caldrose_install_missing "${CALDROSE_SAMBA_PACKAGES[@]}"
# Samba's bindings belong to Debian's Python, whatever python3 is first on PATH.
python=/usr/bin/python3
seeder="$CALDROSE_ROOT/scripts/samba_dc_seed.py"

started=$SECONDS
workdir=$(mktemp -d "${TMPDIR:-/tmp}/caldrose-dc.XXXXXX")
namespace="caldrose-dc-$$"
samba_pid=
command_pid=
namespace_made=

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [[ -n $command_pid ]]; then
    kill -TERM "$command_pid" 2>/dev/null || true
    wait "$command_pid" 2>/dev/null || true
  fi
  if [[ -n $samba_pid ]] && kill -0 "$samba_pid" 2>/dev/null; then
    kill -TERM "$samba_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$samba_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$samba_pid" 2>/dev/null || true
    wait "$samba_pid" 2>/dev/null || true
  fi
  if [[ -n $namespace_made ]]; then
    ip netns delete "$namespace" 2>/dev/null || true
  fi
  rm -rf "$workdir"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if ! ip netns add "$namespace" 2>"$workdir/netns.log"; then
  fail "cannot create a network namespace ($(cat "$workdir/netns.log")); the throw-away domain controller" \
    "needs one, so that nothing it serves leaves this machine"
fi
namespace_made=yes
ip netns exec "$namespace" ip link set lo up

read -r realm netbios domain_sid < <("$python" "$seeder" plan "$organisation" </dev/null) || exit 1
[[ -n ${domain_sid:-} ]] || fail "$organisation: no domain to provision"
password="Caldrose-$(od -An -tx4 -N8 /dev/urandom | tr -d ' \n')!"
dc="$workdir/dc"
if ! samba-tool domain provision --server-role=dc --dns-backend=SAMBA_INTERNAL --targetdir="$dc" \
  --realm="$realm" --domain="$netbios" --domain-sid="$domain_sid" --host-name=caldrose-dc \
  --adminpass="$password" --option="interfaces=lo" --option="bind interfaces only=yes" \
  --option="disable netbios=yes" --option="server services=ldap,cldap,kdc,rpc" \
  </dev/null >"$workdir/provision.log" 2>&1; then
  tail -n 20 "$workdir/provision.log" >&2
  fail "provisioning the domain $realm failed"
fi
conf="$dc/etc/smb.conf"
# Simple binds without TLS; no DNS forwarding out of the namespace; logs
# stay in the temporary directory.
sed -i -e '/dns forwarder/d' -e '/^\s*log file\s*=/d' \
  -e "s|^\[global\]|[global]\n\tldap server require strong auth = no\n\tlog file = $dc/log.%m|" "$conf"
provisioned=$SECONDS

"$python" "$seeder" seed "$organisation" "$conf" </dev/null || fail "seeding the domain from $organisation failed"
seeded=$SECONDS

ip netns exec "$namespace" samba -s "$conf" -F --no-process-group -M single -l "$dc" </dev/null >"$workdir/samba.log" 2>&1 &
samba_pid=$!
# Ready when RootDSE answers over LDAP.
deadline=$((SECONDS + 60))
until ip netns exec "$namespace" ldapsearch -x -LLL -o nettimeout=2 -H ldap://127.0.0.1 -b '' -s base \
  defaultNamingContext </dev/null >/dev/null 2>&1; do
  if ! kill -0 "$samba_pid" 2>/dev/null; then
    tail -n 20 "$workdir/samba.log" >&2
    fail "samba stopped before answering LDAP"
  fi
  ((SECONDS < deadline)) || fail "samba did not answer LDAP within 60 s"
  sleep 0.1
done
echo "samba-dc: $realm ($netbios, $domain_sid) on ldap://127.0.0.1 in namespace $namespace:" \
  "provisioned in $((provisioned - started)) s, seeded in $((seeded - provisioned)) s," \
  "answering after $((SECONDS - seeded)) s" >&2

# The copy of the organisation whose directory is the DC.
umask 077
printf '%s' "$password" >"$workdir/bind-password"
base_dn=$(ip netns exec "$namespace" ldapsearch -x -LLL -H ldap://127.0.0.1 -b '' -s base defaultNamingContext </dev/null |
  sed -n 's/^defaultNamingContext: //p')
bind_name="CN=Administrator,CN=Users,$base_dn"
"$python" - "$organisation" "$workdir/organisation.json" "$bind_name" \
  "$workdir/bind-password" <<'EOF'
import json, sys
source, copy, bind_name, password_file = sys.argv[1:]
with open(source, encoding="utf-8") as handle:
    organisation = json.load(handle)
organisation["directory"]["ldap"] = {"url": "ldap://127.0.0.1", "bindName": bind_name, "passwordFile": password_file}
with open(copy, "w", encoding="utf-8") as handle:
    json.dump(organisation, handle, indent=2, ensure_ascii=False)
EOF

# The bind's name and password file too, for tools such as ldapsearch. In
# the background, so that a signal to this script is handled at once (bash
# runs traps only between foreground commands); with this script's
# standard input, which a background command would not get by itself.
exec 3<&0
set +e
ip netns exec "$namespace" env CALDROSE_ORGANISATION="$workdir/organisation.json" CALDROSE_DC_BIND_NAME="$bind_name" \
  CALDROSE_DC_PASSWORD_FILE="$workdir/bind-password" "$@" <&3 3<&- &
command_pid=$!
wait "$command_pid"
status=$?
command_pid=
set -e
exit "$status"
